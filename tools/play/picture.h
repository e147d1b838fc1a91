// The player's pixel buffers as PNG pictures.
#pragma once
#include <string>

#include "player/render/renderer.h"
#include "util/png/png_io.h"

namespace vorlo::play {

// Straight (not premultiplied) RGBA of a surface.
RgbaImage pictureOf(const player::Surface& surface);
bool writePicture(const std::string& path, const player::Surface& surface, std::string& error);

}  // namespace vorlo::play
