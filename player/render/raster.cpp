#include "player/render/raster.h"

#include <agg_rasterizer_compound_aa.h>
#include <agg_rasterizer_scanline_aa_nogamma.h>

#include <climits>
#include <cmath>
#include <cstring>

#include "player/render/pixel.h"

namespace vorlo::player::render {
namespace {

// Coordinates beyond this many pixels from the origin are pulled in: far enough that nothing on a
// real surface changes, near enough that AGG's 24.8 fixed point cannot overflow.
constexpr double kMaxCoord = 1 << 21;
constexpr double kPi = 3.14159265358979323846;

// The scanline container AGG's sweep fills: spans of 8-bit coverage on one row. (AGG's own
// scanline classes keep x in 16 bits; surfaces may be wider.)
struct Scanline {
  struct Span {
    int x;
    int len;
    const uint8_t* covers;
  };
  std::vector<uint8_t> covers;
  std::vector<Span> spans;
  int minX = 0, y = 0, lastX = INT_MIN;

  void reset(int min, int max) {
    minX = min;
    size_t need = size_t(max - min) + 2;
    if (covers.size() < need) covers.resize(need);
  }
  void reset_spans() {
    spans.clear();
    lastX = INT_MIN;
  }
  void add_cell(int x, unsigned c) {
    covers[size_t(x - minX)] = uint8_t(c);
    if (x == lastX + 1 && !spans.empty())
      ++spans.back().len;
    else
      spans.push_back({x, 1, &covers[size_t(x - minX)]});
    lastX = x;
  }
  void add_span(int x, unsigned len, unsigned c) {
    std::memset(&covers[size_t(x - minX)], int(c), len);
    if (x == lastX + 1 && !spans.empty())
      spans.back().len += int(len);
    else
      spans.push_back({x, int(len), &covers[size_t(x - minX)]});
    lastX = x + int(len) - 1;
  }
  unsigned num_spans() const { return unsigned(spans.size()); }
  void finalize(int row) { y = row; }
};

using Rasterizer = agg::rasterizer_compound_aa<agg::rasterizer_sl_clip_int>;
using SimpleRasterizer = agg::rasterizer_scanline_aa_nogamma<agg::rasterizer_sl_clip_int>;

inline int fixed(double v) { return int(std::floor(v * double(agg::poly_subpixel_scale) + 0.5)); }

// Low quality keeps pixels whose centre area is mostly covered; medium keeps five levels, about
// what 2x2 supersampling gives; high keeps the exact area.
inline uint32_t adjustCover(uint32_t c, Quality q) {
  if (q == Quality::High) return c;
  if (q == Quality::Low) return c >= 128 ? 255 : 0;
  return std::min<uint32_t>(255, ((c + 32) >> 6) << 6);
}

struct Buffers {
  Scanline sl;
  std::vector<uint32_t> colors, acc;
  std::vector<uint8_t> cover;
  void size(size_t n) {
    if (colors.size() < n) colors.resize(n);
    if (acc.size() < n) acc.resize(n);
    if (cover.size() < n) cover.resize(n);
  }
};

Buffers& buffers() {
  thread_local Buffers b;
  return b;
}

}  // namespace

struct Outline::Impl {
  Rasterizer ras;
  SimpleRasterizer simple;
  bool single = false;
  IntRect clip;
};

namespace {
// Rasterizers keep their cell blocks between shapes; one pool per thread.
struct RasterizerPool {
  std::vector<Outline::Impl*> free;
  ~RasterizerPool() {
    for (auto* p : free) delete p;
  }
};
RasterizerPool& pool() {
  thread_local RasterizerPool p;
  return p;
}
}  // namespace

Outline::Outline(IntRect clip, bool nonZero, bool singleStyle) {
  auto& p = pool();
  if (p.free.empty()) {
    impl_ = new Impl;
  } else {
    impl_ = p.free.back();
    p.free.pop_back();
  }
  impl_->clip = clip;
  impl_->single = singleStyle;
  auto rule = nonZero ? agg::fill_non_zero : agg::fill_even_odd;
  if (singleStyle) {
    impl_->simple.reset();
    impl_->simple.clip_box(clip.x0, clip.y0, clip.x1, clip.y1);
    impl_->simple.filling_rule(rule);
  } else {
    impl_->ras.reset();
    impl_->ras.clip_box(clip.x0, clip.y0, clip.x1, clip.y1);
    impl_->ras.filling_rule(rule);
    impl_->ras.layer_order(agg::layer_direct);
  }
}

Outline::~Outline() {
  if (impl_->single)
    impl_->simple.reset();
  else
    impl_->ras.reset();
  pool().free.push_back(impl_);
}

void Outline::styles(int left, int right) {
  if (!impl_->single) impl_->ras.styles(left, right);
}
void Outline::moveTo(Point p) {
  if (impl_->single)
    impl_->simple.move_to(fixed(p.x), fixed(p.y));
  else
    impl_->ras.move_to(fixed(p.x), fixed(p.y));
}
void Outline::lineTo(Point p) {
  if (impl_->single)
    impl_->simple.line_to(fixed(p.x), fixed(p.y));
  else
    impl_->ras.line_to(fixed(p.x), fixed(p.y));
}

void Outline::polygon(const Point* pts, int n, int style) {
  if (n < 3) return;
  double area = 0;
  for (int i = 0; i < n; ++i) {
    const Point& a = pts[i];
    const Point& b = pts[(i + 1) % n];
    area += a.x * b.y - b.x * a.y;
  }
  // The nonzero rule unites polygons only when they turn the same way.
  styles(style, -1);
  if (area >= 0) {
    moveTo(pts[0]);
    for (int i = 1; i < n; ++i) lineTo(pts[i]);
  } else {
    moveTo(pts[n - 1]);
    for (int i = n - 2; i >= 0; --i) lineTo(pts[i]);
  }
  lineTo(area >= 0 ? pts[0] : pts[n - 1]);
}

namespace {

// One span of one paint onto a row, with its coverage.
inline void paintSpan(uint32_t* d, const uint32_t* colors, const uint8_t* covers, int len, Quality quality,
                      bool opaque) {
  if (quality == Quality::High) return px::overSpan(d, colors, covers, len);
  for (int i = 0; i < len; ++i) {
    uint32_t c = adjustCover(covers[i], quality);
    d[i] = c == 255 && opaque ? colors[i] : px::over(d[i], px::scale(colors[i], c));
  }
}

}  // namespace

void Outline::render(Surface& target, Quality quality,
                     const std::function<const Paint*(int)>& paintFor) {
  const IntRect& clip = impl_->clip;
  Buffers& buf = buffers();
  Scanline& sl = buf.sl;

  // Spans are kept inside the clip (AGG clips the geometry; this also guards the arithmetic).
  auto clipSpan = [&](const Scanline::Span& s, int& x, int& len, const uint8_t*& covers) {
    x = s.x, len = s.len, covers = s.covers;
    if (x < clip.x0) {
      int d = clip.x0 - x;
      x += d, len -= d, covers += d;
    }
    if (x + len > clip.x1) len = clip.x1 - x;
    return len > 0;
  };
  auto paintScanline = [&](const Paint* paint) {
    if (sl.y < clip.y0 || sl.y >= clip.y1) return;
    uint32_t* row = target.row(sl.y);
    for (const auto& s : sl.spans) {
      int x, len;
      const uint8_t* covers;
      if (!clipSpan(s, x, len, covers)) continue;
      uint32_t* colors = buf.colors.data();
      paint->fill(x, sl.y, len, colors);
      paintSpan(row + x, colors, covers, len, quality, paint->opaque);
    }
  };

  if (impl_->single) {
    SimpleRasterizer& ras = impl_->simple;
    if (!ras.rewind_scanlines()) return;
    const Paint* paint = paintFor(0);
    if (!paint || paint->kind == Paint::Kind::None) return;
    sl.reset(ras.min_x(), ras.max_x());
    buf.size(size_t(ras.max_x() - ras.min_x()) + 2);
    while (ras.sweep_scanline(sl)) paintScanline(paint);
    return;
  }

  Rasterizer& ras = impl_->ras;
  if (!ras.rewind_scanlines()) return;
  sl.reset(ras.min_x(), ras.max_x());
  buf.size(size_t(ras.max_x() - ras.min_x()) + 2);
  unsigned numStyles;
  while ((numStyles = ras.sweep_styles()) > 0) {
    if (numStyles == 1) {
      const Paint* paint = paintFor(int(ras.style(0)));
      if (!ras.sweep_scanline(sl, 0) || !paint || paint->kind == Paint::Kind::None) continue;
      paintScanline(paint);
      continue;
    }

    // Several styles on this row: their coverage-weighted colours add up in `acc`; `cover` keeps
    // the sum of coverage so that overlapping styles never exceed a whole pixel.
    int start = ras.scanline_start();
    int len = int(ras.scanline_length());
    uint32_t* acc = buf.acc.data();
    uint8_t* cov = buf.cover.data();
    std::memset(acc, 0, size_t(len) * sizeof(uint32_t));
    std::memset(cov, 0, size_t(len));
    int row = INT_MIN;
    for (unsigned i = 0; i < numStyles; ++i) {
      const Paint* paint = paintFor(int(ras.style(i)));
      if (!ras.sweep_scanline(sl, int(i))) continue;
      row = sl.y;
      if (!paint || paint->kind == Paint::Kind::None || row < clip.y0 || row >= clip.y1) continue;
      for (const auto& s : sl.spans) {
        int x, n;
        const uint8_t* covers;
        if (!clipSpan(s, x, n, covers)) continue;
        uint32_t* colors = buf.colors.data();
        paint->fill(x, row, n, colors);
        int off = x - start;
        for (int k = 0; k < n; ++k) {
          uint32_t room = 255u - cov[off + k];
          uint32_t c = std::min(adjustCover(covers[k], quality), room);
          if (!c) continue;
          cov[off + k] = uint8_t(cov[off + k] + c);
          acc[off + k] += px::scale(colors[k], c);
        }
      }
    }
    if (row < clip.y0 || row >= clip.y1) continue;
    uint32_t* d = target.row(row) + start;
    for (int k = 0; k < len; ++k)
      if (cov[k]) d[k] = px::over(d[k], acc[k]);
  }
}

bool finitePoint(Point p) { return std::isfinite(p.x) && std::isfinite(p.y); }

Point clampPoint(Point p) {
  return {std::clamp(p.x, -kMaxCoord, kMaxCoord), std::clamp(p.y, -kMaxCoord, kMaxCoord)};
}

void flattenQuad(Point from, Point control, Point to, double tolerance, std::vector<Point>& out) {
  // The chord error of n equal parameter steps is |from - 2 control + to| / (4 n^2).
  double dx = from.x - 2 * control.x + to.x, dy = from.y - 2 * control.y + to.y;
  double dev = std::sqrt(dx * dx + dy * dy);
  int n = 1;
  if (dev > 0 && std::isfinite(dev)) n = int(std::min(256.0, std::ceil(std::sqrt(dev / (4 * tolerance)))));
  n = std::max(n, 1);
  for (int i = 1; i < n; ++i) {
    double t = double(i) / n, u = 1 - t;
    out.push_back({u * u * from.x + 2 * u * t * control.x + t * t * to.x,
                   u * u * from.y + 2 * u * t * control.y + t * t * to.y});
  }
  out.push_back(to);
}

// ---- stroker ----------------------------------------------------------------------------------

namespace {

struct Vec {
  double x, y;
};
inline Vec sub(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point add(Point p, Vec v, double s) { return {p.x + v.x * s, p.y + v.y * s}; }
inline Vec perp(Vec v) { return {-v.y, v.x}; }
inline double dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y; }
inline double cross(Vec a, Vec b) { return a.x * b.y - a.y * b.x; }
inline Vec unit(Vec v) {
  double l = std::sqrt(v.x * v.x + v.y * v.y);
  return {v.x / l, v.y / l};
}

// Angle step of an arc of radius r whose chords stay within `tol` of it.
int arcSteps(double angle, double r, double tol) {
  double step = r > tol ? 2 * std::acos(1 - tol / r) : 1.6;
  if (!(step > 0.01)) step = 0.01;
  return std::clamp(int(std::ceil(angle / step)), 1, 256);
}

// Points on the arc around c from direction `from` (unit), turning by `angle` (signed).
void arc(std::vector<Point>& out, Point c, Vec from, double angle, double r, double tol) {
  int n = arcSteps(std::fabs(angle), r, tol);
  double da = angle / n, cs = std::cos(da), sn = std::sin(da);
  // Chords cut the arc; placing the inner vertices a little outside the circle gives each wedge
  // the area of the true sector, so round caps and joins cover what they should.
  double step = std::fabs(da);
  double ro = step > 1e-6 ? r * std::sqrt(step / std::sin(step)) : r;
  Vec v = from;
  out.push_back(add(c, v, r));
  for (int i = 1; i <= n; ++i) {
    v = {v.x * cs - v.y * sn, v.x * sn + v.y * cs};
    out.push_back(add(c, v, i == n && std::fabs(angle) < 6.28 ? r : ro));
  }
}

// A closed loop as it is: its turning direction matters to the nonzero rule.
void addLoop(Outline& out, const std::vector<Point>& pts, int si) {
  if (pts.size() < 3) return;
  out.styles(si, -1);
  out.moveTo(pts[0]);
  for (size_t i = 1; i < pts.size(); ++i) out.lineTo(pts[i]);
  out.lineTo(pts[0]);
}

// Appends the outline points of a cap at e facing d (unit): from e + h*n round to e - h*n.
void capPoints(std::vector<Point>& out, Point e, Vec d, CapStyle style, double h, double tol) {
  Vec n = perp(d);
  if (style == CapStyle::Round) {
    arc(out, e, n, -kPi, h, tol);
  } else if (style == CapStyle::Square) {
    out.push_back(add(e, n, h));
    out.push_back(add(add(e, n, h), d, h));
    out.push_back(add(add(e, n, -h), d, h));
    out.push_back(add(e, n, -h));
  } else {
    out.push_back(add(e, n, h));
    out.push_back(add(e, n, -h));
  }
}

// Appends the points that join two offset lines at vertex v on side `side` (+1: the left of
// travel, along +perp(u); -1: the right), from the end of the segment along u1 to the start of
// the one along u2.
void joinPoints(std::vector<Point>& out, Point v, Vec u1, Vec u2, double side, const StrokeStyle& st) {
  double h = st.half;
  Vec o1 = perp(u1), o2 = perp(u2);
  o1 = {o1.x * side, o1.y * side}, o2 = {o2.x * side, o2.y * side};
  Point a = add(v, o1, h), b = add(v, o2, h);
  double cr = cross(u1, u2), dt = dot(u1, u2);
  if (std::fabs(cr) < 1e-9 && dt > 0) {  // straight on
    out.push_back(a);
    return;
  }
  // A slight bend (between the flat pieces of a curve) needs no join shape: round, miter and
  // bevel differ there by less than the flattening tolerance, so both sides take the point where
  // their offset lines meet.
  double halfCos = std::sqrt(std::max(0.0, (1 + dt) / 2));  // cos(turn / 2)
  if (dt > 0 && h * (1 - halfCos) < st.tolerance * 0.5) {
    Vec m = unit({o1.x + o2.x, o1.y + o2.y});
    out.push_back(add(v, m, h / halfCos));
    return;
  }
  // The turn bends towards +perp when cr > 0: that side is the inner one.
  double outer = cr > 0 ? -1 : 1;
  if (std::fabs(cr) < 1e-9) outer = side;  // a U-turn: both sides go round
  if (side != outer) {
    // Inner corner: through the vertex, so the overlap of the two segments stays filled.
    out.push_back(a);
    out.push_back(v);
    out.push_back(b);
    return;
  }
  if (st.join == JoinStyle::Round) {
    double turn = std::atan2(std::fabs(cr), dt);  // 0..pi
    double dir = std::fabs(cr) < 1e-9 ? -side : (cr > 0 ? 1 : -1);
    arc(out, v, o1, dir * turn, h, st.tolerance);
    return;
  }
  out.push_back(a);
  if (st.join == JoinStyle::Miter && std::fabs(cr) >= 1e-9) {
    // The tip lies h / cos(turn/2) out along the bisector; past the limit it is cut off there.
    Vec m = unit({o1.x + o2.x, o1.y + o2.y});
    double half = halfCos;
    double tip = h / half;
    double limit = std::max(st.miterLimit, 0.0) * h;
    double base = h * half;  // how far a and b already are along m
    if (tip <= limit) {
      out.push_back(add(v, m, tip));
    } else if (limit > base) {
      double t1 = (limit - base) / dot(u1, m);
      double t2 = (limit - base) / -dot(u2, m);
      out.push_back(add(a, u1, t1));
      out.push_back(add(b, u2, -t2));
    }
  }
  out.push_back(b);
}

}  // namespace

void strokePolyline(const std::vector<Point>& input, bool closed, const StrokeStyle& st, Outline& out,
                    int si) {
  thread_local std::vector<Point> p, left, right, tmp;
  thread_local std::vector<Vec> dirs;
  p.clear();
  for (const Point& q : input) {
    if (!p.empty()) {
      Vec d = sub(q, p.back());
      if (d.x * d.x + d.y * d.y < 1e-12) continue;
    }
    p.push_back(q);
  }
  if (closed && p.size() > 1) {
    Vec d = sub(p.front(), p.back());
    if (d.x * d.x + d.y * d.y < 1e-12) p.pop_back();
  }
  size_t n = p.size();
  double h = st.half;
  if (n == 0) return;
  if (n == 1) {
    // A path of no length shows as its cap: a dot for round caps, a square for square ones.
    tmp.clear();
    if (st.startCap == CapStyle::Round) {
      arc(tmp, p[0], {1, 0}, 2 * kPi, h, st.tolerance);
      out.polygon(tmp.data(), int(tmp.size()), si);
    } else if (st.startCap == CapStyle::Square) {
      Point q[4] = {{p[0].x - h, p[0].y - h}, {p[0].x + h, p[0].y - h}, {p[0].x + h, p[0].y + h},
                    {p[0].x - h, p[0].y + h}};
      out.polygon(q, 4, si);
    }
    return;
  }
  if (n == 2) closed = false;  // there and back is an open line with caps
  size_t segments = closed ? n : n - 1;
  dirs.clear();
  for (size_t i = 0; i < segments; ++i) dirs.push_back(unit(sub(p[(i + 1) % n], p[i])));
  left.clear(), right.clear();
  if (!closed) {
    // One loop: the left side forward, the end cap, the right side back, the start cap.
    left.push_back(add(p[0], perp(dirs[0]), h));
    for (size_t i = 1; i + 1 < n; ++i) joinPoints(left, p[i], dirs[i - 1], dirs[i], 1, st);
    Vec last = dirs[segments - 1];
    capPoints(left, p[n - 1], last, st.endCap, h, st.tolerance);
    for (size_t i = n - 2; i >= 1; --i) {
      tmp.clear();
      joinPoints(tmp, p[i], dirs[i - 1], dirs[i], -1, st);
      left.insert(left.end(), tmp.rbegin(), tmp.rend());
    }
    Vec first = dirs[0];
    capPoints(left, p[0], {-first.x, -first.y}, st.startCap, h, st.tolerance);
    addLoop(out, left, si);
    return;
  }
  // Closed: the left side's loop and the right side's loop run opposite ways, leaving the
  // inside of the path empty.
  for (size_t i = 0; i < n; ++i) {
    Vec before = dirs[(i + n - 1) % n], after = dirs[i];
    joinPoints(left, p[i], before, after, 1, st);
    joinPoints(right, p[i], before, after, -1, st);
  }
  addLoop(out, left, si);
  std::reverse(right.begin(), right.end());
  addLoop(out, right, si);
}

}  // namespace vorlo::player::render
