// drawShape: every style group of a shape, its fills first (one compound pass, so fills that
// share an edge meet without a seam) and then its strokes, one line style at a time.
#include <algorithm>
#include <cmath>

#include "player/render/paint.h"
#include "player/render/raster.h"
#include "player/render/renderer.h"

namespace vorlo::player {
namespace {

using render::Outline;
using render::Paint;

bool finiteMatrix(const Matrix& m) {
  return std::isfinite(m.a) && std::isfinite(m.b) && std::isfinite(m.c) && std::isfinite(m.d) &&
         std::isfinite(m.tx) && std::isfinite(m.ty);
}

// How far (in pixels) flattened curves may stray from the true ones. Fills keep close (their
// area shows); a stroke's edges are blurred by its own width and may stray a little more.
double fillTolerance(Quality q) { return q == Quality::High ? 0.1 : q == Quality::Medium ? 0.2 : 0.4; }
double strokeTolerance(Quality q) { return q == Quality::High ? 0.2 : q == Quality::Medium ? 0.3 : 0.5; }

// AGG keeps style numbers in 16 signed bits; styles beyond that are not drawn.
int styleIndex(uint16_t oneBased, size_t count) {
  if (oneBased == 0 || oneBased > count || oneBased > 32000) return -1;
  return int(oneBased) - 1;
}

// A stroke's width in pixels: the matrix's scale on the axes that scale, none on the others.
double strokeWidth(const LineStyle& ls, const Matrix& m) {
  double sx = std::sqrt(m.a * m.a + m.b * m.b), sy = std::sqrt(m.c * m.c + m.d * m.d);
  double scale;
  if (ls.noHScale && ls.noVScale)
    scale = 1.0 / 20;
  else if (ls.noHScale)
    scale = sy;
  else if (ls.noVScale)
    scale = sx;
  else
    scale = (sx + sy) / 2;
  double w = ls.width * scale;
  // Hairlines, and lines thinner than a pixel, are drawn one pixel wide.
  return std::isfinite(w) && w >= 1 ? w : 1;
}

void drawFills(Surface& target, const StyleGroup& g, const Shape& shape, const ShapeDraw& how,
               IntRect clip, double tol) {
  if (g.fills.empty()) return;
  thread_local std::vector<Point> pts;
  Outline outline(clip, shape.nonZeroWinding);
  bool any = false;
  Point last{};
  int lastL = -2, lastR = -2;
  for (const Edge& e : g.edges) {
    int l = styleIndex(e.fill0, g.fills.size()), r = styleIndex(e.fill1, g.fills.size());
    if (l == r) continue;  // no fill, or the same on both sides: no boundary
    Point a = how.toPixels.apply(e.from), b = how.toPixels.apply(e.to);
    Point c = e.curved ? how.toPixels.apply(e.control) : a;
    if (!render::finitePoint(a) || !render::finitePoint(b) || !render::finitePoint(c)) return;
    a = render::clampPoint(a), b = render::clampPoint(b), c = render::clampPoint(c);
    if (l != lastL || r != lastR || !any || a.x != last.x || a.y != last.y) {
      outline.styles(l, r);
      outline.moveTo(a);
      lastL = l, lastR = r;
    }
    any = true;
    if (e.curved) {
      pts.clear();
      render::flattenQuad(a, c, b, tol, pts);
      for (const Point& p : pts) outline.lineTo(p);
    } else {
      outline.lineTo(b);
    }
    last = b;
  }
  if (!any) return;
  std::vector<Paint> paints(g.fills.size());
  std::vector<uint8_t> built(g.fills.size(), 0);
  outline.render(target, how.quality, [&](int style) -> const Paint* {
    if (style < 0 || size_t(style) >= paints.size()) return nullptr;
    if (!built[size_t(style)]) {
      render::makePaint(paints[size_t(style)], g.fills[size_t(style)], how);
      built[size_t(style)] = 1;
    }
    return &paints[size_t(style)];
  });
}

struct StrokePath {
  int style;
  size_t begin, end;  // into the group's point list
  bool closed;
};

void drawStrokes(Surface& target, const StyleGroup& g, const ShapeDraw& how, IntRect clip, double tol) {
  if (g.lines.empty()) return;
  thread_local std::vector<Point> pts;
  thread_local std::vector<Point> poly;
  thread_local std::vector<StrokePath> paths;
  pts.clear(), paths.clear();
  // Consecutive edges with one line style, each starting where the last ended, are one stroke.
  const Edge* prev = nullptr;
  for (const Edge& e : g.edges) {
    int ls = styleIndex(e.line, g.lines.size());
    if (ls < 0) {
      prev = nullptr;
      continue;
    }
    Point a = how.toPixels.apply(e.from), b = how.toPixels.apply(e.to);
    Point c = e.curved ? how.toPixels.apply(e.control) : a;
    if (!render::finitePoint(a) || !render::finitePoint(b) || !render::finitePoint(c)) {
      prev = nullptr;
      continue;
    }
    a = render::clampPoint(a), b = render::clampPoint(b), c = render::clampPoint(c);
    bool continues = prev && prev->line == e.line && prev->to.x == e.from.x && prev->to.y == e.from.y;
    if (!continues) {
      if (!paths.empty()) {
        StrokePath& done = paths.back();
        done.end = pts.size();
      }
      paths.push_back({ls, pts.size(), 0, false});
      pts.push_back(a);
    }
    if (e.curved)
      render::flattenQuad(a, c, b, tol, pts);
    else
      pts.push_back(b);
    prev = &e;
  }
  if (paths.empty()) return;
  paths.back().end = pts.size();
  // A path is closed when it ends where it began (compared in surface pixels after the same
  // transform, so exactly equal twips stay exactly equal).
  for (StrokePath& p : paths) {
    const Point& f = pts[p.begin];
    const Point& l = pts[p.end - 1];
    p.closed = p.end - p.begin > 2 && f.x == l.x && f.y == l.y && !g.lines[size_t(p.style)].noClose;
  }
  std::stable_sort(paths.begin(), paths.end(),
                   [](const StrokePath& x, const StrokePath& y) { return x.style < y.style; });
  for (size_t i = 0; i < paths.size();) {
    int style = paths[i].style;
    const LineStyle& ls = g.lines[size_t(style)];
    render::StrokeStyle st;
    st.half = strokeWidth(ls, how.toPixels) / 2;
    st.startCap = ls.startCap;
    st.endCap = ls.endCap;
    st.join = ls.join;
    st.miterLimit = std::isfinite(ls.miterLimit) ? ls.miterLimit : 3;
    st.tolerance = tol;
    Outline outline(clip, true, true);
    for (; i < paths.size() && paths[i].style == style; ++i) {
      poly.assign(pts.begin() + std::ptrdiff_t(paths[i].begin), pts.begin() + std::ptrdiff_t(paths[i].end));
      render::strokePolyline(poly, paths[i].closed, st, outline, 0);
    }
    Paint paint;
    if (ls.hasFill)
      render::makePaint(paint, ls.fill, how);
    else if (how.solidColor)
      render::makeSolidPaint(paint, *how.solidColor, how.colorTransform);
    else
      render::makeSolidPaint(paint, ls.color, how.colorTransform);
    outline.render(target, how.quality, [&](int s) { return s == 0 ? &paint : nullptr; });
  }
}

}  // namespace

void drawShape(Surface& target, const Shape& shape, const ShapeDraw& how) {
  if (target.width <= 0 || target.height <= 0 ||
      target.pixels.size() < size_t(target.width) * size_t(target.height))
    return;
  IntRect clip{0, 0, target.width, target.height};
  if (how.clip) {
    clip.x0 = std::max(clip.x0, how.clip->x0);
    clip.y0 = std::max(clip.y0, how.clip->y0);
    clip.x1 = std::min(clip.x1, how.clip->x1);
    clip.y1 = std::min(clip.y1, how.clip->y1);
  }
  if (clip.empty() || !finiteMatrix(how.toPixels)) return;
  for (const StyleGroup& g : shape.groups) {
    drawFills(target, g, shape, how, clip, fillTolerance(how.quality));
    drawStrokes(target, g, how, clip, strokeTolerance(how.quality));
  }
}

}  // namespace vorlo::player
