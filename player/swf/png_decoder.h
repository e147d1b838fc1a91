// PNG images in DefineBitsJPEG2/3 (Flash 8 took PNG files there as well as JPEG), through libpng's
// simplified interface, which keeps libpng's error exits inside libpng.
#pragma once
#include <cstdint>
#include <span>
#include <string>

#include "player/swf/bitmap.h"

namespace vorlo::player {

enum class PngStatus { Ok, Failed, TooLarge };

// Premultiplied pixels into `out`; images beyond `maxSide` a side or `maxPixels` in all are refused
// (with their size in `out`) before their pixels are allocated.
PngStatus decodePng(std::span<const uint8_t> data, int maxSide, uint32_t maxPixels, Bitmap& out, std::string& problem);

inline bool isPng(std::span<const uint8_t> d) {
  return d.size() >= 8 && d[0] == 0x89 && d[1] == 'P' && d[2] == 'N' && d[3] == 'G';
}

}  // namespace vorlo::player
