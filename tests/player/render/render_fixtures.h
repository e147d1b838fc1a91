// Small builders for the renderer's tests: shapes written in pixels (stored as twips, as movies
// store them), drawn onto a surface through a 1/20 matrix.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "player/render/renderer.h"

namespace vorlo::player::test {

inline Point twips(Point p) { return {p.x * 20, p.y * 20}; }

struct ShapeBuilder {
  Shape shape;
  ShapeBuilder() { shape.groups.emplace_back(); }
  StyleGroup& group() { return shape.groups.back(); }
  void newGroup() { shape.groups.emplace_back(); }

  uint16_t fill(const FillStyle& f) {
    group().fills.push_back(f);
    return uint16_t(group().fills.size());
  }
  uint16_t solid(Rgba c) {
    FillStyle f;
    f.color = c;
    return fill(f);
  }
  uint16_t line(const LineStyle& l) {
    group().lines.push_back(l);
    return uint16_t(group().lines.size());
  }
  // Straight edges through the points (pixels); closed back to the first when `close`.
  ShapeBuilder& path(std::initializer_list<Point> pts, uint16_t fill0, uint16_t fill1, uint16_t line = 0,
                     bool close = true) {
    std::vector<Point> v(pts);
    size_t n = close ? v.size() : v.size() - 1;
    for (size_t i = 0; i < n; ++i) {
      Edge e;
      e.from = twips(v[i]);
      e.to = twips(v[(i + 1) % v.size()]);
      e.fill0 = fill0, e.fill1 = fill1, e.line = line;
      group().edges.push_back(e);
    }
    return *this;
  }
  ShapeBuilder& rect(double x0, double y0, double x1, double y1, uint16_t fill, uint16_t line = 0) {
    // Clockwise on screen: the inside is on the right of travel.
    return path({{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}, 0, fill, line);
  }
  ShapeBuilder& curve(Point from, Point control, Point to, uint16_t fill0, uint16_t fill1, uint16_t line = 0) {
    Edge e;
    e.from = twips(from), e.control = twips(control), e.to = twips(to);
    e.curved = true;
    e.fill0 = fill0, e.fill1 = fill1, e.line = line;
    group().edges.push_back(e);
    return *this;
  }
};

inline ShapeDraw pixelsDraw() {
  ShapeDraw how;
  how.toPixels = Matrix::scale(1.0 / 20, 1.0 / 20);
  return how;
}

inline Surface draw(const Shape& s, int w, int h, ShapeDraw how = pixelsDraw(), uint32_t background = 0) {
  Surface out(w, h, background);
  drawShape(out, s, how);
  return out;
}

inline int alphaOf(uint32_t p) { return int(p >> 24); }
inline int redOf(uint32_t p) { return int((p >> 16) & 0xFF); }
inline int greenOf(uint32_t p) { return int((p >> 8) & 0xFF); }
inline int blueOf(uint32_t p) { return int(p & 0xFF); }

// Straight colour of a premultiplied pixel (rounded).
inline Rgba px_straight(uint32_t p) {
  int a = alphaOf(p);
  if (a == 0) return {0, 0, 0, 0};
  auto un = [a](int v) { return uint8_t(std::min(255, (v * 255 + a / 2) / a)); };
  return {un(redOf(p)), un(greenOf(p)), un(blueOf(p)), uint8_t(a)};
}

// Sum of alpha over the surface in pixels (255 = one whole pixel).
inline double coveredArea(const Surface& s) {
  double sum = 0;
  for (uint32_t p : s.pixels) sum += alphaOf(p);
  return sum / 255.0;
}

// Columns / rows where any pixel has alpha of at least `minAlpha`.
inline int paintedWidthAtRow(const Surface& s, int y, int minAlpha = 128) {
  int n = 0;
  for (int x = 0; x < s.width; ++x) n += alphaOf(s.row(y)[x]) >= minAlpha;
  return n;
}
inline int paintedHeightAtColumn(const Surface& s, int x, int minAlpha = 128) {
  int n = 0;
  for (int y = 0; y < s.height; ++y) n += alphaOf(s.row(y)[x]) >= minAlpha;
  return n;
}

constexpr Rgba kRed{255, 0, 0, 255};
constexpr Rgba kGreen{0, 255, 0, 255};
constexpr Rgba kBlue{0, 0, 255, 255};
constexpr Rgba kWhite{255, 255, 255, 255};
constexpr Rgba kBlack{0, 0, 0, 255};

}  // namespace vorlo::player::test
