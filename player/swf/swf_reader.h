// Bounds-checked reading of SWF's little-endian integers, bit fields and fixed-point numbers.
// A read past the end does not throw: it returns zero and marks the reader failed, so a tag's
// parser can read straight through its fields and check `ok()` once at the end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "player/swf/geometry.h"

namespace vorlo::player {

class SwfReader {
 public:
  SwfReader() = default;
  explicit SwfReader(std::span<const uint8_t> data) : data_(data) {}

  bool ok() const { return !failed_; }
  void fail() { failed_ = true; }
  size_t position() const { return pos_; }
  size_t size() const { return data_.size(); }
  size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  bool atEnd() const { return remaining() == 0; }

  uint8_t u8() {
    align();
    if (pos_ >= data_.size()) return failRead();
    return data_[pos_++];
  }
  uint16_t u16() {
    align();
    if (remaining() < 2) return skipFail();
    uint16_t v = uint16_t(data_[pos_] | data_[pos_ + 1] << 8);
    pos_ += 2;
    return v;
  }
  int16_t s16() { return int16_t(u16()); }
  uint32_t u32() {
    align();
    if (remaining() < 4) return skipFail();
    uint32_t v = uint32_t(data_[pos_]) | uint32_t(data_[pos_ + 1]) << 8 | uint32_t(data_[pos_ + 2]) << 16 |
                 uint32_t(data_[pos_ + 3]) << 24;
    pos_ += 4;
    return v;
  }
  int32_t s32() { return int32_t(u32()); }
  float f32() {
    uint32_t bits = u32();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  // Half-precision float (alignment zones).
  float f16();
  double fixed8() { return s16() / 256.0; }     // signed 8.8
  double ufixed8() { return u16() / 256.0; }    // unsigned 8.8 (frame rate)
  double fixed16() { return s32() / 65536.0; }  // signed 16.16

  // Bit fields, most significant bit first; byte reads realign.
  uint32_t ub(unsigned n);
  int32_t sb(unsigned n);
  double fb(unsigned n) { return sb(n) / 65536.0; }
  bool flag() { return ub(1) != 0; }
  void align() { bit_ = 0; }

  // `n` bytes, or an empty span and a failed reader when fewer remain.
  std::span<const uint8_t> bytes(size_t n);
  std::span<const uint8_t> rest();
  // A NUL-terminated string's bytes without the NUL (the rest of the data when no NUL follows,
  // which marks the reader failed).
  std::span<const uint8_t> cstring();
  void skip(size_t n) { (void)bytes(n); }

  Rect rect();
  Matrix matrix();
  ColorTransform colorTransform(bool withAlpha);
  Rgba rgb();
  Rgba rgba();
  Rgba argb();

 private:
  uint8_t failRead() {
    failed_ = true;
    return 0;
  }
  uint16_t skipFail() {
    pos_ = data_.size();
    failed_ = true;
    return 0;
  }

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  unsigned bit_ = 0;  // bits of data_[pos_ - 1] still unread (0..7) while reading bit fields
  uint8_t current_ = 0;
  bool failed_ = false;
};

}  // namespace vorlo::player
