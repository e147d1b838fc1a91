// Integer arithmetic on 0xAARRGGBB premultiplied pixels, shared by the rasterizer, the blend modes
// and the filters. Everything here is exact integer maths, so both builds produce the same bits.
#pragma once
#include <algorithm>
#include <cstdint>

#include "player/swf/geometry.h"

namespace vorlo::player::px {

inline uint32_t alpha(uint32_t p) { return p >> 24; }
inline uint32_t red(uint32_t p) { return (p >> 16) & 0xFF; }
inline uint32_t green(uint32_t p) { return (p >> 8) & 0xFF; }
inline uint32_t blue(uint32_t p) { return p & 0xFF; }
inline uint32_t pack(uint32_t a, uint32_t r, uint32_t g, uint32_t b) {
  return a << 24 | r << 16 | g << 8 | b;
}

// round(v / 255) for v in 0..255*255 (and a little beyond), without a division.
inline uint32_t div255(uint32_t v) {
  v += 128;
  return (v + (v >> 8)) >> 8;
}

// Every channel times f/255, rounded; keeps channel <= alpha when it held before.
inline uint32_t scale(uint32_t p, uint32_t f) {
  if (f == 255) return p;
  if (f == 0) return 0;
  uint32_t rb = (p & 0x00FF00FF) * f + 0x00800080;
  rb = ((rb + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF;
  uint32_t ag = ((p >> 8) & 0x00FF00FF) * f + 0x00800080;
  ag = (ag + ((ag >> 8) & 0x00FF00FF)) & 0xFF00FF00;
  return ag | rb;
}

// Source over destination.
inline uint32_t over(uint32_t dst, uint32_t src) {
  uint32_t sa = src >> 24;
  if (sa == 255) return src;
  if (sa == 0 && src == 0) return dst;
  return src + scale(dst, 255 - sa);
}

inline uint32_t premultiplied(Rgba c) {
  auto mul = [&](uint32_t v) { return div255(v * c.a); };
  return pack(c.a, mul(c.r), mul(c.g), mul(c.b));
}

inline Rgba straight(uint32_t p) {
  uint32_t a = alpha(p);
  if (a == 0) return {0, 0, 0, 0};
  if (a == 255) return {uint8_t(red(p)), uint8_t(green(p)), uint8_t(blue(p)), 255};
  auto un = [&](uint32_t v) { return uint8_t(std::min<uint32_t>(255, (v * 255 + a / 2) / a)); };
  return {un(red(p)), un(green(p)), un(blue(p)), uint8_t(a)};
}

}  // namespace vorlo::player::px
