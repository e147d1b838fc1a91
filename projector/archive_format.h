// The appended archive: "SAF\0", then the root folder "Application". Every entry is
//   u32 kind (0 file, else folder) | counted UTF-16 name | u32 size | payload
// where a folder's payload is its entries and a file's payload is a zlib stream followed by the
// CRC-32 of the file. The program ends with a trailer: u32 archiveSize, u32 present.
#pragma once
#include <cstdint>

namespace vorlo::archive {

inline constexpr uint8_t kMagic[4] = {'S', 'A', 'F', 0};
inline constexpr const char* kRootName = "Application";
inline constexpr uint32_t kFileKind = 0;
inline constexpr uint32_t kFolderKind = 1;
inline constexpr uint32_t kTrailerSize = 8;
// Longest entry name accepted, in UTF-16 units with the NUL.
inline constexpr uint32_t kMaxNameUnits = 260;
// Folders nested deeper than this are not extracted.
inline constexpr int kMaxDepth = 64;
inline constexpr size_t kChunkSize = 4096;

}  // namespace vorlo::archive
