// What a fill style becomes once its colour transform and matrix are known: something that
// produces a run of premultiplied pixels for any scanline of the surface.
#pragma once
#include <array>
#include <cstdint>

#include "player/render/renderer.h"

namespace vorlo::player::render {

// The 256 colours of a gradient after the colour transform, premultiplied, in ratio order.
using GradientTable = std::array<uint32_t, 256>;
void buildGradientTable(const std::vector<GradientStop>& stops, InterpolationMode mode,
                        const ColorTransform& cx, GradientTable& out);

struct Paint {
  enum class Kind : uint8_t { None, Solid, Linear, Radial, Focal, Bitmap };
  Kind kind = Kind::None;
  bool opaque = false;  // every pixel it yields has alpha 255
  uint32_t color = 0;   // Solid

  // Gradients and bitmaps: surface pixel -> paint space (the unit gradient square -1..1, or
  // bitmap pixels).
  Matrix inverse;
  SpreadMode spread = SpreadMode::Pad;
  double focal = 0;
  GradientTable table{};

  const Bitmap* bitmap = nullptr;
  bool repeat = false, smooth = false;
  ColorTransform cx;  // bitmaps: applied per pixel unless identity
  bool cxIdentity = true;

  // Writes `len` pixels of row y from column x into out.
  void fill(int x, int y, int len, uint32_t* out) const;
};

// Builds the paint for a fill style. `quality` decides bitmap smoothing.
void makePaint(Paint& p, const FillStyle& style, const ShapeDraw& how);
void makeSolidPaint(Paint& p, Rgba color, const ColorTransform& cx);

}  // namespace vorlo::player::render
