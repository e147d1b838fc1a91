#include "projector/resources.h"

#include "util/text.h"

namespace vorlo {
namespace {

struct ResourceName {
  const char* name;
  const char* meaning;
};

constexpr ResourceName kPackageRecords[] = {
    {res::kSettings, "settings record"},
    {res::kFingerprint, "fingerprint"},
    {res::kAppId, "application identifier"},
    {res::kMovieList, "movie list"},
    {res::kPlayerInstaller, "player installer description"},
    {res::kAboutPicture, "About picture"},
    {res::kMasks, "window mask set"},
};

}  // namespace

std::optional<std::vector<uint8_t>> readRawResource(const ResourceSource& source, std::string_view name,
                                                    std::string_view type) {
  auto bytes = source.find(type, name);
  if (!bytes || bytes->empty()) return std::nullopt;
  return bytes;
}

std::optional<std::vector<uint8_t>> readPackedResource(const ResourceSource& source, std::string_view name,
                                                       std::string_view type, ReportMode mode) {
  auto raw = readRawResource(source, name, type);
  if (!raw) return std::nullopt;
  return decodePackedBlock(*raw, mode, describeResource(name, type));
}

std::string describeResource(std::string_view name, std::string_view type) {
  if (equalsIgnoreCase(type, res::kScripts)) return "the packaged script \"" + std::string(name) + "\"";
  if (equalsIgnoreCase(type, res::kQuoril)) {
    for (const ResourceName& r : kPackageRecords) {
      if (equalsIgnoreCase(name, r.name)) return std::string("the package's ") + r.meaning + " (resource " + r.name + ")";
    }
  }
  return "the packaged resource " + std::string(type) + "/" + std::string(name);
}

}  // namespace vorlo
