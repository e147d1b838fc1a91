#include <algorithm>

#include "tools/play/picture.h"

namespace vorlo::play {

RgbaImage pictureOf(const player::Surface& surface) {
  RgbaImage image;
  image.width = uint32_t(surface.width);
  image.height = uint32_t(surface.height);
  image.pixels.resize(surface.pixels.size() * 4);
  uint8_t* out = image.pixels.data();
  for (uint32_t px : surface.pixels) {
    uint32_t a = px >> 24;
    auto straight = [a](uint32_t c) { return uint8_t(a ? std::min<uint32_t>(255, (c * 255 + a / 2) / a) : 0); };
    *out++ = straight(px >> 16 & 0xFF);
    *out++ = straight(px >> 8 & 0xFF);
    *out++ = straight(px & 0xFF);
    *out++ = uint8_t(a);
  }
  return image;
}

bool writePicture(const std::string& path, const player::Surface& surface, std::string& error) {
  return writePngFile(path, pictureOf(surface), &error);
}

}  // namespace vorlo::play
