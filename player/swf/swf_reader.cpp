#include "player/swf/swf_reader.h"

#include <cmath>

namespace vorlo::player {

uint32_t SwfReader::ub(unsigned n) {
  uint32_t v = 0;
  while (n > 0) {
    if (bit_ == 0) {
      if (pos_ >= data_.size()) {
        failed_ = true;
        return 0;
      }
      current_ = data_[pos_++];
      bit_ = 8;
    }
    unsigned take = n < bit_ ? n : bit_;
    uint32_t bits = (current_ >> (bit_ - take)) & ((1u << take) - 1);
    v = (v << take) | bits;
    bit_ -= take;
    n -= take;
  }
  return v;
}

int32_t SwfReader::sb(unsigned n) {
  if (n == 0) return 0;
  uint32_t v = ub(n);
  if (n < 32 && (v & (1u << (n - 1)))) v |= ~((1u << n) - 1);
  return int32_t(v);
}

float SwfReader::f16() {
  uint16_t h = u16();
  int sign = h >> 15, exponent = (h >> 10) & 0x1F, mantissa = h & 0x3FF;
  double v;
  if (exponent == 0)
    v = std::ldexp(mantissa, -24);
  else if (exponent == 31)
    v = mantissa ? NAN : INFINITY;
  else
    v = std::ldexp(mantissa | 0x400, exponent - 25);
  return float(sign ? -v : v);
}

std::span<const uint8_t> SwfReader::bytes(size_t n) {
  align();
  if (remaining() < n) {
    pos_ = data_.size();
    failed_ = true;
    return {};
  }
  auto s = data_.subspan(pos_, n);
  pos_ += n;
  return s;
}

std::span<const uint8_t> SwfReader::rest() {
  align();
  auto s = data_.subspan(pos_ < data_.size() ? pos_ : data_.size());
  pos_ = data_.size();
  return s;
}

std::span<const uint8_t> SwfReader::cstring() {
  align();
  size_t start = pos_ < data_.size() ? pos_ : data_.size();
  size_t end = start;
  while (end < data_.size() && data_[end] != 0) ++end;
  auto s = data_.subspan(start, end - start);
  if (end == data_.size()) {
    failed_ = true;
    pos_ = end;
  } else {
    pos_ = end + 1;
  }
  return s;
}

Rect SwfReader::rect() {
  align();
  unsigned n = ub(5);
  Rect r;
  r.xMin = sb(n);
  r.xMax = sb(n);
  r.yMin = sb(n);
  r.yMax = sb(n);
  align();
  return r;
}

Matrix SwfReader::matrix() {
  align();
  Matrix m;
  if (flag()) {
    unsigned n = ub(5);
    m.a = fb(n);
    m.d = fb(n);
  }
  if (flag()) {
    unsigned n = ub(5);
    m.b = fb(n);
    m.c = fb(n);
  }
  unsigned n = ub(5);
  m.tx = sb(n);
  m.ty = sb(n);
  align();
  return m;
}

ColorTransform SwfReader::colorTransform(bool withAlpha) {
  align();
  bool hasAdd = flag(), hasMult = flag();
  unsigned n = ub(4);
  ColorTransform c;
  if (hasMult) {
    c.rMult = sb(n);
    c.gMult = sb(n);
    c.bMult = sb(n);
    if (withAlpha) c.aMult = sb(n);
  }
  if (hasAdd) {
    c.rAdd = sb(n);
    c.gAdd = sb(n);
    c.bAdd = sb(n);
    if (withAlpha) c.aAdd = sb(n);
  }
  align();
  return c;
}

Rgba SwfReader::rgb() {
  Rgba c;
  c.r = u8();
  c.g = u8();
  c.b = u8();
  return c;
}

Rgba SwfReader::rgba() {
  Rgba c = rgb();
  c.a = u8();
  return c;
}

Rgba SwfReader::argb() {
  Rgba c;
  c.a = u8();
  c.r = u8();
  c.g = u8();
  c.b = u8();
  return c;
}

}  // namespace vorlo::player
