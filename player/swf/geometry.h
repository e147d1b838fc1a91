// Geometry and colour types shared by the movie reader, the display list and the renderer.
// Coordinates in movie definitions are twips (1/20 pixel); a Matrix maps one space to another.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vorlo::player {

struct Point {
  double x = 0, y = 0;
};

// Axis-aligned rectangle; empty when xMin > xMax.
struct Rect {
  double xMin = 0, yMin = 0, xMax = -1, yMax = -1;
  bool empty() const { return xMin > xMax || yMin > yMax; }
  void include(Point p) {
    if (empty()) {
      xMin = xMax = p.x;
      yMin = yMax = p.y;
      return;
    }
    xMin = std::min(xMin, p.x);
    yMin = std::min(yMin, p.y);
    xMax = std::max(xMax, p.x);
    yMax = std::max(yMax, p.y);
  }
  void include(const Rect& r) {
    if (r.empty()) return;
    include(Point{r.xMin, r.yMin});
    include(Point{r.xMax, r.yMax});
  }
};

// The movie's affine matrix: x' = a*x + c*y + tx, y' = b*x + d*y + ty.
// (a = ScaleX, b = RotateSkew0, c = RotateSkew1, d = ScaleY; tx, ty in the target space's units.)
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

  Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
  Point applyVector(Point p) const { return {a * p.x + c * p.y, b * p.x + d * p.y}; }
  // (*this) after `inner`: first inner, then this.
  Matrix operator*(const Matrix& inner) const {
    return {a * inner.a + c * inner.b,      b * inner.a + d * inner.b,
            a * inner.c + c * inner.d,      b * inner.c + d * inner.d,
            a * inner.tx + c * inner.ty + tx, b * inner.tx + d * inner.ty + ty};
  }
  double determinant() const { return a * d - b * c; }
  // The inverse, or false for a singular matrix (then `out` is untouched).
  bool invert(Matrix& out) const {
    double det = determinant();
    if (det == 0 || !std::isfinite(det)) return false;
    double ia = d / det, ib = -b / det, ic = -c / det, id = a / det;
    out = {ia, ib, ic, id, -(ia * tx + ic * ty), -(ib * tx + id * ty)};
    return true;
  }
  Rect apply(const Rect& r) const {
    Rect out;
    if (r.empty()) return out;
    out.include(apply(Point{r.xMin, r.yMin}));
    out.include(apply(Point{r.xMax, r.yMin}));
    out.include(apply(Point{r.xMin, r.yMax}));
    out.include(apply(Point{r.xMax, r.yMax}));
    return out;
  }
  static Matrix translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Matrix scale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
};

// Straight (not premultiplied) colour with alpha, as movies store it.
struct Rgba {
  uint8_t r = 0, g = 0, b = 0, a = 255;
  bool operator==(const Rgba&) const = default;
};

// The movie's colour transform: c' = clamp(c * mult / 256 + add), per channel, on straight colour.
struct ColorTransform {
  int32_t rMult = 256, gMult = 256, bMult = 256, aMult = 256;
  int32_t rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;

  bool isIdentity() const {
    return rMult == 256 && gMult == 256 && bMult == 256 && aMult == 256 && rAdd == 0 && gAdd == 0 &&
           bAdd == 0 && aAdd == 0;
  }
  Rgba apply(Rgba c) const {
    auto ch = [](int v, int mult, int add) {
      return uint8_t(std::clamp((v * mult >> 8) + add, 0, 255));
    };
    return {ch(c.r, rMult, rAdd), ch(c.g, gMult, gAdd), ch(c.b, bMult, bAdd), ch(c.a, aMult, aAdd)};
  }
  // (*this) after `inner`: the colour is transformed by inner first.
  ColorTransform operator*(const ColorTransform& inner) const {
    ColorTransform o;
    o.rMult = rMult * inner.rMult >> 8;
    o.gMult = gMult * inner.gMult >> 8;
    o.bMult = bMult * inner.bMult >> 8;
    o.aMult = aMult * inner.aMult >> 8;
    o.rAdd = (inner.rAdd * rMult >> 8) + rAdd;
    o.gAdd = (inner.gAdd * gMult >> 8) + gAdd;
    o.bAdd = (inner.bAdd * bMult >> 8) + bAdd;
    o.aAdd = (inner.aAdd * aMult >> 8) + aAdd;
    return o;
  }
};

}  // namespace vorlo::player
