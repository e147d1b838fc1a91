#include "player/render/paint.h"

#include <cmath>
#include <cstring>

#include "player/render/pixel.h"

namespace vorlo::player::render {
namespace {

// sRGB <-> linear light, for gradients interpolated in linear RGB. Tables are built once; the
// encoding table is fine enough (4096 steps) that every 8-bit result is the correctly rounded one
// of its neighbourhood.
struct LinearTables {
  std::array<float, 256> toLinear{};
  std::array<uint8_t, 4097> toSrgb{};
  LinearTables() {
    for (int i = 0; i < 256; ++i) {
      double c = i / 255.0;
      toLinear[size_t(i)] = float(c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4));
    }
    for (int i = 0; i <= 4096; ++i) {
      double l = i / 4096.0;
      double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
      toSrgb[size_t(i)] = uint8_t(std::clamp(int(c * 255 + 0.5), 0, 255));
    }
  }
};
const LinearTables& linearTables() {
  static const LinearTables tables;
  return tables;
}

// Table index (0..255) for a position in 1/256 of the gradient under each spread mode.
template <SpreadMode S>
inline int spreadOf(int i) {
  if constexpr (S == SpreadMode::Repeat) {
    return i & 255;
  } else if constexpr (S == SpreadMode::Reflect) {
    i &= 511;
    return i > 255 ? 511 - i : i;
  } else {
    return i < 0 ? 0 : i > 255 ? 255 : i;
  }
}

// Position t in units of the gradient's length -> table index; NaN and huge values land on a
// defined index.
template <SpreadMode S>
inline int spreadIndex(double t) {
  if (!(t > -1e6 && t < 1e6)) t = 0;
  return spreadOf<S>(int(std::floor(t * 256.0)));
}

template <SpreadMode S>
void linearRun(double t0, double dt, int len, const GradientTable& table, uint32_t* out) {
  double t1 = t0 + dt * len;
  if (t0 > -64 && t0 < 64 && t1 > -64 && t1 < 64) {
    // Fixed point (16 fraction bits of a table step) along the row: exact integers, same bits
    // in every build.
    int32_t pos = int32_t(std::floor(t0 * 256.0 * 65536.0));
    int32_t step = int32_t(std::floor(dt * 256.0 * 65536.0 + 0.5));
    for (int i = 0; i < len; ++i, pos += step) out[i] = table[size_t(spreadOf<S>(pos >> 16))];
    return;
  }
  for (int i = 0; i < len; ++i) out[i] = table[size_t(spreadIndex<S>(t0 + dt * i))];
}

template <SpreadMode S>
void radialRun(double gx, double gy, double ax, double ay, int len, const GradientTable& table, uint32_t* out) {
  for (int i = 0; i < len; ++i) {
    double u = gx + ax * i, v = gy + ay * i;
    out[i] = table[size_t(spreadIndex<S>(std::sqrt(u * u + v * v)))];
  }
}

template <SpreadMode S>
void focalRun(double gx, double gy, double ax, double ay, double f, int len, const GradientTable& table,
              uint32_t* out) {
  // The focus F sits on the x axis; a point P lies at t = |P - F| / |Q - F| where Q is where the
  // ray from F through P leaves the unit circle.
  double c = f * f - 1;  // |F|^2 - 1 < 0
  for (int i = 0; i < len; ++i) {
    double dx = gx + ax * i - f, dy = gy + ay * i;
    double dd = dx * dx + dy * dy;
    double t = 0;
    if (dd > 0) {
      double fd = f * dx;
      double s = (-fd + std::sqrt(fd * fd - dd * c)) / dd;  // F + s*d is on the circle
      t = 1 / s;
    }
    out[i] = table[size_t(spreadIndex<S>(t))];
  }
}

template <template <SpreadMode> class Run, class... Args>
void bySpread(SpreadMode s, Args&&... args) {
  switch (s) {
    case SpreadMode::Repeat:
      return Run<SpreadMode::Repeat>::go(args...);
    case SpreadMode::Reflect:
      return Run<SpreadMode::Reflect>::go(args...);
    default:
      return Run<SpreadMode::Pad>::go(args...);
  }
}
template <SpreadMode S>
struct LinearRun {
  template <class... A>
  static void go(A&&... a) { linearRun<S>(a...); }
};
template <SpreadMode S>
struct RadialRun {
  template <class... A>
  static void go(A&&... a) { radialRun<S>(a...); }
};
template <SpreadMode S>
struct FocalRun {
  template <class... A>
  static void go(A&&... a) { focalRun<S>(a...); }
};

inline int clampInt(double v) {
  if (!(v > -1e9)) return -1000000000;
  if (v > 1e9) return 1000000000;
  return int(std::floor(v));
}

}  // namespace

void buildGradientTable(const std::vector<GradientStop>& stops, InterpolationMode mode,
                        const ColorTransform& cx, GradientTable& out) {
  if (stops.empty()) {
    out.fill(0);
    return;
  }
  size_t n = std::min<size_t>(stops.size(), 15);
  std::array<Rgba, 15> colors{};
  std::array<int, 15> ratios{};
  int last = 0;
  for (size_t i = 0; i < n; ++i) {
    colors[i] = cx.apply(stops[i].color);
    last = std::max(last, int(stops[i].ratio));  // ratios out of order are taken as non-decreasing
    ratios[i] = last;
  }
  const LinearTables* lin = mode == InterpolationMode::LinearRgb ? &linearTables() : nullptr;
  // Entries up to the first stop and after the last take their colours; between two stops the
  // channels mix with 16.16 fixed-point weights.
  auto put = [&](int i, Rgba c) { out[size_t(i)] = px::premultiplied(c); };
  int i = 0;
  for (; i <= ratios[0] && i < 256; ++i) put(i, colors[0]);
  for (size_t seg = 1; seg < n; ++seg) {
    const Rgba& c0 = colors[seg - 1];
    const Rgba& c1 = colors[seg];
    int r0 = ratios[seg - 1], span = ratios[seg] - r0;
    if (span <= 0) continue;
    if (lin) {
      for (; i <= ratios[seg]; ++i) {
        int w = (i - r0) * 65536 / span;  // weight of c1, 16.16
        auto mixl = [&](uint8_t a, uint8_t b) {
          float l = lin->toLinear[a] + (lin->toLinear[b] - lin->toLinear[a]) * float(w) / 65536.0f;
          return lin->toSrgb[size_t(std::clamp(int(l * 4096.0f + 0.5f), 0, 4096))];
        };
        put(i, {mixl(c0.r, c1.r), mixl(c0.g, c1.g), mixl(c0.b, c1.b),
                uint8_t((c0.a * (65536 - w) + c1.a * w + 32768) >> 16)});
      }
      continue;
    }
    for (; i <= ratios[seg]; ++i) {
      int w = (i - r0) * 65536 / span;
      auto mix = [&](int a, int b) { return uint8_t((a * (65536 - w) + b * w + 32768) >> 16); };
      put(i, {mix(c0.r, c1.r), mix(c0.g, c1.g), mix(c0.b, c1.b), mix(c0.a, c1.a)});
    }
  }
  for (; i < 256; ++i) put(i, colors[n - 1]);
  // Stops that share a ratio each show as a band one step wide after it: the first ends the
  // segment before (at the ratio itself), the middle ones follow one a step, and the last starts
  // the segment after (which keeps its own start). This is how the reference player draws them.
  for (size_t first = 0; first < n;) {
    size_t last = first;
    while (last + 1 < n && ratios[last + 1] == ratios[first]) ++last;
    for (size_t k = first + 1; k < last; ++k) {
      int at = ratios[first] + int(k - first);
      if (at < 256) put(at, colors[k]);
    }
    first = last + 1;
  }
}

namespace {

// Movies draw the same shapes frame after frame, so gradient tables are kept: a small
// direct-mapped cache per thread, keyed by everything a table depends on and checked in full on
// a hit.
struct TableKey {
  std::array<GradientStop, 15> stops{};
  uint8_t count = 0;
  InterpolationMode mode = InterpolationMode::Normal;
  ColorTransform cx;
  bool operator==(const TableKey& o) const {
    if (count != o.count || mode != o.mode || std::memcmp(&cx, &o.cx, sizeof cx) != 0) return false;
    for (size_t i = 0; i < count; ++i)
      if (stops[i].ratio != o.stops[i].ratio || !(stops[i].color == o.stops[i].color)) return false;
    return true;
  }
};

struct TableCache {
  static constexpr size_t kSlots = 1024;  // about 1.1 MB
  struct Slot {
    bool used = false;
    TableKey key;
    GradientTable table;
  };
  std::vector<Slot> slots{kSlots};
};

void cachedGradientTable(const std::vector<GradientStop>& stops, InterpolationMode mode, const ColorTransform& cx,
                         GradientTable& out) {
  thread_local TableCache cache;
  TableKey key;
  key.count = uint8_t(std::min<size_t>(stops.size(), 15));
  key.mode = mode;
  key.cx = cx;
  uint32_t h = 2166136261u ^ uint32_t(mode);
  auto mix = [&](uint32_t v) { h = (h ^ v) * 16777619u; };
  for (size_t i = 0; i < key.count; ++i) {
    key.stops[i] = stops[i];
    const Rgba& c = stops[i].color;
    mix(uint32_t(stops[i].ratio) | uint32_t(c.r) << 8 | uint32_t(c.g) << 16 | uint32_t(c.b) << 24);
    mix(c.a);
  }
  for (int32_t v : {cx.rMult, cx.gMult, cx.bMult, cx.aMult, cx.rAdd, cx.gAdd, cx.bAdd, cx.aAdd}) mix(uint32_t(v));
  TableCache::Slot& slot = cache.slots[(h ^ (h >> 16)) % TableCache::kSlots];
  if (slot.used && slot.key == key) {
    out = slot.table;
    return;
  }
  buildGradientTable(stops, mode, cx, out);
  slot.used = true;
  slot.key = key;
  slot.table = out;
}

}  // namespace

void makeSolidPaint(Paint& p, Rgba color, const ColorTransform& cx) {
  p.kind = Paint::Kind::Solid;
  p.color = px::premultiplied(cx.apply(color));
  p.opaque = (p.color >> 24) == 255;
}

void makePaint(Paint& p, const FillStyle& style, const ShapeDraw& how) {
  p = Paint{};
  if (how.solidColor) return makeSolidPaint(p, *how.solidColor, how.colorTransform);
  switch (style.kind) {
    case FillKind::LinearGradient:
    case FillKind::RadialGradient:
    case FillKind::FocalGradient: {
      const Gradient& g = style.gradient;
      if (g.stops.empty()) return;
      cachedGradientTable(g.stops, g.interpolation, how.colorTransform, p.table);
      // The unit square: gradient space (-16384..16384 twips) scaled to -1..1.
      Matrix toSurface = how.toPixels * g.matrix * Matrix::scale(16384, 16384);
      if (!toSurface.invert(p.inverse)) {
        // A flat gradient shows its last colour, as a pad past its end would.
        p.kind = Paint::Kind::Solid;
        p.color = p.table[255];
        p.opaque = (p.color >> 24) == 255;
        return;
      }
      p.spread = g.spread;
      p.kind = style.kind == FillKind::LinearGradient   ? Paint::Kind::Linear
               : style.kind == FillKind::RadialGradient ? Paint::Kind::Radial
                                                        : Paint::Kind::Focal;
      p.focal = std::isfinite(g.focalPoint) ? std::clamp(g.focalPoint, -0.98, 0.98) : 0.0;
      p.opaque = true;
      for (uint32_t c : p.table) p.opaque = p.opaque && (c >> 24) == 255;
      return;
    }
    case FillKind::RepeatingBitmap:
    case FillKind::ClippedBitmap:
    case FillKind::RepeatingBitmapHard:
    case FillKind::ClippedBitmapHard: {
      const Bitmap* b = how.bitmaps ? how.bitmaps->findBitmap(style.bitmapId) : nullptr;
      if (!b || b->width <= 0 || b->height <= 0 ||
          b->pixels.size() < size_t(b->width) * size_t(b->height))
        return;  // a missing bitmap paints nothing
      Matrix toSurface = how.toPixels * style.bitmapMatrix;
      if (!toSurface.invert(p.inverse)) return;
      p.kind = Paint::Kind::Bitmap;
      p.bitmap = b;
      p.repeat = style.kind == FillKind::RepeatingBitmap || style.kind == FillKind::RepeatingBitmapHard;
      p.smooth = style.smoothed() && how.quality == Quality::High;
      p.cx = how.colorTransform;
      p.cxIdentity = how.colorTransform.isIdentity();
      p.opaque = b->opaque && p.cxIdentity;
      return;
    }
    default:
      return makeSolidPaint(p, style.color, how.colorTransform);
  }
}

namespace {

inline uint32_t transformPixel(uint32_t c, const ColorTransform& cx) {
  return px::premultiplied(cx.apply(px::straight(c)));
}

inline int wrap(int v, int size) {
  int r = v % size;
  return r < 0 ? r + size : r;
}

// Bilinear mix of four premultiplied pixels with 8-bit weights fx, fy.
inline uint32_t bilinear(uint32_t p00, uint32_t p10, uint32_t p01, uint32_t p11, uint32_t fx,
                         uint32_t fy) {
  uint32_t w00 = (256 - fx) * (256 - fy), w10 = fx * (256 - fy), w01 = (256 - fx) * fy, w11 = fx * fy;
  auto ch = [&](int shift) {
    uint32_t v = ((p00 >> shift) & 0xFF) * w00 + ((p10 >> shift) & 0xFF) * w10 +
                 ((p01 >> shift) & 0xFF) * w01 + ((p11 >> shift) & 0xFF) * w11;
    return (v + 32768) >> 16;
  };
  return ch(24) << 24 | ch(16) << 16 | ch(8) << 8 | ch(0);
}

}  // namespace

void Paint::fill(int x, int y, int len, uint32_t* out) const {
  double cx0 = x + 0.5, cy0 = y + 0.5;
  switch (kind) {
    case Kind::None:
      std::fill(out, out + len, 0u);
      return;
    case Kind::Solid:
      std::fill(out, out + len, color);
      return;
    case Kind::Linear: {
      // t = (gx + 1) / 2 moves by a constant step along the row.
      double gx = inverse.a * cx0 + inverse.c * cy0 + inverse.tx;
      bySpread<LinearRun>(spread, (gx + 1) * 0.5, inverse.a * 0.5, len, table, out);
      return;
    }
    case Kind::Radial: {
      double gx = inverse.a * cx0 + inverse.c * cy0 + inverse.tx;
      double gy = inverse.b * cx0 + inverse.d * cy0 + inverse.ty;
      bySpread<RadialRun>(spread, gx, gy, inverse.a, inverse.b, len, table, out);
      return;
    }
    case Kind::Focal: {
      double gx = inverse.a * cx0 + inverse.c * cy0 + inverse.tx;
      double gy = inverse.b * cx0 + inverse.d * cy0 + inverse.ty;
      bySpread<FocalRun>(spread, gx, gy, inverse.a, inverse.b, focal, len, table, out);
      return;
    }
    case Kind::Bitmap: {
      const Bitmap& b = *bitmap;
      int w = b.width, h = b.height;
      double u = inverse.a * cx0 + inverse.c * cy0 + inverse.tx;
      double v = inverse.b * cx0 + inverse.d * cy0 + inverse.ty;
      if (!smooth) {
        for (int i = 0; i < len; ++i) {
          int ix = clampInt(u + inverse.a * i), iy = clampInt(v + inverse.b * i);
          if (repeat) {
            ix = wrap(ix, w);
            iy = wrap(iy, h);
          } else {
            ix = std::clamp(ix, 0, w - 1);
            iy = std::clamp(iy, 0, h - 1);
          }
          out[i] = b.at(ix, iy);
        }
      } else {
        for (int i = 0; i < len; ++i) {
          // Sample centres sit at half pixels; weights in 1/256.
          double su = (u + inverse.a * i - 0.5) * 256, sv = (v + inverse.b * i - 0.5) * 256;
          int fu = clampInt(su), fv = clampInt(sv);
          int x0 = fu >> 8, y0 = fv >> 8;
          uint32_t fx = uint32_t(fu & 255), fy = uint32_t(fv & 255);
          int x1 = x0 + 1, y1 = y0 + 1;
          if (repeat) {
            x0 = wrap(x0, w), x1 = wrap(x1, w), y0 = wrap(y0, h), y1 = wrap(y1, h);
          } else {
            x0 = std::clamp(x0, 0, w - 1), x1 = std::clamp(x1, 0, w - 1);
            y0 = std::clamp(y0, 0, h - 1), y1 = std::clamp(y1, 0, h - 1);
          }
          out[i] = bilinear(b.at(x0, y0), b.at(x1, y0), b.at(x0, y1), b.at(x1, y1), fx, fy);
        }
      }
      if (!cxIdentity)
        for (int i = 0; i < len; ++i) out[i] = transformPixel(out[i], cx);
      return;
    }
  }
}

}  // namespace vorlo::player::render
