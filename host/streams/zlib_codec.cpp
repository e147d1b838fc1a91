#include "host/streams/zlib_codec.h"

#include <zlib.h>

namespace vorlo {
namespace {

constexpr size_t kPiece = 4096;

// Reads the source from its first byte, restoring its get position and flags on the way out.
class SourceReader {
 public:
  explicit SourceReader(MemoryStream& s) : s_(s), saved_(s.saveState()) { s_.setGetPos(0); }
  ~SourceReader() { s_.restoreState(saved_); }
  size_t next(uint8_t* buffer) { return s_.read(buffer, kPiece); }

 private:
  MemoryStream& s_;
  MemoryStream::State saved_;
};

// Runs a deflate or inflate stream over the source; `step` is deflate or inflate.
template <typename Step, typename End>
std::unique_ptr<MemoryStream> transform(MemoryStream& source, z_stream& z, Step step, End end, bool inflating) {
  std::unique_ptr<MemoryStream> out;
  try {
    out = std::make_unique<MemoryStream>();
  } catch (const std::exception&) {
    end(&z);
    return nullptr;
  }
  SourceReader reader(source);
  uint8_t in[kPiece], buffer[kPiece];
  bool finished = false, ok = true;
  while (ok && !finished) {
    size_t got = reader.next(in);
    bool last = got < kPiece;
    z.next_in = in;
    z.avail_in = static_cast<uInt>(got);
    do {
      z.next_out = buffer;
      z.avail_out = kPiece;
      int rc = step(&z, inflating ? Z_NO_FLUSH : (last ? Z_FINISH : Z_NO_FLUSH));
      size_t produced = kPiece - z.avail_out;
      if (produced && !out->write(buffer, produced)) ok = false;
      if (rc == Z_STREAM_END) {
        finished = true;
      } else if (rc == Z_BUF_ERROR) {
        // No progress possible: for inflate the input ran out before the end of the stream.
        if (produced == 0 && z.avail_in == 0 && (inflating || !last)) break;
        if (produced == 0) ok = false;
      } else if (rc != Z_OK) {
        ok = false;
      }
    } while (ok && !finished && (z.avail_out == 0 || z.avail_in > 0));
    if (last && !finished) {
      if (inflating) ok = false;  // the data ended inside the compressed stream
      else if (z.avail_in == 0 && z.avail_out != 0) ok = false;
    }
  }
  end(&z);
  if (!ok || !finished) return nullptr;
  return out;
}

}  // namespace

std::unique_ptr<MemoryStream> compressStream(MemoryStream& source, int level) {
  z_stream z{};
  if (deflateInit(&z, level) != Z_OK) return nullptr;
  return transform(source, z, deflate, deflateEnd, false);
}

std::unique_ptr<MemoryStream> uncompressStream(MemoryStream& source) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return nullptr;
  return transform(source, z, inflate, inflateEnd, true);
}

uint32_t streamCrc(MemoryStream& source) {
  SourceReader reader(source);
  uint8_t in[kPiece];
  uLong crc = crc32(0, Z_NULL, 0);
  for (size_t got; (got = reader.next(in)) > 0;) crc = crc32(crc, in, static_cast<uInt>(got));
  return static_cast<uint32_t>(crc);
}

}  // namespace vorlo
