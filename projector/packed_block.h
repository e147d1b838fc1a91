// The "SM" packed block: a 16-byte header followed by a zlib stream.
//
//   0  'S' 'M' version=1 reserved=0
//   4  u32 uncompressedSize   the decoder allocates exactly this much
//   8  u32 compressedSize     bytes of the zlib stream after the header
//  12  u32 crc                CRC-32 of the uncompressed bytes (written, not checked)
//  16  zlib stream; slack bytes may follow
#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vorlo {

inline constexpr size_t kPackedBlockHeaderSize = 16;

std::vector<uint8_t> encodePackedBlock(std::span<const uint8_t> data);

// Throws CZipException with the block's fault.
std::vector<uint8_t> decodePackedBlockOrThrow(std::span<const uint8_t> block);

enum class ReportMode { ShowErrors, Quiet };

// The decoder every reader uses: a fault is reported (when the main window exists, unless quiet) and
// the block reads as absent.
std::optional<std::vector<uint8_t>> decodePackedBlock(std::span<const uint8_t> block,
                                                      ReportMode mode = ReportMode::ShowErrors);

}  // namespace vorlo
