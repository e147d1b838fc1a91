// Integer arithmetic on 0xAARRGGBB premultiplied pixels, shared by the rasterizer, the blend modes
// and the filters. Everything here is exact integer maths, so both builds produce the same bits.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// d[i] = over(d[i], scale(src[i], cover[i])) for a run: the same bits as that loop, four pixels
// at a time where SSE2 is there (both builds have it). Channels stay within 16 bits throughout:
// x * f + 128 + (x * f + 128) / 256 <= 65407.
inline void overSpan(uint32_t* d, const uint32_t* src, const uint8_t* cover, int len) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), k128 = _mm_set1_epi16(128), k255 = _mm_set1_epi16(255);
  auto scale16 = [&](__m128i x, __m128i f) {
    __m128i t = _mm_add_epi16(_mm_mullo_epi16(x, f), k128);
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
  };
  auto alphas = [](__m128i v) {  // each pixel's alpha in its four lanes
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
  };
  for (; i + 4 <= len; i += 4) {
    uint32_t c4;
    std::memcpy(&c4, cover + i, 4);
    if (c4 == 0) continue;
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
    if (c4 == 0xFFFFFFFFu) {
      // Whole coverage: opaque sources replace, others go over.
      __m128i a = _mm_srli_epi32(s, 24);
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(a, _mm_set1_epi32(255))) == 0xFFFF) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), s);
        continue;
      }
    }
    __m128i c = _mm_unpacklo_epi8(_mm_cvtsi32_si128(int(c4)), zero);
    c = _mm_unpacklo_epi16(c, c);
    __m128i cLo = _mm_unpacklo_epi32(c, c), cHi = _mm_unpackhi_epi32(c, c);
    __m128i sLo = scale16(_mm_unpacklo_epi8(s, zero), cLo), sHi = scale16(_mm_unpackhi_epi8(s, zero), cHi);
    __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
    __m128i dLo = scale16(_mm_unpacklo_epi8(dv, zero), _mm_sub_epi16(k255, alphas(sLo)));
    __m128i dHi = scale16(_mm_unpackhi_epi8(dv, zero), _mm_sub_epi16(k255, alphas(sHi)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                     _mm_packus_epi16(_mm_add_epi16(sLo, dLo), _mm_add_epi16(sHi, dHi)));
  }
#endif
  for (; i < len; ++i) {
    uint32_t c = cover[i];
    d[i] = over(d[i], c == 255 ? src[i] : scale(src[i], c));
  }
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
