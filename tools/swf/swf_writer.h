// Writing SWF's little-endian integers, bit fields and records: the mirror of the player's reader.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "player/swf/geometry.h"

namespace vorlo::swfasm {

using player::ColorTransform;
using player::Matrix;
using player::Rect;
using player::Rgba;

// Bits needed for `v` as a signed field (at least 1).
unsigned signedBits(int64_t v);
unsigned unsignedBits(uint64_t v);

class SwfWriter {
 public:
  std::vector<uint8_t> bytes;

  void u8(uint32_t v) {
    flush();
    bytes.push_back(uint8_t(v));
  }
  void u16(uint32_t v) {
    u8(v & 0xFF);
    u8(v >> 8 & 0xFF);
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  void f32(float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    u32(bits);
  }
  void f16(float f);
  void fixed8(double v) { u16(uint16_t(int16_t(std::lround(v * 256)))); }
  void fixed16(double v) { u32(uint32_t(int32_t(std::llround(v * 65536)))); }
  void data(const std::vector<uint8_t>& d) {
    flush();
    bytes.insert(bytes.end(), d.begin(), d.end());
  }
  void cstring(std::string_view s) {
    flush();
    bytes.insert(bytes.end(), s.begin(), s.end());
    bytes.push_back(0);
  }

  void ub(unsigned n, uint32_t v);
  void sb(unsigned n, int32_t v) { ub(n, uint32_t(v)); }
  void flag(bool b) { ub(1, b ? 1 : 0); }
  // Pads the current byte of bit fields with zeros.
  void flush();

  void rect(const Rect& r);
  void matrix(const Matrix& m);
  void colorTransform(const ColorTransform& c, bool withAlpha);
  void rgb(Rgba c) {
    u8(c.r);
    u8(c.g);
    u8(c.b);
  }
  void rgba(Rgba c) {
    rgb(c);
    u8(c.a);
  }

 private:
  uint8_t current_ = 0;
  unsigned used_ = 0;  // bits of current_ written
};

// A tag with its header: short form for bodies under 63 bytes unless `forceLong`.
void appendTag(std::vector<uint8_t>& out, uint16_t code, const std::vector<uint8_t>& body, bool forceLong = false);

}  // namespace vorlo::swfasm
