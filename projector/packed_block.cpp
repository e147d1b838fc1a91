#include "projector/packed_block.h"

#include <zlib.h>

#include "projector/error_report.h"
#include "projector/exceptions.h"
#include "util/bytes.h"
#include "util/text.h"

namespace vorlo {
namespace {
// Deflate cannot expand data by more than about 1032:1, so a block that claims more output than that
// is lying; refusing it before allocating keeps a damaged size from asking for gigabytes.
constexpr uint64_t kMaxInflateRatio = 1032;
constexpr uint64_t kRatioSlack = 1024;
}  // namespace

std::vector<uint8_t> encodePackedBlock(std::span<const uint8_t> data) {
  uLongf bound = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out(kPackedBlockHeaderSize + bound);
  int rc = compress2(out.data() + kPackedBlockHeaderSize, &bound, data.data(), static_cast<uLong>(data.size()),
                     Z_BEST_COMPRESSION);
  if (rc != Z_OK) throw ZipError(rc);
  out.resize(kPackedBlockHeaderSize + bound);
  out[0] = 'S';
  out[1] = 'M';
  out[2] = 1;
  out[3] = 0;
  putLE32(out.data() + 4, static_cast<uint32_t>(data.size()));
  putLE32(out.data() + 8, static_cast<uint32_t>(bound));
  putLE32(out.data() + 12, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
  return out;
}

std::vector<uint8_t> decodePackedBlockOrThrow(std::span<const uint8_t> block) {
  if (block.size() <= kPackedBlockHeaderSize) throw ZipError("Bad compressed data length");
  if (block[0] != 0x53 || block[1] != 0x4D || block[2] != 0x01 || block[3] != 0x00) {
    throw ZipError("Bad compressed data header");
  }
  uint32_t uncompressedSize = getLE32(block.data() + 4);
  uint32_t compressedSize = getLE32(block.data() + 8);
  if (block.size() - kPackedBlockHeaderSize < compressedSize ||
      uncompressedSize > compressedSize * kMaxInflateRatio + kRatioSlack) {
    throw ZipError("Bad compressed data length");
  }
  std::vector<uint8_t> out(uncompressedSize);
  uLongf outSize = uncompressedSize;
  // zlib refuses a null output pointer even for an empty result.
  uint8_t scratch = 0;
  int rc = uncompress(out.empty() ? &scratch : out.data(), &outSize, block.data() + kPackedBlockHeaderSize,
                      compressedSize);
  if (rc != Z_OK) throw ZipError(rc);
  out.resize(outSize);
  return out;
}

std::optional<std::vector<uint8_t>> decodePackedBlock(std::span<const uint8_t> block, ReportMode mode,
                                                      std::string_view subject) {
  std::string fault;
  try {
    return decodePackedBlockOrThrow(block);
  } catch (const ZipError& e) {
    fault = e.what();
  } catch (const std::bad_alloc&) {
    fault = ZipError::messageFor(Z_MEM_ERROR);
  }
  if (mode == ReportMode::ShowErrors) reportError(subject.empty() ? fault : damagedMessage(subject, fault));
  return std::nullopt;
}

std::string damagedMessage(std::string_view subject, std::string_view fault) {
  return capitalized(std::string(subject) + " is damaged: " + std::string(fault));
}

}  // namespace vorlo
