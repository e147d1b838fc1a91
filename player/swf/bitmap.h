// A decoded bitmap: 32-bit premultiplied pixels, 0xAARRGGBB in a uint32_t (B, G, R, A in memory on
// little-endian machines, as a Windows 32-bit DIB), rows top to bottom without padding.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlo::player {

struct Bitmap {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // width * height
  bool opaque = false;           // every alpha is 255 (JPEG without alpha, 24-bit lossless)
  uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

inline uint32_t premultiply(uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
  auto mul = [a](uint8_t c) { return uint32_t((c * a + 127) / 255); };
  return uint32_t(a) << 24 | mul(r) << 16 | mul(g) << 8 | mul(b);
}

}  // namespace vorlo::player
