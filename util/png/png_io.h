// PNG pictures in and out as 8-bit RGBA, over libpng. Any PNG reads (every colour type and depth,
// palettes, transparency chunks, interlacing); what is written is always 8-bit RGBA. A file that is
// not a complete, valid PNG gives an error text, never a crash.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vorlo {

struct RgbaImage {
  uint32_t width = 0;
  uint32_t height = 0;
  // Rows top to bottom without padding, four bytes a pixel: red, green, blue, alpha. Alpha is
  // straight (colours are not multiplied by it), so a transparent pixel keeps its colour.
  std::vector<uint8_t> pixels;
};

// The largest picture read or written (pixels): 256 MB of RGBA, which a 32-bit process can still
// hope to allocate. Larger ones are refused before any memory is taken for them.
inline constexpr uint64_t kMaxPngPixels = uint64_t(1) << 26;

// Reads a PNG held in memory. On failure returns false, leaves *image empty and says why in *error.
bool readPng(const uint8_t* data, size_t size, RgbaImage* image, std::string* error);
bool readPngFile(const std::string& path, RgbaImage* image, std::string* error);

// Writes an 8-bit RGBA PNG. On failure returns false, leaves *out empty and says why in *error.
bool writePng(const RgbaImage& image, std::vector<uint8_t>* out, std::string* error);
bool writePngFile(const std::string& path, const RgbaImage& image, std::string* error);

}  // namespace vorlo
