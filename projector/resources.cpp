#include "projector/resources.h"

#include "projector/exceptions.h"
#include "projector/packed_block.h"

namespace vorlo {

std::vector<uint8_t> readRawResource(const ResourceSource& source, std::string_view name, std::string_view type) {
  auto bytes = source.find(type, name);
  if (!bytes || bytes->empty()) throw CProjectorException();
  return std::move(*bytes);
}

std::optional<std::vector<uint8_t>> readPackedResource(const ResourceSource& source, std::string_view name,
                                                       std::string_view type) {
  std::vector<uint8_t> raw = readRawResource(source, name, type);
  return decodePackedBlock(raw);
}

}  // namespace vorlo
