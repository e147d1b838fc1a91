// JPEG decoding through libjpeg, isolated so that libjpeg's error exits (a longjmp) never cross
// a C++ frame with destructors.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorlo::player {

struct JpegImage {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;  // width * height * 3, rows top to bottom
  int rowsDecoded = 0;       // rows that came out before an error (the rest stay black)
};

enum class JpegStatus { Ok, Partial, Failed, TooLarge };

// Decodes `data`, reading the abbreviated table stream `tables` first when it is not empty
// (DefineBits with JPEGTables). Images wider or taller than `maxSide` or with more than
// `maxPixels` pixels are refused before their pixels are allocated.
JpegStatus decodeJpeg(std::span<const uint8_t> tables, std::span<const uint8_t> data, int maxSide,
                      uint32_t maxPixels, JpegImage& out, std::string& problem);

// The JPEG data of a SWF tag as libjpeg can read it: without the stray end-of-image and
// start-of-image pair (FF D9 FF D8) that Flash's tools wrote at the start or between the tables and
// the image, and without repeated start-of-image markers.
std::vector<uint8_t> cleanSwfJpeg(std::span<const uint8_t> data);

}  // namespace vorlo::player
