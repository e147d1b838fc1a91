// DefineShape 1-4 and DefineMorphShape 1-2: style tables and edge records.
#include <cmath>

#include "player/swf/read_context.h"
#include "player/swf/tag_codes.h"

namespace vorlo::player {

namespace {

Rgba readColor(SwfReader& r, int shapeVersion) { return shapeVersion >= 3 ? r.rgba() : r.rgb(); }

// The byte before the stops: spread and interpolation modes, then the stop count.
void readGradientHead(SwfReader& r, Gradient& g, unsigned& count) {
  unsigned spread = r.ub(2), interp = r.ub(2);
  count = r.ub(4);
  g.spread = spread <= 2 ? SpreadMode(spread) : SpreadMode::Pad;  // 3 is reserved
  g.interpolation = interp == 1 ? InterpolationMode::LinearRgb : InterpolationMode::Normal;
}

bool isGradient(uint8_t type) { return type == 0x10 || type == 0x12 || type == 0x13; }
bool isBitmapFill(uint8_t type) { return type >= 0x40 && type <= 0x43; }

uint16_t readCount(SwfReader& r, bool extended) {
  uint16_t n = r.u8();
  if (n == 0xFF && extended) n = r.u16();
  return n;
}

bool readLineStyle(SwfReader& r, int shapeVersion, LineStyle& l) {
  l.width = r.u16();
  if (shapeVersion < 4) {
    l.color = readColor(r, shapeVersion);
    return r.ok();
  }
  unsigned startCap = r.ub(2), join = r.ub(2);
  l.hasFill = r.flag();
  l.noHScale = r.flag();
  l.noVScale = r.flag();
  l.pixelHinting = r.flag();
  r.ub(5);
  l.noClose = r.flag();
  unsigned endCap = r.ub(2);
  l.startCap = startCap <= 2 ? CapStyle(startCap) : CapStyle::Round;
  l.endCap = endCap <= 2 ? CapStyle(endCap) : CapStyle::Round;
  l.join = join <= 2 ? JoinStyle(join) : JoinStyle::Round;
  if (join == 2) l.miterLimit = r.ufixed8();
  if (l.hasFill) {
    if (!readFillStyle(r, 4, l.fill)) return false;
    if (l.fill.kind == FillKind::Solid) l.color = l.fill.color;
  } else {
    l.color = r.rgba();
  }
  return r.ok();
}

bool readStyleTables(ReadContext& ctx, SwfReader& r, int shapeVersion, StyleGroup& g) {
  uint16_t fills = readCount(r, shapeVersion >= 2);
  if (!r.ok() || !ctx.charge(size_t(fills) * sizeof(FillStyle), "fill styles")) return false;
  g.fills.resize(fills);
  for (auto& f : g.fills)
    if (!readFillStyle(r, shapeVersion, f)) return false;
  uint16_t lines = readCount(r, true);
  if (!r.ok() || !ctx.charge(size_t(lines) * sizeof(LineStyle), "line styles")) return false;
  g.lines.resize(lines);
  for (auto& l : g.lines)
    if (!readLineStyle(r, shapeVersion, l)) return false;
  return r.ok();
}

}  // namespace

bool readFillStyle(SwfReader& r, int shapeVersion, FillStyle& f) {
  uint8_t type = r.u8();
  if (type == 0x00) {
    f.kind = FillKind::Solid;
    f.color = readColor(r, shapeVersion);
  } else if (isGradient(type)) {
    f.kind = FillKind(type);
    f.gradient.matrix = r.matrix();
    unsigned count;
    readGradientHead(r, f.gradient, count);
    f.gradient.stops.resize(count);
    for (auto& s : f.gradient.stops) {
      s.ratio = r.u8();
      s.color = readColor(r, shapeVersion);
    }
    if (type == 0x13) f.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
  } else if (isBitmapFill(type)) {
    f.kind = FillKind(type);
    f.bitmapId = r.u16();
    f.bitmapMatrix = r.matrix();
  } else {
    r.fail();  // an unknown fill type leaves the rest of the record unreadable
  }
  return r.ok();
}

bool readShapeRecords(ReadContext& ctx, SwfReader& r, int shapeVersion, bool withStyles,
                      std::vector<StyleGroup>& groups) {
  r.align();
  unsigned fillBits = r.ub(4), lineBits = r.ub(4);
  Point pen;
  uint16_t fill0 = 0, fill1 = 0, line = 0;
  size_t edgeCount = 0;
  while (r.ok()) {
    bool isEdge = r.flag();
    if (!isEdge) {
      unsigned flags = r.ub(5);
      if (flags == 0) break;  // end of shape
      bool newStyles = flags & 0x10, hasLine = flags & 0x08, hasFill1 = flags & 0x04, hasFill0 = flags & 0x02,
           moveTo = flags & 0x01;
      if (moveTo) {
        unsigned n = r.ub(5);
        pen.x = r.sb(n);
        pen.y = r.sb(n);
      }
      if (hasFill0) fill0 = uint16_t(r.ub(fillBits));
      if (hasFill1) fill1 = uint16_t(r.ub(fillBits));
      if (hasLine) line = uint16_t(r.ub(lineBits));
      // DefineShape (1) has no room for new styles; the bit is only honoured from DefineShape2.
      if (newStyles && withStyles && shapeVersion >= 2) {
        StyleGroup g;
        if (!readStyleTables(ctx, r, shapeVersion, g)) return false;
        groups.push_back(std::move(g));
        r.align();
        fillBits = r.ub(4);
        lineBits = r.ub(4);
        // Indices set by this record refer to the new tables; the others start over.
        if (!hasFill0) fill0 = 0;
        if (!hasFill1) fill1 = 0;
        if (!hasLine) line = 0;
      }
      continue;
    }
    Edge e;
    e.from = pen;
    bool straight = r.flag();
    unsigned n = r.ub(4) + 2;
    if (straight) {
      bool general = r.flag();
      double dx = 0, dy = 0;
      if (general) {
        dx = r.sb(n);
        dy = r.sb(n);
      } else if (r.flag()) {
        dy = r.sb(n);
      } else {
        dx = r.sb(n);
      }
      e.to = {pen.x + dx, pen.y + dy};
    } else {
      double cx = r.sb(n), cy = r.sb(n), ax = r.sb(n), ay = r.sb(n);
      e.control = {pen.x + cx, pen.y + cy};
      e.to = {e.control.x + ax, e.control.y + ay};
      e.curved = true;
    }
    if (!r.ok()) break;
    e.fill0 = fill0;
    e.fill1 = fill1;
    e.line = line;
    pen = e.to;
    if ((++edgeCount & 1023) == 1 && !ctx.charge(1024 * sizeof(Edge), "shape edges")) return false;
    groups.back().edges.push_back(e);
  }
  if (!r.ok()) return false;
  // Indices past a group's tables would make the renderer read beyond them: such edges lose
  // the style instead.
  for (auto& g : groups) {
    uint16_t fills = uint16_t(g.fills.size()), lines = uint16_t(g.lines.size());
    if (!withStyles) continue;
    for (auto& e : g.edges) {
      if (e.fill0 > fills) e.fill0 = 0;
      if (e.fill1 > fills) e.fill1 = 0;
      if (e.line > lines) e.line = 0;
    }
  }
  return true;
}

void readShapeTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body) {
  int version = code == tag::DefineShape ? 1 : code == tag::DefineShape2 ? 2 : code == tag::DefineShape3 ? 3 : 4;
  SwfReader r(body);
  uint16_t id = r.u16();
  Shape s;
  s.bounds = r.rect();
  s.edgeBounds = s.bounds;
  if (version == 4) {
    s.edgeBounds = r.rect();
    r.ub(5);
    s.nonZeroWinding = r.flag();
    s.usesNonScalingStrokes = r.flag();
    s.usesScalingStrokes = r.flag();
  }
  s.groups.emplace_back();
  bool good = r.ok() && readStyleTables(ctx, r, version, s.groups.back()) &&
              readShapeRecords(ctx, r, version, true, s.groups);
  if (!good) {
    ctx.warn(std::string(tag::name(code)) + " " + std::to_string(id) + " is damaged: left out");
    return;
  }
  ctx.define(id, std::move(s), code);
}

namespace {

struct MorphFill {
  FillStyle start, end;
};

bool readMorphFill(SwfReader& r, MorphFill& m) {
  uint8_t type = r.u8();
  if (type == 0x00) {
    m.start.color = r.rgba();
    m.end.color = r.rgba();
  } else if (isGradient(type)) {
    m.start.kind = m.end.kind = FillKind(type);
    m.start.gradient.matrix = r.matrix();
    m.end.gradient.matrix = r.matrix();
    unsigned count;
    readGradientHead(r, m.start.gradient, count);
    m.end.gradient.spread = m.start.gradient.spread;
    m.end.gradient.interpolation = m.start.gradient.interpolation;
    m.start.gradient.stops.resize(count);
    m.end.gradient.stops.resize(count);
    for (unsigned i = 0; i < count; ++i) {
      m.start.gradient.stops[i].ratio = r.u8();
      m.start.gradient.stops[i].color = r.rgba();
      m.end.gradient.stops[i].ratio = r.u8();
      m.end.gradient.stops[i].color = r.rgba();
    }
    if (type == 0x13) {
      m.start.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
      m.end.gradient.focalPoint = std::clamp(r.fixed8(), -1.0, 1.0);
    }
  } else if (isBitmapFill(type)) {
    m.start.kind = m.end.kind = FillKind(type);
    m.start.bitmapId = m.end.bitmapId = r.u16();
    m.start.bitmapMatrix = r.matrix();
    m.end.bitmapMatrix = r.matrix();
  } else {
    r.fail();
  }
  return r.ok();
}

bool readMorphLine(SwfReader& r, int version, LineStyle& start, LineStyle& end) {
  start.width = r.u16();
  end.width = r.u16();
  if (version == 1) {
    start.color = r.rgba();
    end.color = r.rgba();
    return r.ok();
  }
  unsigned startCap = r.ub(2), join = r.ub(2);
  start.hasFill = r.flag();
  start.noHScale = r.flag();
  start.noVScale = r.flag();
  start.pixelHinting = r.flag();
  r.ub(5);
  start.noClose = r.flag();
  unsigned endCap = r.ub(2);
  start.startCap = startCap <= 2 ? CapStyle(startCap) : CapStyle::Round;
  start.endCap = endCap <= 2 ? CapStyle(endCap) : CapStyle::Round;
  start.join = join <= 2 ? JoinStyle(join) : JoinStyle::Round;
  if (join == 2) start.miterLimit = r.ufixed8();
  uint16_t endWidth = end.width;
  end = start;
  end.width = endWidth;
  if (start.hasFill) {
    MorphFill f;
    if (!readMorphFill(r, f)) return false;
    start.fill = f.start;
    end.fill = f.end;
    start.color = f.start.color;
    end.color = f.end.color;
  } else {
    start.color = r.rgba();
    end.color = r.rgba();
  }
  return r.ok();
}

// The end shape's records: edges and moves only; styles come from the start shape.
bool readEndEdges(ReadContext& ctx, SwfReader& r, std::vector<Edge>& edges) {
  std::vector<StyleGroup> groups(1);
  if (!readShapeRecords(ctx, r, 1, false, groups)) return false;
  edges = std::move(groups[0].edges);
  return true;
}

Edge asCurve(Edge e) {
  if (!e.curved) {
    e.control = {(e.from.x + e.to.x) / 2, (e.from.y + e.to.y) / 2};
    e.curved = true;
  }
  return e;
}

}  // namespace

void readMorphShapeTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body) {
  int version = code == tag::DefineMorphShape ? 1 : 2;
  SwfReader r(body);
  uint16_t id = r.u16();
  MorphShape m;
  m.startBounds = r.rect();
  m.endBounds = r.rect();
  m.startEdgeBounds = m.startBounds;
  m.endEdgeBounds = m.endBounds;
  if (version == 2) {
    m.startEdgeBounds = r.rect();
    m.endEdgeBounds = r.rect();
    r.ub(6);
    m.usesNonScalingStrokes = r.flag();
    m.usesScalingStrokes = r.flag();
  }
  uint32_t endOffset = r.u32();
  // Checked before adding, so that a huge offset cannot wrap a 32-bit size.
  size_t endAt = endOffset <= body.size() - r.position() ? r.position() + endOffset : body.size() + 1;
  auto damaged = [&] { ctx.warn(std::string(tag::name(code)) + " " + std::to_string(id) + " is damaged: left out"); };
  uint16_t fills = readCount(r, true);
  if (!r.ok() || !ctx.charge(size_t(fills) * 2 * sizeof(FillStyle), "morph styles")) return damaged();
  for (uint16_t i = 0; i < fills; ++i) {
    MorphFill f;
    if (!readMorphFill(r, f)) return damaged();
    m.startFills.push_back(std::move(f.start));
    m.endFills.push_back(std::move(f.end));
  }
  uint16_t lines = readCount(r, true);
  if (!r.ok() || !ctx.charge(size_t(lines) * 2 * sizeof(LineStyle), "morph styles")) return damaged();
  for (uint16_t i = 0; i < lines; ++i) {
    LineStyle s, e;
    if (!readMorphLine(r, version, s, e)) return damaged();
    m.startLines.push_back(std::move(s));
    m.endLines.push_back(std::move(e));
  }
  std::vector<StyleGroup> groups(1);
  if (!readShapeRecords(ctx, r, 1, false, groups)) return damaged();
  std::vector<Edge> start = std::move(groups[0].edges);
  std::vector<Edge> end;
  if (endOffset == 0 || endAt > body.size()) return damaged();
  SwfReader er(body.subspan(endAt));
  if (!readEndEdges(ctx, er, end)) return damaged();
  if (start.size() != end.size()) {
    ctx.warn(std::string(tag::name(code)) + " " + std::to_string(id) + " has " + std::to_string(start.size()) +
             " start edges and " + std::to_string(end.size()) + " end edges: the extra ones are left out");
    size_t n = std::min(start.size(), end.size());
    start.resize(n);
    end.resize(n);
  }
  uint16_t fillCount = uint16_t(m.startFills.size()), lineCount = uint16_t(m.startLines.size());
  for (size_t i = 0; i < start.size(); ++i) {
    Edge& s = start[i];
    if (s.fill0 > fillCount) s.fill0 = 0;
    if (s.fill1 > fillCount) s.fill1 = 0;
    if (s.line > lineCount) s.line = 0;
    Edge& e = end[i];
    if (s.curved != e.curved) {
      s = asCurve(s);
      e = asCurve(e);
    }
    e.fill0 = s.fill0;
    e.fill1 = s.fill1;
    e.line = s.line;
  }
  m.startEdges = std::move(start);
  m.endEdges = std::move(end);
  ctx.define(id, std::move(m), code);
}

namespace {

double mix(double a, double b, double t) { return a + (b - a) * t; }
uint8_t mix8(uint8_t a, uint8_t b, double t) { return uint8_t(std::lround(std::clamp(mix(a, b, t), 0.0, 255.0))); }
Rgba mix(Rgba a, Rgba b, double t) { return {mix8(a.r, b.r, t), mix8(a.g, b.g, t), mix8(a.b, b.b, t), mix8(a.a, b.a, t)}; }
Point mix(Point a, Point b, double t) { return {mix(a.x, b.x, t), mix(a.y, b.y, t)}; }
Matrix mix(const Matrix& a, const Matrix& b, double t) {
  return {mix(a.a, b.a, t), mix(a.b, b.b, t), mix(a.c, b.c, t), mix(a.d, b.d, t), mix(a.tx, b.tx, t), mix(a.ty, b.ty, t)};
}
Rect mix(const Rect& a, const Rect& b, double t) {
  return {mix(a.xMin, b.xMin, t), mix(a.yMin, b.yMin, t), mix(a.xMax, b.xMax, t), mix(a.yMax, b.yMax, t)};
}

FillStyle mix(const FillStyle& a, const FillStyle& b, double t) {
  FillStyle f = a;
  f.color = mix(a.color, b.color, t);
  f.gradient.matrix = mix(a.gradient.matrix, b.gradient.matrix, t);
  f.gradient.focalPoint = mix(a.gradient.focalPoint, b.gradient.focalPoint, t);
  for (size_t i = 0; i < f.gradient.stops.size() && i < b.gradient.stops.size(); ++i) {
    f.gradient.stops[i].ratio = mix8(a.gradient.stops[i].ratio, b.gradient.stops[i].ratio, t);
    f.gradient.stops[i].color = mix(a.gradient.stops[i].color, b.gradient.stops[i].color, t);
  }
  f.bitmapMatrix = mix(a.bitmapMatrix, b.bitmapMatrix, t);
  return f;
}

}  // namespace

Shape morphShapeAt(const MorphShape& morph, double ratio) {
  double t = std::isfinite(ratio) ? std::clamp(ratio, 0.0, 1.0) : 0.0;
  Shape s;
  s.bounds = mix(morph.startBounds, morph.endBounds, t);
  s.edgeBounds = mix(morph.startEdgeBounds, morph.endEdgeBounds, t);
  s.usesNonScalingStrokes = morph.usesNonScalingStrokes;
  s.usesScalingStrokes = morph.usesScalingStrokes;
  StyleGroup& g = s.groups.emplace_back();
  for (size_t i = 0; i < morph.startFills.size() && i < morph.endFills.size(); ++i)
    g.fills.push_back(mix(morph.startFills[i], morph.endFills[i], t));
  for (size_t i = 0; i < morph.startLines.size() && i < morph.endLines.size(); ++i) {
    LineStyle l = morph.startLines[i];
    const LineStyle& e = morph.endLines[i];
    l.width = uint16_t(std::lround(mix(l.width, e.width, t)));
    l.color = mix(l.color, e.color, t);
    if (l.hasFill) l.fill = mix(l.fill, e.fill, t);
    g.lines.push_back(l);
  }
  size_t n = std::min(morph.startEdges.size(), morph.endEdges.size());
  g.edges.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    const Edge& a = morph.startEdges[i];
    const Edge& b = morph.endEdges[i];
    Edge e = a;
    e.from = mix(a.from, b.from, t);
    e.to = mix(a.to, b.to, t);
    e.control = mix(a.control, b.control, t);
    g.edges.push_back(e);
  }
  return s;
}

}  // namespace vorlo::player
