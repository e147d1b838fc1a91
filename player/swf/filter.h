// The display filters that PlaceObject3 and button records carry. Distances and blur sizes are
// in pixels of the object's own space (the renderer scales them with the object's transform).
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "player/swf/geometry.h"
#include "player/swf/shape.h"

namespace vorlo::player {

enum class FilterKind : uint8_t {
  DropShadow = 0,
  Blur = 1,
  Glow = 2,
  Bevel = 3,
  GradientGlow = 4,
  Convolution = 5,
  ColorMatrix = 6,
  GradientBevel = 7,
};

struct Filter {
  FilterKind kind = FilterKind::Blur;
  // Blur, and the blur inside shadows, glows and bevels.
  double blurX = 0, blurY = 0;
  int passes = 1;  // 1..31
  // Drop shadow, glow: `color`; bevel: `color` is the shadow and `highlight` the light side.
  Rgba color;
  Rgba highlight;
  double angle = 0;     // radians
  double distance = 0;  // pixels
  double strength = 1;
  bool inner = false;
  bool knockout = false;
  bool compositeSource = true;
  bool onTop = false;                // bevels
  std::vector<GradientStop> stops;   // gradient glow and gradient bevel
  // Convolution.
  int matrixX = 0, matrixY = 0;
  double divisor = 1, bias = 0;
  std::vector<float> matrix;         // matrixX * matrixY, row by row
  Rgba defaultColor;
  bool clamp = true;
  bool preserveAlpha = true;
  // Colour matrix: 4 rows of 5 (r g b a offset), offsets in 0..255 units.
  std::array<float, 20> colorMatrix{1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
};

}  // namespace vorlo::player
