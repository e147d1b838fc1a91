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
#include <string>
#include <string_view>
#include <vector>

namespace vorlo {

inline constexpr size_t kPackedBlockHeaderSize = 16;

std::vector<uint8_t> encodePackedBlock(std::span<const uint8_t> data);

// Throws ZipError with the block's fault.
std::vector<uint8_t> decodePackedBlockOrThrow(std::span<const uint8_t> block);

enum class ReportMode { ShowErrors, Quiet };

// The decoder every reader uses: a fault is reported (unless quiet) as "<subject> is damaged: <fault>"
// (the bare fault without a subject) and the block reads as absent.
std::optional<std::vector<uint8_t>> decodePackedBlock(std::span<const uint8_t> block,
                                                      ReportMode mode = ReportMode::ShowErrors,
                                                      std::string_view subject = {});

// How every damaged part of a package is reported: what it is, then what is wrong with it.
std::string damagedMessage(std::string_view subject, std::string_view fault);

}  // namespace vorlo
