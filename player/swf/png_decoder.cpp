#include "player/swf/png_decoder.h"

#include <png.h>

#include <new>
#include <vector>

namespace vorlo::player {

PngStatus decodePng(std::span<const uint8_t> data, int maxSide, uint32_t maxPixels, Bitmap& out, std::string& problem) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) {
    problem = image.message;
    png_image_free(&image);
    return PngStatus::Failed;
  }
  out.width = int(image.width);
  out.height = int(image.height);
  if (image.width > uint32_t(maxSide) || image.height > uint32_t(maxSide) ||
      uint64_t(image.width) * image.height > maxPixels) {
    png_image_free(&image);
    return PngStatus::TooLarge;
  }
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> rgba;
  try {
    rgba.resize(PNG_IMAGE_SIZE(image));
  } catch (const std::bad_alloc&) {
    png_image_free(&image);
    problem = "out of memory";
    return PngStatus::Failed;
  }
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) {
    problem = image.message;
    png_image_free(&image);
    out.width = out.height = 0;
    return PngStatus::Failed;
  }
  size_t n = size_t(out.width) * size_t(out.height);
  out.pixels.resize(n);
  bool opaque = true;
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* p = rgba.data() + i * 4;
    out.pixels[i] = premultiply(p[0], p[1], p[2], p[3]);
    opaque = opaque && p[3] == 255;
  }
  out.opaque = opaque;
  return PngStatus::Ok;
}

}  // namespace vorlo::player
