// GIF pictures in as 8-bit RGBA (straight alpha): the first image of the file on its logical
// screen, transparent where the image does not cover it or its transparent index shows.
// Our own reader: GIF 87a and 89a, global and local colour tables, interlacing, the graphic
// control's transparency. Damaged data gives what could be decoded, with the problem named.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vorlo::gif {

struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4
};

enum class Status {
  Ok,
  Partial,   // the picture data ends early or is damaged: what was decoded is in `out`
  Failed,    // not a GIF, or nothing could be decoded
  TooLarge,  // beyond the caps (the size is in `out`, no pixels)
};

inline bool isGif(std::span<const uint8_t> d) {
  return d.size() >= 6 && d[0] == 'G' && d[1] == 'I' && d[2] == 'F';
}

// Pictures beyond `maxSide` a side or `maxPixels` in all are refused before any pixel is allocated.
Status decode(std::span<const uint8_t> data, int maxSide, uint32_t maxPixels, Image& out, std::string& problem);

}  // namespace vorlo::gif
