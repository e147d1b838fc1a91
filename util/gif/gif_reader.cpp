#include "util/gif/gif_reader.h"

#include <array>

namespace vorlo::gif {
namespace {

class Bytes {
 public:
  explicit Bytes(std::span<const uint8_t> d) : d_(d) {}
  bool has(size_t n) const { return n <= d_.size() - at_; }
  uint8_t u8() { return has(1) ? d_[at_++] : (ended_ = true, 0); }
  uint16_t u16() {
    uint8_t lo = u8();
    return uint16_t(lo | u8() << 8);
  }
  void skip(size_t n) {
    if (has(n)) at_ += n;
    else at_ = d_.size(), ended_ = true;
  }
  // Skips a chain of data sub-blocks up to its zero-length terminator.
  void skipSubBlocks() {
    while (!ended_) {
      uint8_t n = u8();
      if (n == 0) return;
      skip(n);
    }
  }
  bool ended() const { return ended_; }

 private:
  std::span<const uint8_t> d_;
  size_t at_ = 0;
  bool ended_ = false;
};

struct Palette {
  std::array<uint8_t, 256 * 3> rgb{};
  int size = 0;
};

void readPalette(Bytes& in, int entries, Palette& p) {
  p.size = entries;
  for (int i = 0; i < entries * 3; ++i) p.rgb[size_t(i)] = in.u8();
}

// The LZW code stream of one image, read across its sub-blocks.
class CodeReader {
 public:
  explicit CodeReader(Bytes& in) : in_(in) {}
  // The next code of `bits` bits, or -1 when the data ends.
  int next(int bits) {
    while (count_ < bits) {
      if (left_ == 0) {
        if (done_) return -1;
        left_ = in_.u8();
        if (left_ == 0 || in_.ended()) {
          done_ = true;
          return -1;
        }
      }
      acc_ |= uint32_t(in_.u8()) << count_;
      count_ += 8;
      --left_;
    }
    int code = int(acc_ & ((1u << bits) - 1));
    acc_ >>= bits;
    count_ -= bits;
    return code;
  }
  // Moves past what is left of the image's data (up to its terminator).
  void finish() {
    if (done_) return;
    in_.skip(left_);
    in_.skipSubBlocks();
  }

 private:
  Bytes& in_;
  uint32_t acc_ = 0;
  int count_ = 0;
  int left_ = 0;
  bool done_ = false;
};

// Decodes `count` colour indices; returns how many were decoded before the data ended or broke.
size_t decodeLzw(Bytes& in, int minBits, std::vector<uint8_t>& indices, size_t count) {
  constexpr int kMaxCodes = 4096;
  std::array<uint16_t, kMaxCodes> prefix{};
  std::array<uint8_t, kMaxCodes> suffix{}, first{};
  std::array<uint8_t, kMaxCodes + 1> stack{};
  const int clear = 1 << minBits, end = clear + 1;
  for (int i = 0; i < clear; ++i) suffix[size_t(i)] = first[size_t(i)] = uint8_t(i);
  int bits = minBits + 1, next = end + 1, previous = -1;
  size_t out = 0;
  CodeReader codes(in);
  while (out < count) {
    int code = codes.next(bits);
    if (code < 0 || code == end) break;
    if (code == clear) {
      bits = minBits + 1;
      next = end + 1;
      previous = -1;
      continue;
    }
    if (previous < 0) {
      if (code >= clear) break;  // a stream must start with a root code
      indices[out++] = uint8_t(code);
      previous = code;
      continue;
    }
    int string = code;
    size_t depth = 0;
    if (code >= next) {
      if (code > next) break;  // names a code not yet made: damaged
      stack[depth++] = first[size_t(previous)];
      string = previous;
    }
    while (string >= clear) {
      stack[depth++] = suffix[size_t(string)];
      string = prefix[size_t(string)];
    }
    stack[depth++] = uint8_t(string);
    uint8_t head = uint8_t(string);
    while (depth > 0 && out < count) indices[out++] = stack[--depth];
    if (next < kMaxCodes) {
      prefix[size_t(next)] = uint16_t(previous);
      suffix[size_t(next)] = head;
      first[size_t(next)] = first[size_t(previous)];
      ++next;
      if (next == (1 << bits) && bits < 12) ++bits;
    }
    previous = code;
  }
  codes.finish();
  return out;
}

}  // namespace

Status decode(std::span<const uint8_t> data, int maxSide, uint32_t maxPixels, Image& out, std::string& problem) {
  out = Image{};
  Bytes in(data);
  if (!isGif(data) || data.size() < 13) {
    problem = "not a GIF picture";
    return Status::Failed;
  }
  in.skip(6);
  int width = in.u16(), height = in.u16();
  uint8_t flags = in.u8();
  in.skip(2);  // background index, aspect ratio
  out.width = width;
  out.height = height;
  if (width == 0 || height == 0) {
    problem = "a GIF picture without a size";
    return Status::Failed;
  }
  if (width > maxSide || height > maxSide || uint64_t(width) * uint64_t(height) > maxPixels) return Status::TooLarge;
  Palette global;
  if (flags & 0x80) readPalette(in, 2 << (flags & 7), global);

  int transparent = -1;
  while (!in.ended()) {
    uint8_t block = in.u8();
    if (block == 0x21) {  // extension
      uint8_t label = in.u8();
      if (label == 0xF9) {  // graphic control
        uint8_t size = in.u8();
        if (size >= 4) {
          uint8_t control = in.u8();
          in.skip(2);  // delay
          uint8_t index = in.u8();
          transparent = (control & 1) ? index : -1;
          in.skip(size - 4u);
        } else {
          in.skip(size);
        }
      }
      in.skipSubBlocks();
    } else if (block == 0x2C) {  // the first image
      int left = in.u16(), top = in.u16(), w = in.u16(), h = in.u16();
      uint8_t imageFlags = in.u8();
      Palette local;
      if (imageFlags & 0x80) readPalette(in, 2 << (imageFlags & 7), local);
      const Palette& palette = (imageFlags & 0x80) ? local : global;
      int minBits = in.u8();
      if (in.ended() || minBits < 1 || minBits > 8) {
        problem = "the GIF picture data is damaged";
        return Status::Failed;
      }
      out.rgba.assign(size_t(width) * size_t(height) * 4, 0);
      size_t count = size_t(w) * size_t(h);
      std::vector<uint8_t> indices(count, 0);
      size_t decoded = decodeLzw(in, minBits, indices, count);
      // Rows in file order; an interlaced picture stores every 8th row from 0, every 8th from 4,
      // every 4th from 2, then every 2nd from 1.
      std::vector<int> rows;
      rows.reserve(size_t(h));
      if (imageFlags & 0x40) {
        static const int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
          for (int y = kStart[pass]; y < h; y += kStep[pass]) rows.push_back(y);
      } else {
        for (int y = 0; y < h; ++y) rows.push_back(y);
      }
      for (size_t i = 0; i < decoded; ++i) {
        int x = left + int(i % size_t(w)), y = top + rows[i / size_t(w)];
        uint8_t index = indices[i];
        if (x >= width || y >= height || index == transparent || index >= palette.size) continue;
        uint8_t* p = &out.rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
        p[0] = palette.rgb[size_t(index) * 3];
        p[1] = palette.rgb[size_t(index) * 3 + 1];
        p[2] = palette.rgb[size_t(index) * 3 + 2];
        p[3] = 255;
      }
      if (decoded < count) {
        problem = "the GIF picture data ends early or is damaged";
        return decoded == 0 ? Status::Failed : Status::Partial;
      }
      return Status::Ok;
    } else {
      break;  // the trailer (0x3B), or something that is not GIF
    }
  }
  problem = "a GIF file without a picture";
  return Status::Failed;
}

}  // namespace vorlo::gif
