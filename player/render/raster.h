// The scanline machinery under drawShape: outlines in surface pixels go into AGG's compound
// rasterizer (each edge names the style on either side), and every scanline is painted with the
// exact-area coverage it yields.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "player/render/paint.h"

namespace vorlo::player::render {

// A polygon outline in surface pixels with the style on its left and right (-1 for none).
// A single-style outline (strokes) skips the compound bookkeeping: styles() is ignored and
// everything is style 0.
class Outline {
 public:
  Outline(IntRect clip, bool nonZero, bool singleStyle = false);
  ~Outline();
  Outline(const Outline&) = delete;
  Outline& operator=(const Outline&) = delete;

  void styles(int left, int right);
  void moveTo(Point p);
  void lineTo(Point p);
  // A closed polygon with the style inside, turned so that its area is positive (under the
  // nonzero rule, polygons that turn the same way unite).
  void polygon(const Point* pts, int n, int style);

  // Paints every scanline: `paintFor(style)` gives the paint of a style index (null: skip).
  // Where styles share a pixel their coverages add up to at most one pixel, so edges shared by
  // two fills leave no seam.
  void render(Surface& target, Quality quality, const std::function<const Paint*(int)>& paintFor);

  struct Impl;  // AGG's rasterizer, pooled per thread

 private:
  Impl* impl_;
};

// Quadratic curve flattening: appends points after `from` (not including it) up to `to`.
void flattenQuad(Point from, Point control, Point to, double tolerance, std::vector<Point>& out);

// Safe surface coordinates: non-finite input is flagged, huge values are pulled in.
bool finitePoint(Point p);
Point clampPoint(Point p);

// Turns one polyline (surface pixels) into the outline of a stroke of half-width `half`: one
// polygon round an open path (left side out, right side back, caps at the ends), two loops for
// a closed one. Inner corners pass through the vertex, so the nonzero rule fills them whole.
struct StrokeStyle {
  double half = 0.5;
  CapStyle startCap = CapStyle::Round, endCap = CapStyle::Round;
  JoinStyle join = JoinStyle::Round;
  double miterLimit = 3;
  double tolerance = 0.1;
};
void strokePolyline(const std::vector<Point>& pts, bool closed, const StrokeStyle& style,
                    Outline& out, int styleIndex);

}  // namespace vorlo::player::render
