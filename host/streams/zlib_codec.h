// zlib compression of a MemoryStream's content (zlib format: header and Adler-32 trailer) and its
// CRC-32, read from the first byte in 4096-byte pieces with the source's get position and flags
// restored afterwards. The result streams grow as output arrives; nothing is sized from the input.
#pragma once
#include <cstdint>
#include <memory>

#include "host/streams/memory_stream.h"

namespace vorlo {

// Null on any zlib error or when memory runs out. Levels outside 0..9 are zlib's error.
std::unique_ptr<MemoryStream> compressStream(MemoryStream& source, int level);
// Null when the content is not a complete zlib stream; data after its end is ignored.
std::unique_ptr<MemoryStream> uncompressStream(MemoryStream& source);
// CRC-32 (as zlib's crc32 from 0) of the whole content.
uint32_t streamCrc(MemoryStream& source);

}  // namespace vorlo
