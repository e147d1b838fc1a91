// Builds PNG files byte by byte (chunks, CRCs, zlib-compressed scanlines) for the reader's tests, so
// that what the reader is checked against does not come from the library it wraps.
#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vorlo::test {

struct PngSpec {
  PngSpec(uint32_t width, uint32_t height, int bitDepth, int colorType, std::vector<uint16_t> samples = {},
          std::vector<uint8_t> palette = {}, std::vector<uint8_t> transparency = {})
      : width(width), height(height), bitDepth(bitDepth), colorType(colorType), samples(std::move(samples)),
        palette(std::move(palette)), transparency(std::move(transparency)) {}

  uint32_t width;
  uint32_t height;
  int bitDepth;
  int colorType;  // 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
  // Samples row by row, as many a pixel as the colour type has channels (a palette index is one).
  std::vector<uint16_t> samples;
  std::vector<uint8_t> palette;       // PLTE: RGB triples
  std::vector<uint8_t> transparency;  // tRNS, as stored
  bool interlaced = false;            // Adam7
};

// A complete PNG file: signature, IHDR, PLTE and tRNS when given, one IDAT, IEND.
std::vector<uint8_t> buildPng(const PngSpec& spec);

// One chunk with its length and CRC.
std::vector<uint8_t> pngChunk(const std::string& type, const std::vector<uint8_t>& data);

// Where the chunk of the given type starts in a file (its length field), or npos.
size_t findChunk(const std::vector<uint8_t>& png, const std::string& type);

// Recomputes the CRC of the chunk starting at `at`, after its data was changed on purpose.
void fixChunkCrc(std::vector<uint8_t>* png, size_t at);

}  // namespace vorlo::test
