// The display filters on a premultiplied layer. Blurs are box blurs repeated `passes` times (a
// few passes approach a Gaussian, which is how Flash's quality setting works; beyond three, three
// wider boxes stand in for them). Shadows, glows and
// bevels are built from the layer's blurred alpha: an effect picture E that is then put under the
// object (outer), on the object where it has alpha (inner), over it (full), or alone (knockout,
// hidden object).
#include <cmath>
#include <cstring>

#include "player/render/paint.h"
#include "player/render/pixel.h"
#include "player/render/renderer.h"

namespace vorlo::player {
namespace {

// No filter reaches further than this (per side and axis), however large its blur: the layer
// the display list allocates for it stays bounded.
constexpr int kMaxReach = 2048;

// A blur as box passes per axis. Blurs asking for more than three passes take three boxes with the
// same spread (variance) instead: three boxes are already close to a Gaussian, so the picture
// hardly changes, and a blur never costs more than three passes whatever the movie asks.
constexpr int kMaxBoxPasses = 3;
struct Blur {
  int passes = 0;                 // as asked (the reach is reckoned from it)
  int rx = 0, ry = 0;             // the asked radius per pass
  int boxesX[kMaxBoxPasses] = {}, boxesY[kMaxBoxPasses] = {};  // radii of the passes done
  int countX = 0, countY = 0;
};

// Radii of at most three boxes whose variance adds up to that of `passes` boxes of radius r (a box
// of radius k has variance k(k + 1) / 3): k or k + 1 each, the nearest total.
int boxesFor(int r, int passes, int* out) {
  if (r <= 0 || passes <= 0) return 0;
  if (passes <= kMaxBoxPasses) {
    for (int i = 0; i < passes; ++i) out[i] = r;
    return passes;
  }
  double target = double(passes) * r * (r + 1);  // 3 x the variance
  int k = int(std::floor((-1 + std::sqrt(1 + 4 * target / kMaxBoxPasses)) / 2));
  k = std::max(k, r);
  double best = -1;
  int bestBig = 0;
  for (int big = 0; big <= kMaxBoxPasses; ++big) {
    double v = double(kMaxBoxPasses - big) * k * (k + 1) + double(big) * (k + 1) * (k + 2);
    if (best < 0 || std::fabs(v - target) < best) best = std::fabs(v - target), bestBig = big;
  }
  for (int i = 0; i < kMaxBoxPasses; ++i) out[i] = i < bestBig ? k + 1 : k;
  return kMaxBoxPasses;
}

// The box radius per pass from a blur size: a box `blur` pixels wide. Blur sizes are stage pixels
// before the stage is scaled to the screen: the reference player draws a movie zoomed to twice its
// size with the same boxes as at its own size (only the offsets of shadows and bevels scale).
Blur blurOf(const Filter& f, Quality q) {
  Blur b;
  b.passes = std::clamp(f.passes, 0, 31);
  if (q == Quality::Low) b.passes = std::min(b.passes, 1);
  if (b.passes == 0) return b;
  auto radius = [&](double size) {
    if (!(size >= 0)) return 0;
    return int(std::min(size / 2, double(kMaxReach / b.passes)));
  };
  b.rx = radius(f.blurX);
  b.ry = radius(f.blurY);
  b.countX = boxesFor(b.rx, b.passes, b.boxesX);
  b.countY = boxesFor(b.ry, b.passes, b.boxesY);
  return b;
}

// The effect's offset in whole pixels (angle and distance, scaled like the object).
void offsetOf(const Filter& f, double sx, double sy, int& dx, int& dy) {
  double ox = std::cos(f.angle) * f.distance * sx, oy = std::sin(f.angle) * f.distance * sy;
  auto whole = [](double v) {
    if (!std::isfinite(v)) return 0;
    return int(std::lround(std::clamp(v, -double(kMaxReach), double(kMaxReach))));
  };
  dx = whole(ox), dy = whole(oy);
}

// round(x / d) as a multiply and shift: exact for d >= 3 and x < 2^20 (the error of the
// reciprocal stays below 1/d).
struct Divider {
  uint32_t m = 0, half = 0;
  explicit Divider(uint32_t d) : m(uint32_t((uint64_t(1) << 33) / d + 1)), half(d / 2) {}
  uint32_t operator()(uint32_t x) const { return uint32_t((uint64_t(x + half) * m) >> 33); }
};

// Box blurs of `C` channels of 8 bits packed in a T (uint8_t: one plane; uint32_t: the four
// channels of a pixel); outside the plane is zero. Each pass is a running sum, so its cost does
// not depend on the radius; columns are summed a row at a time to walk memory in order.
template <class T, int C>
struct BoxBlur {
  // Sums per channel: add or take away a value's channels, or pack the rounded averages.
  static void add(uint32_t* s, T v) {
    if constexpr (C == 1) {
      s[0] += v;
    } else {
      s[0] += v & 0xFF, s[1] += (v >> 8) & 0xFF, s[2] += (v >> 16) & 0xFF, s[3] += v >> 24;
    }
  }
  static void sub(uint32_t* s, T v) {
    if constexpr (C == 1) {
      s[0] -= v;
    } else {
      s[0] -= v & 0xFF, s[1] -= (v >> 8) & 0xFF, s[2] -= (v >> 16) & 0xFF, s[3] -= v >> 24;
    }
  }
  static T average(const uint32_t* s, const Divider& div) {
    if constexpr (C == 1) {
      return T(div(s[0]));
    } else {
      return T(div(s[0]) | div(s[1]) << 8 | div(s[2]) << 16 | div(s[3]) << 24);
    }
  }

  static void rows(T* data, int w, int h, int r, std::vector<T>& tmp) {
    const Divider div(uint32_t(2 * r + 1));
    tmp.resize(size_t(w));
    const T* src = tmp.data();
    for (int y = 0; y < h; ++y) {
      T* row = data + size_t(y) * size_t(w);
      std::copy(row, row + w, tmp.begin());
      uint32_t sum[C] = {};
      int lead = std::min(r, w - 1);
      for (int i = 0; i <= lead; ++i) add(sum, src[i]);
      // Three stretches: the box's right end inside and its left end outside, both inside, the
      // right end outside.
      int i = 0;
      for (; i < w && i - r < 0; ++i) {
        row[i] = average(sum, div);
        if (i + r + 1 < w) add(sum, src[i + r + 1]);
      }
      for (; i + r + 1 < w; ++i) {
        row[i] = average(sum, div);
        add(sum, src[i + r + 1]);
        sub(sum, src[i - r]);
      }
      for (; i < w; ++i) {
        row[i] = average(sum, div);
        sub(sum, src[i - r]);
      }
    }
  }

  static void columns(T* data, int w, int h, int r, std::vector<T>& src, std::vector<uint32_t>& sums) {
    const Divider div(uint32_t(2 * r + 1));
    size_t n = size_t(w) * size_t(h);
    src.assign(data, data + n);
    sums.assign(size_t(w) * C, 0);
    uint32_t* s = sums.data();
    auto rowOf = [&](int y) { return src.data() + size_t(y) * size_t(w); };
    for (int y = 0; y <= std::min(r, h - 1); ++y) {
      const T* in = rowOf(y);
      for (int x = 0; x < w; ++x) add(s + size_t(x) * C, in[x]);
    }
    for (int y = 0; y < h; ++y) {
      T* row = data + size_t(y) * size_t(w);
      for (int x = 0; x < w; ++x) row[x] = average(s + size_t(x) * C, div);
      if (y + r + 1 < h) {
        const T* in = rowOf(y + r + 1);
        for (int x = 0; x < w; ++x) add(s + size_t(x) * C, in[x]);
      }
      if (y - r >= 0) {
        const T* out = rowOf(y - r);
        for (int x = 0; x < w; ++x) sub(s + size_t(x) * C, out[x]);
      }
    }
  }

  // The passes in turn, each across then down.
  static void apply(std::vector<T>& plane, int w, int h, const Blur& b) {
    std::vector<T> tmp;
    std::vector<uint32_t> sums;
    for (int p = 0; p < std::max(b.countX, b.countY); ++p) {
      if (p < b.countX) rows(plane.data(), w, h, b.boxesX[p], tmp);
      if (p < b.countY) columns(plane.data(), w, h, b.boxesY[p], tmp, sums);
    }
  }
};

void blurPlane(std::vector<uint8_t>& plane, int w, int h, const Blur& b) { BoxBlur<uint8_t, 1>::apply(plane, w, h, b); }

std::vector<uint8_t> alphaPlane(const Surface& s, bool inverted) {
  std::vector<uint8_t> a(s.pixels.size());
  for (size_t i = 0; i < a.size(); ++i) a[i] = uint8_t(inverted ? 255 - (s.pixels[i] >> 24) : s.pixels[i] >> 24);
  return a;
}

// plane(x - dx, y - dy), with `outside` beyond the edges.
inline uint8_t shifted(const std::vector<uint8_t>& plane, int w, int h, int x, int y, int dx, int dy,
                       uint8_t outside) {
  int sx = x - dx, sy = y - dy;
  if (sx < 0 || sy < 0 || sx >= w || sy >= h) return outside;
  return plane[size_t(sy) * size_t(w) + size_t(sx)];
}

inline uint32_t strengthen(uint32_t v, double strength) {
  double s = v * strength;
  if (!(s > 0)) return 0;
  return s >= 255 ? 255 : uint32_t(s + 0.5);
}

enum class Placement { Outer, Inner, Full };

// Puts the effect picture E together with the object in `layer`.
void compose(Surface& layer, const std::vector<uint32_t>& effect, Placement where, bool knockout, bool hideObject) {
  for (size_t i = 0; i < layer.pixels.size(); ++i) {
    uint32_t src = layer.pixels[i], e = effect[i], sa = src >> 24;
    uint32_t out;
    switch (where) {
      case Placement::Inner:
        if (knockout || hideObject)
          out = px::scale(e, sa);
        else  // on the object only, its alpha unchanged
          out = px::scale(e, sa) + px::scale(src, 255 - (e >> 24));
        break;
      case Placement::Outer:
        if (knockout)
          out = px::scale(e, 255 - sa);
        else if (hideObject)
          out = e;
        else
          out = px::over(e, src);
        break;
      default:
        out = knockout || hideObject ? e : px::over(src, e);
    }
    layer.pixels[i] = out;
  }
}

// Drop shadow, glow, gradient glow: the (inverted, for inner) alpha blurred, moved, strengthened
// and coloured through `color(level)`.
template <class ColorOf>
void shadowLike(Surface& layer, const Filter& f, double sx, double sy, Quality q, int dx, int dy, ColorOf color) {
  int w = layer.width, h = layer.height;
  std::vector<uint8_t> plane = alphaPlane(layer, f.inner);
  blurPlane(plane, w, h, blurOf(f, q));
  std::vector<uint32_t> effect(layer.pixels.size());
  uint8_t outside = f.inner ? 255 : 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      effect[size_t(y) * size_t(w) + size_t(x)] = color(strengthen(shifted(plane, w, h, x, y, dx, dy, outside), f.strength));
  compose(layer, effect, f.inner ? Placement::Inner : Placement::Outer, f.knockout, !f.compositeSource);
}

// Bevels: light from the side the angle points away from. v = B(p + d) - B(p - d) on the
// blurred alpha B is positive on the lit side (highlight), negative on the other (shadow).
template <class ColorOf>
void bevelLike(Surface& layer, const Filter& f, double sx, double sy, Quality q, int dx, int dy, ColorOf color) {
  int w = layer.width, h = layer.height;
  std::vector<uint8_t> plane = alphaPlane(layer, false);
  blurPlane(plane, w, h, blurOf(f, q));
  std::vector<uint32_t> effect(layer.pixels.size());
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int lit = shifted(plane, w, h, x, y, -dx, -dy, 0), dark = shifted(plane, w, h, x, y, dx, dy, 0);
      int v = lit - dark;
      int s = int(strengthen(uint32_t(std::abs(v)), f.strength));
      effect[size_t(y) * size_t(w) + size_t(x)] = color(v >= 0 ? s : -s);
    }
  Placement where = f.onTop ? Placement::Full : f.inner ? Placement::Inner : Placement::Outer;
  compose(layer, effect, where, f.knockout, !f.compositeSource);
}

uint32_t tinted(Rgba c, uint32_t level) {
  Rgba t = c;
  t.a = uint8_t(px::div255(uint32_t(c.a) * level));
  return px::premultiplied(t);
}

void convolution(Surface& layer, const Filter& f) {
  int mx = f.matrixX, my = f.matrixY;
  if (mx <= 0 || my <= 0 || mx > 31 || my > 31 || f.matrix.size() < size_t(mx) * size_t(my)) return;
  int w = layer.width, h = layer.height;
  double div = f.divisor != 0 && std::isfinite(f.divisor) ? f.divisor : 1;
  double bias = std::isfinite(f.bias) ? f.bias : 0;
  std::vector<Rgba> src(layer.pixels.size());
  for (size_t i = 0; i < src.size(); ++i) src[i] = px::straight(layer.pixels[i]);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int j = 0; j < my; ++j)
        for (int i = 0; i < mx; ++i) {
          int sx = x + i - mx / 2, sy = y + j - my / 2;
          Rgba c;
          if (sx >= 0 && sy >= 0 && sx < w && sy < h)
            c = src[size_t(sy) * size_t(w) + size_t(sx)];
          else if (f.clamp)
            c = src[size_t(std::clamp(sy, 0, h - 1)) * size_t(w) + size_t(std::clamp(sx, 0, w - 1))];
          else
            c = f.defaultColor;
          double m = f.matrix[size_t(j) * size_t(mx) + size_t(i)];
          r += m * c.r, g += m * c.g, b += m * c.b, a += m * c.a;
        }
      auto out = [&](double v) {
        v = v / div + bias;
        return uint8_t(!(v > 0) ? 0 : v >= 255 ? 255 : int(v + 0.5));
      };
      Rgba o{out(r), out(g), out(b), f.preserveAlpha ? src[size_t(y) * size_t(w) + size_t(x)].a : out(a)};
      layer.pixels[size_t(y) * size_t(w) + size_t(x)] = px::premultiplied(o);
    }
}

void colorMatrix(Surface& layer, const Filter& f) {
  const auto& m = f.colorMatrix;
  for (float v : m)
    if (!std::isfinite(v)) return;
  for (uint32_t& p : layer.pixels) {
    Rgba c = px::straight(p);
    auto row = [&](int k) {
      double v = m[size_t(k * 5)] * c.r + m[size_t(k * 5 + 1)] * c.g + m[size_t(k * 5 + 2)] * c.b +
                 m[size_t(k * 5 + 3)] * c.a + m[size_t(k * 5 + 4)];
      return uint8_t(!(v > 0) ? 0 : v >= 255 ? 255 : int(v + 0.5));
    };
    p = px::premultiplied({row(0), row(1), row(2), row(3)});
  }
}

}  // namespace

IntRect filterReach(const Filter& f, double scaleX, double scaleY) {
  IntRect r;
  if (f.kind == FilterKind::Convolution || f.kind == FilterKind::ColorMatrix) return r;
  Blur b = blurOf(f, Quality::High);
  int bx = b.rx * b.passes, by = b.ry * b.passes;
  r = {bx, by, bx, by};
  if (f.kind == FilterKind::Blur) return r;
  int dx = 0, dy = 0;
  offsetOf(f, scaleX, scaleY, dx, dy);
  if (f.kind == FilterKind::Bevel || f.kind == FilterKind::GradientBevel) {
    // Both sides move: the highlight one way, the shadow the other.
    r.x0 += std::abs(dx), r.x1 += std::abs(dx), r.y0 += std::abs(dy), r.y1 += std::abs(dy);
  } else {
    r.x0 += std::max(0, -dx), r.x1 += std::max(0, dx), r.y0 += std::max(0, -dy), r.y1 += std::max(0, dy);
  }
  auto cap = [](int& v) { v = std::min(v, 2 * kMaxReach); };
  cap(r.x0), cap(r.y0), cap(r.x1), cap(r.y1);
  return r;
}

int64_t filterWork(const Filter& f, int width, int height) {
  int64_t passes = 1;
  if (f.kind == FilterKind::Convolution)
    passes = std::clamp(f.matrixX, 1, 31) * int64_t(std::clamp(f.matrixY, 1, 31));
  else if (f.kind != FilterKind::ColorMatrix)
    passes = std::clamp(f.passes, 0, kMaxBoxPasses) + (f.kind == FilterKind::Blur ? 0 : 4);  // + effect
  return int64_t(std::max(width, 0)) * std::max(height, 0) * std::max<int64_t>(passes, 1);
}

void applyFilter(Surface& layer, const Filter& f, double sx, double sy, Quality quality) {
  if (layer.width <= 0 || layer.height <= 0 || layer.pixels.size() < size_t(layer.width) * size_t(layer.height))
    return;
  if (!std::isfinite(sx) || !std::isfinite(sy)) return;
  int dx = 0, dy = 0;
  offsetOf(f, sx, sy, dx, dy);
  switch (f.kind) {
    case FilterKind::Blur: {
      int w = layer.width, h = layer.height;
      Blur b = blurOf(f, quality);
      if (b.countX == 0 && b.countY == 0) return;
      // Each channel of the premultiplied pixels separately, all four in one sweep: colour never
      // exceeds alpha after.
      BoxBlur<uint32_t, 4>::apply(layer.pixels, w, h, b);
      return;
    }
    case FilterKind::DropShadow:
      return shadowLike(layer, f, sx, sy, quality, dx, dy, [&](uint32_t v) { return tinted(f.color, v); });
    case FilterKind::Glow:
      return shadowLike(layer, f, sx, sy, quality, 0, 0, [&](uint32_t v) { return tinted(f.color, v); });
    case FilterKind::GradientGlow: {
      render::GradientTable table;
      render::buildGradientTable(f.stops, InterpolationMode::Normal, ColorTransform{}, table);
      return shadowLike(layer, f, sx, sy, quality, dx, dy, [&](uint32_t v) { return table[v]; });
    }
    case FilterKind::Bevel:
      return bevelLike(layer, f, sx, sy, quality, dx, dy,
                       [&](int v) { return v >= 0 ? tinted(f.highlight, uint32_t(v)) : tinted(f.color, uint32_t(-v)); });
    case FilterKind::GradientBevel: {
      // The gradient runs from the shadow side (ratio 0) through the flat middle (128) to the
      // highlight (255).
      render::GradientTable table;
      render::buildGradientTable(f.stops, InterpolationMode::Normal, ColorTransform{}, table);
      return bevelLike(layer, f, sx, sy, quality, dx, dy,
                       [&](int v) { return table[size_t(std::clamp(128 + v * 128 / 255, 0, 255))]; });
    }
    case FilterKind::Convolution:
      return convolution(layer, f);
    case FilterKind::ColorMatrix:
      return colorMatrix(layer, f);
  }
}

}  // namespace vorlo::player
