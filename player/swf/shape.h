// A shape as the renderer draws it: edges that carry a fill style on each side and a line style,
// grouped by the style tables that were in force when they were read (StyleChange records with new
// styles start a new group). Coordinates are twips in the shape's own space.
#pragma once
#include <cstdint>
#include <vector>

#include "player/swf/geometry.h"

namespace vorlo::player {

struct GradientStop {
  uint8_t ratio = 0;  // 0..255 along the gradient
  Rgba color;
};

enum class SpreadMode : uint8_t { Pad = 0, Reflect = 1, Repeat = 2 };
enum class InterpolationMode : uint8_t { Normal = 0, LinearRgb = 1 };

struct Gradient {
  // Maps the gradient square (-16384..16384 twips on each axis) into shape space.
  Matrix matrix;
  SpreadMode spread = SpreadMode::Pad;
  InterpolationMode interpolation = InterpolationMode::Normal;
  std::vector<GradientStop> stops;  // 1..15 stops, ratios non-decreasing as stored
  double focalPoint = 0;            // -1..1, focal radial gradients only
};

enum class FillKind : uint8_t {
  Solid = 0x00,
  LinearGradient = 0x10,
  RadialGradient = 0x12,
  FocalGradient = 0x13,
  RepeatingBitmap = 0x40,
  ClippedBitmap = 0x41,
  RepeatingBitmapHard = 0x42,  // not smoothed
  ClippedBitmapHard = 0x43,    // not smoothed
};

struct FillStyle {
  FillKind kind = FillKind::Solid;
  Rgba color;           // Solid
  Gradient gradient;    // the gradient kinds
  uint16_t bitmapId = 0;
  Matrix bitmapMatrix;  // bitmap pixels to shape twips: a scale of 20 draws one bitmap pixel per stage pixel
  bool isBitmap() const { return uint8_t(kind) >= 0x40; }
  bool smoothed() const { return kind == FillKind::RepeatingBitmap || kind == FillKind::ClippedBitmap; }
};

enum class CapStyle : uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : uint8_t { Round = 0, Bevel = 1, Miter = 2 };

struct LineStyle {
  uint16_t width = 0;  // twips; 0 is a hairline (one pixel whatever the scale)
  Rgba color;
  // LineStyle2 (DefineShape4); LineStyle 1 keeps these defaults.
  CapStyle startCap = CapStyle::Round;
  CapStyle endCap = CapStyle::Round;
  JoinStyle join = JoinStyle::Round;
  double miterLimit = 3;  // factor of half the width
  bool noHScale = false;  // the width does not follow the horizontal / vertical scale
  bool noVScale = false;
  bool pixelHinting = false;
  bool noClose = false;
  bool hasFill = false;  // the stroke is painted with `fill` instead of `color`
  FillStyle fill;
};

// One edge: straight (from -> to) or a quadratic curve (from -> control -> to).
// Style indices are 1-based into the group's tables; 0 means none.
struct Edge {
  Point from, control, to;
  bool curved = false;
  uint16_t fill0 = 0;  // fill on the left of the direction of travel
  uint16_t fill1 = 0;  // fill on the right
  uint16_t line = 0;
};

struct StyleGroup {
  std::vector<FillStyle> fills;
  std::vector<LineStyle> lines;
  std::vector<Edge> edges;  // in record order: a stroke continues while one edge's `to` is the next's `from`
};

struct Shape {
  Rect bounds;      // with strokes
  Rect edgeBounds;  // without strokes (DefineShape4), else = bounds
  bool nonZeroWinding = false;  // DefineShape4 UsesFillWindingRule
  bool usesNonScalingStrokes = false;
  bool usesScalingStrokes = false;
  std::vector<StyleGroup> groups;
};

}  // namespace vorlo::player
