#include "tools/swf/swf_writer.h"

#include <cmath>

namespace vorlo::swfasm {

unsigned signedBits(int64_t v) {
  unsigned n = 1;
  while (n < 64 && (v < -(int64_t(1) << (n - 1)) || v >= (int64_t(1) << (n - 1)))) ++n;
  return n;
}

unsigned unsignedBits(uint64_t v) {
  unsigned n = 0;
  while (v >> n) ++n;
  return n;
}

void SwfWriter::ub(unsigned n, uint32_t v) {
  for (unsigned i = n; i-- > 0;) {
    current_ = uint8_t(current_ << 1 | ((v >> i) & 1));
    if (++used_ == 8) {
      bytes.push_back(current_);
      current_ = 0;
      used_ = 0;
    }
  }
}

void SwfWriter::flush() {
  if (used_ == 0) return;
  bytes.push_back(uint8_t(current_ << (8 - used_)));
  current_ = 0;
  used_ = 0;
}

void SwfWriter::f16(float f) {
  // Half precision: enough for alignment zones, rounded to nearest.
  uint16_t sign = std::signbit(f) ? 0x8000 : 0;
  double a = std::fabs(double(f));
  uint16_t h;
  if (a == 0) {
    h = 0;
  } else if (a >= 65520) {
    h = 0x7C00;
  } else {
    int e;
    double m = std::frexp(a, &e);  // a = m * 2^e, m in [0.5, 1)
    int exponent = e + 14;
    if (exponent <= 0) {
      h = uint16_t(std::lround(std::ldexp(a, 24)));
    } else {
      long mant = std::lround((m * 2 - 1) * 1024);
      if (mant == 1024) {
        mant = 0;
        ++exponent;
      }
      h = uint16_t(exponent << 10 | mant);
    }
  }
  u16(sign | h);
}

void SwfWriter::rect(const Rect& r) {
  flush();
  int32_t v[4] = {int32_t(std::lround(r.xMin)), int32_t(std::lround(r.xMax)), int32_t(std::lround(r.yMin)),
                  int32_t(std::lround(r.yMax))};
  unsigned n = 1;
  for (int32_t x : v) n = std::max(n, signedBits(x));
  ub(5, n);
  for (int32_t x : v) sb(n, x);
  flush();
}

void SwfWriter::matrix(const Matrix& m) {
  flush();
  auto fixed = [](double v) { return int32_t(std::llround(v * 65536)); };
  bool hasScale = m.a != 1 || m.d != 1;
  flag(hasScale);
  if (hasScale) {
    int32_t a = fixed(m.a), d = fixed(m.d);
    unsigned n = std::max(signedBits(a), signedBits(d));
    ub(5, n);
    sb(n, a);
    sb(n, d);
  }
  bool hasRotate = m.b != 0 || m.c != 0;
  flag(hasRotate);
  if (hasRotate) {
    int32_t b = fixed(m.b), c = fixed(m.c);
    unsigned n = std::max(signedBits(b), signedBits(c));
    ub(5, n);
    sb(n, b);
    sb(n, c);
  }
  int32_t tx = int32_t(std::lround(m.tx)), ty = int32_t(std::lround(m.ty));
  unsigned n = (tx == 0 && ty == 0) ? 0 : std::max(signedBits(tx), signedBits(ty));
  ub(5, n);
  sb(n, tx);
  sb(n, ty);
  flush();
}

void SwfWriter::colorTransform(const ColorTransform& c, bool withAlpha) {
  flush();
  bool hasMult = c.rMult != 256 || c.gMult != 256 || c.bMult != 256 || (withAlpha && c.aMult != 256);
  bool hasAdd = c.rAdd != 0 || c.gAdd != 0 || c.bAdd != 0 || (withAlpha && c.aAdd != 0);
  int32_t mult[4] = {c.rMult, c.gMult, c.bMult, c.aMult}, add[4] = {c.rAdd, c.gAdd, c.bAdd, c.aAdd};
  unsigned count = withAlpha ? 4 : 3, n = 1;
  for (unsigned i = 0; i < count; ++i) {
    if (hasMult) n = std::max(n, signedBits(mult[i]));
    if (hasAdd) n = std::max(n, signedBits(add[i]));
  }
  flag(hasAdd);
  flag(hasMult);
  ub(4, n);
  if (hasMult)
    for (unsigned i = 0; i < count; ++i) sb(n, mult[i]);
  if (hasAdd)
    for (unsigned i = 0; i < count; ++i) sb(n, add[i]);
  flush();
}

void appendTag(std::vector<uint8_t>& out, uint16_t code, const std::vector<uint8_t>& body, bool forceLong) {
  auto put16 = [&](uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
  };
  if (body.size() < 0x3F && !forceLong) {
    put16(uint32_t(code) << 6 | uint32_t(body.size()));
  } else {
    put16(uint32_t(code) << 6 | 0x3F);
    put16(uint32_t(body.size()) & 0xFFFF);
    put16(uint32_t(body.size()) >> 16);
  }
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace vorlo::swfasm
