#include "projector/movie_header.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "util/file.h"
#include "util/text.h"

namespace vorlo {
namespace {

// The movie's body (after its 8-byte signature block) as a stream that is read forward and
// skipped, plain or inflated, never beyond the declared length.
class BodyStream {
 public:
  BodyStream(File& file, uint64_t start, uint64_t length, bool compressed)
      : file_(file), start_(start), limit_(length), compressed_(compressed) {}
  ~BodyStream() {
    if (zinit_) inflateEnd(&zs_);
  }

  bool read(uint8_t* out, size_t n) {
    if (n > limit_ - pos_) return false;
    if (!compressed_) {
      if (!file_.seek(start_ + pos_) || !file_.readExact(out, n)) return false;
      pos_ += n;
      return true;
    }
    return inflateInto(out, n);
  }

  bool skip(uint64_t n) {
    if (n > limit_ - pos_) return false;
    if (!compressed_) {
      pos_ += n;
      return true;
    }
    uint8_t scratch[4096];
    while (n > 0) {
      size_t step = size_t(std::min<uint64_t>(n, sizeof scratch));
      if (!inflateInto(scratch, step)) return false;
      n -= step;
    }
    return true;
  }

  bool atEnd() const { return pos_ >= limit_; }

 private:
  bool inflateInto(uint8_t* out, size_t n) {
    if (!zinit_) {
      std::memset(&zs_, 0, sizeof zs_);
      if (inflateInit(&zs_) != Z_OK) return false;
      zinit_ = true;
      if (!file_.seek(start_)) return false;
    }
    zs_.next_out = out;
    zs_.avail_out = uInt(n);
    while (zs_.avail_out > 0) {
      if (zs_.avail_in == 0) {
        size_t got = file_.read(input_, sizeof input_);
        if (got == 0) return false;
        zs_.next_in = input_;
        zs_.avail_in = uInt(got);
      }
      int rc = inflate(&zs_, Z_NO_FLUSH);
      if (rc == Z_STREAM_END && zs_.avail_out > 0) return false;
      if (rc != Z_OK && rc != Z_STREAM_END) return false;
    }
    pos_ += n;
    return true;
  }

  File& file_;
  uint64_t start_, limit_, pos_ = 0;
  bool compressed_;
  z_stream zs_{};
  bool zinit_ = false;
  uint8_t input_[4096];
};

// Reads the header of the movie whose signature block starts at `offset`; `available` bytes of
// the file belong to it.
std::optional<MovieHeader> readAt(File& file, uint64_t offset, uint64_t available) {
  uint8_t head[8];
  if (available < 8 || !file.seek(offset) || !file.readExact(head, 8)) return std::nullopt;
  bool compressed = head[0] == 'C';
  if ((head[0] != 'F' && head[0] != 'C') || head[1] != 'W' || head[2] != 'S') return std::nullopt;
  uint32_t length = uint32_t(head[4]) | uint32_t(head[5]) << 8 | uint32_t(head[6]) << 16 | uint32_t(head[7]) << 24;
  if (length < 8 || length > kMaxMovieLength) return std::nullopt;
  // An uncompressed body cannot be longer than the bytes there are.
  if (!compressed && length > available) return std::nullopt;
  BodyStream body(file, offset + 8, length - 8, compressed);

  MovieHeader h;
  h.version = head[3];
  h.compressed = compressed;
  // The rectangle: 5 bits of field width, then four fields, most significant bit first.
  uint8_t rect[17];
  if (!body.read(rect, 1)) return std::nullopt;
  int bits = rect[0] >> 3;
  size_t bytes = (5 + 4 * size_t(bits) + 7) / 8;
  if (!body.read(rect + 1, bytes - 1)) return std::nullopt;
  size_t bit = 5;
  auto field = [&]() {
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i, ++bit) v = v << 1 | (rect[bit / 8] >> (7 - bit % 8) & 1);
    return int(v / 20);
  };
  h.left = field();
  h.right = field();
  h.top = field();
  h.bottom = field();
  uint8_t counts[4];
  if (!body.read(counts, 4)) return std::nullopt;
  h.frameRate = uint16_t(counts[0] | counts[1] << 8);
  h.frameCount = uint16_t(counts[2] | counts[3] << 8);
  // The tags, up to the first background colour.
  while (!body.atEnd()) {
    uint8_t tag[4];
    if (!body.read(tag, 2)) return std::nullopt;
    unsigned code = unsigned(tag[0] | tag[1] << 8) >> 6;
    uint32_t size = tag[0] & 0x3F;
    if (size == 0x3F) {
      if (!body.read(tag, 4)) return std::nullopt;
      size = uint32_t(tag[0]) | uint32_t(tag[1]) << 8 | uint32_t(tag[2]) << 16 | uint32_t(tag[3]) << 24;
    }
    if (code == 9) {
      uint8_t rgb[3];
      if (size < 3 || !body.read(rgb, 3)) return std::nullopt;
      h.backgroundColor = int32_t(rgb[0]) << 16 | int32_t(rgb[1]) << 8 | rgb[2];
      return h;
    }
    if (code == 0) break;  // the end of the main timeline
    if (!body.skip(size)) return std::nullopt;
  }
  return h;
}

bool endsWith(const std::string& path, std::string_view suffix) {
  return path.size() >= suffix.size() && equalsIgnoreCase(std::string_view(path).substr(path.size() - suffix.size()), suffix);
}

struct Appended {
  uint64_t start, length;
};

// Where a movie appended to an executable lies: its length L is the file's last four bytes, and it
// ends 8 bytes before the end.
std::optional<Appended> appendedMovie(File& file, uint64_t size) {
  uint8_t tail[4];
  if (size < 12 || !file.seek(size - 4) || !file.readExact(tail, 4)) return std::nullopt;
  uint64_t length = uint32_t(tail[0]) | uint32_t(tail[1]) << 8 | uint32_t(tail[2]) << 16 | uint32_t(tail[3]) << 24;
  // A length that reaches before the file's start (a negative offset) is no appended movie.
  if (length < 8 || length > size - 8) return std::nullopt;
  return Appended{size - length - 8, length};
}

}  // namespace

std::optional<MovieHeader> readMovieHeader(const std::string& path) {
  File file;
  if (!file.open(path, File::Mode::Read)) return std::nullopt;
  uint64_t size = file.size();
  if (size < 8) return std::nullopt;
  uint8_t sig[3];
  if (!file.readExact(sig, 3)) return std::nullopt;
  if ((sig[0] == 'F' || sig[0] == 'C') && sig[1] == 'W' && sig[2] == 'S') return readAt(file, 0, size);
  std::optional<Appended> movie = appendedMovie(file, size);
  if (!movie) return std::nullopt;
  return readAt(file, movie->start, movie->length);
}

bool isMovieFile(const std::string& path) {
  if (endsWith(path, ".swf")) return true;
  if (!endsWith(path, ".exe")) return false;
  File file;
  if (!file.open(path, File::Mode::Read)) return false;
  std::optional<Appended> movie = appendedMovie(file, file.size());
  uint8_t sig[3];
  return movie && file.seek(movie->start) && file.readExact(sig, 3) && (sig[0] == 'F' || sig[0] == 'C') && sig[1] == 'W' &&
         sig[2] == 'S';
}

}  // namespace vorlo
