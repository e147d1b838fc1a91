// shape, morph and glyph outlines: style tables and edge records.
#include <cmath>

#include "player/swf/tag_codes.h"
#include "tools/swf/assembler_internal.h"
#include "tools/swf/shape_build.h"

namespace vorlo::swfasm {

using namespace player;

namespace {

// The gradient square (-16384..16384 twips) onto box=x0,y0,x1,y1, or a matrix from the options.
Matrix gradientMatrix(Args& a, const std::string& prefix) {
  if (auto box = a.option(prefix + "box")) {
    auto p = splitList(*box);
    if (p.size() != 4) a.fail(prefix + "box= takes x0,y0,x1,y1");
    double x0 = parseTwips(p[0]), y0 = parseTwips(p[1]), x1 = parseTwips(p[2]), y1 = parseTwips(p[3]);
    return {(x1 - x0) / 32768, 0, 0, (y1 - y0) / 32768, (x0 + x1) / 2, (y0 + y1) / 2};
  }
  return parseMatrix(a, prefix);
}

SpreadMode parseSpread(Args& a) {
  auto w = a.option("spread");
  if (!w || w->text == "pad") return SpreadMode::Pad;
  if (w->text == "reflect") return SpreadMode::Reflect;
  if (w->text == "repeat") return SpreadMode::Repeat;
  a.fail("spread= is pad, reflect or repeat");
}

InterpolationMode parseInterp(Args& a) {
  auto w = a.option("interp");
  if (!w || w->text == "normal") return InterpolationMode::Normal;
  if (w->text == "linear") return InterpolationMode::LinearRgb;
  a.fail("interp= is normal or linear");
}

}  // namespace

// `fill KIND ...` words from `first` (the kind).
FillStyle parseFill(Args& a, MorphFillEnd* end) {
  FillStyle f;
  const Word& kind = a.positional("the fill kind (solid, linear, radial, focal, bitmap)");
  if (kind.text == "solid") {
    f.kind = FillKind::Solid;
    f.color = parseColor(a.positional("the colour"));
    if (end) end->fill.color = parseColor(a.positional("the end colour"));
  } else if (kind.text == "linear" || kind.text == "radial" || kind.text == "focal") {
    f.kind = kind.text == "linear" ? FillKind::LinearGradient : kind.text == "radial" ? FillKind::RadialGradient : FillKind::FocalGradient;
    auto stops = a.option("stops");
    if (!stops) a.fail("gradients need stops=ratio:#colour,...");
    f.gradient.stops = parseStops(*stops);
    if (f.gradient.stops.empty() || f.gradient.stops.size() > 15) a.fail("gradients take 1 to 15 stops");
    f.gradient.spread = parseSpread(a);
    f.gradient.interpolation = parseInterp(a);
    f.gradient.matrix = gradientMatrix(a, "");
    if (auto focal = a.option("focal")) f.gradient.focalPoint = parseNumber(*focal);
    if (end) {
      end->fill = f;
      auto endStops = a.option("end-stops");
      end->fill.gradient.stops = endStops ? parseStops(*endStops) : f.gradient.stops;
      if (end->fill.gradient.stops.size() != f.gradient.stops.size()) a.fail("end-stops= needs as many stops as stops=");
      if (a.has("end-box") || hasMatrix(a, "end-")) end->fill.gradient.matrix = gradientMatrix(a, "end-");
      if (auto focal = a.option("end-focal")) end->fill.gradient.focalPoint = parseNumber(*focal);
    }
  } else if (kind.text == "bitmap") {
    f.bitmapId = parseId(a.positional("the bitmap id"));
    bool clipped = a.flag("clipped"), hard = a.flag("hard");
    a.flag("repeat");
    f.kind = FillKind(0x40 | (clipped ? 1 : 0) | (hard ? 2 : 0));
    f.bitmapMatrix = parseMatrix(a, "");
    if (end) {
      end->fill = f;
      if (hasMatrix(a, "end-")) end->fill.bitmapMatrix = parseMatrix(a, "end-");
    }
  } else {
    a.fail("unknown fill kind '" + kind.text + "'");
  }
  return f;
}

void writeFill(SwfWriter& w, const FillStyle& f, int version) {
  w.u8(uint8_t(f.kind));
  auto color = [&](Rgba c) { version >= 3 ? w.rgba(c) : w.rgb(c); };
  if (f.kind == FillKind::Solid) {
    color(f.color);
  } else if (f.isBitmap()) {
    w.u16(f.bitmapId);
    w.matrix(f.bitmapMatrix);
  } else {
    w.matrix(f.gradient.matrix);
    w.ub(2, uint32_t(f.gradient.spread));
    w.ub(2, uint32_t(f.gradient.interpolation));
    w.ub(4, uint32_t(f.gradient.stops.size()));
    for (auto& s : f.gradient.stops) {
      w.u8(s.ratio);
      color(s.color);
    }
    if (f.kind == FillKind::FocalGradient) w.fixed8(f.gradient.focalPoint);
  }
}

void writeMorphFill(SwfWriter& w, const FillStyle& s, const FillStyle& e) {
  w.u8(uint8_t(s.kind));
  if (s.kind == FillKind::Solid) {
    w.rgba(s.color);
    w.rgba(e.color);
  } else if (s.isBitmap()) {
    w.u16(s.bitmapId);
    w.matrix(s.bitmapMatrix);
    w.matrix(e.bitmapMatrix);
  } else {
    w.matrix(s.gradient.matrix);
    w.matrix(e.gradient.matrix);
    w.ub(2, uint32_t(s.gradient.spread));
    w.ub(2, uint32_t(s.gradient.interpolation));
    w.ub(4, uint32_t(s.gradient.stops.size()));
    for (size_t i = 0; i < s.gradient.stops.size(); ++i) {
      w.u8(s.gradient.stops[i].ratio);
      w.rgba(s.gradient.stops[i].color);
      w.u8(e.gradient.stops[i].ratio);
      w.rgba(e.gradient.stops[i].color);
    }
    if (s.kind == FillKind::FocalGradient) {
      w.fixed8(s.gradient.focalPoint);
      w.fixed8(e.gradient.focalPoint);
    }
  }
}

namespace {

CapStyle parseCap(Args& a, const Word& w) {
  if (w.text == "round") return CapStyle::Round;
  if (w.text == "none") return CapStyle::None;
  if (w.text == "square") return CapStyle::Square;
  a.fail("caps are round, none or square");
}

// Splits `line ... fill KIND ...` at the word `fill`: the words before are the line's own.
Statement lineWords(const Statement& s, Statement& fillPart, bool& hasFill) {
  Statement own = s;
  own.words.clear();
  hasFill = false;
  for (size_t i = 0; i < s.words.size(); ++i) {
    if (i > 0 && !s.words[i].quoted && s.words[i].text == "fill" && !hasFill) {
      hasFill = true;
      fillPart = s;
      fillPart.words.assign(s.words.begin() + long(i), s.words.end());
      break;
    }
    own.words.push_back(s.words[i]);
  }
  return own;
}

}  // namespace

LineStyle parseLine(const Statement& s, int version, MorphLineEnd* end) {
  Statement fillPart;
  bool hasFill;
  Statement own = lineWords(s, fillPart, hasFill);
  Args a(own);
  LineStyle l;
  l.width = uint16_t(std::lround(parseTwips(a.positional("the line width"))));
  if (end) end->line.width = uint16_t(std::lround(parseTwips(a.positional("the end width"))));
  if (!hasFill) {
    l.color = parseColor(a.positional("the line colour"));
    if (end) end->line.color = parseColor(a.positional("the end colour"));
  }
  bool style2 = false;
  if (auto cap = a.option("cap")) l.startCap = l.endCap = parseCap(a, *cap), style2 = true;
  if (auto cap = a.option("startcap")) l.startCap = parseCap(a, *cap), style2 = true;
  if (auto cap = a.option("endcap")) l.endCap = parseCap(a, *cap), style2 = true;
  if (auto join = a.option("join")) {
    style2 = true;
    if (join->text == "round") l.join = JoinStyle::Round;
    else if (join->text == "bevel") l.join = JoinStyle::Bevel;
    else if (join->text == "miter") l.join = JoinStyle::Miter;
    else a.fail("joins are round, bevel or miter");
  }
  if (auto miter = a.option("miter")) l.miterLimit = parseNumber(*miter), style2 = true;
  if (a.flag("nohscale")) l.noHScale = style2 = true;
  if (a.flag("novscale")) l.noVScale = style2 = true;
  if (a.flag("hinting")) l.pixelHinting = style2 = true;
  if (a.flag("noclose")) l.noClose = style2 = true;
  a.finish();
  if (hasFill) {
    style2 = true;
    l.hasFill = true;
    Args fa(fillPart);
    MorphFillEnd fillEnd;
    l.fill = parseFill(fa, end ? &fillEnd : nullptr);
    fa.finish();
    if (end) end->line.fill = fillEnd.fill;
  }
  if (style2 && version < 4) throw AsmError(s.line, "caps, joins, scaling flags and filled lines need version=4 (version=2 for morphs)");
  if (end) {
    LineStyle e = l;
    e.width = end->line.width;
    e.color = end->line.color;
    e.fill = end->line.fill;
    end->line = e;
  }
  return l;
}

void writeLine(SwfWriter& w, const LineStyle& l, int version) {
  w.u16(l.width);
  if (version < 4) {
    version >= 3 ? w.rgba(l.color) : w.rgb(l.color);
    return;
  }
  w.ub(2, uint32_t(l.startCap));
  w.ub(2, uint32_t(l.join));
  w.flag(l.hasFill);
  w.flag(l.noHScale);
  w.flag(l.noVScale);
  w.flag(l.pixelHinting);
  w.ub(5, 0);
  w.flag(l.noClose);
  w.ub(2, uint32_t(l.endCap));
  if (l.join == JoinStyle::Miter) w.fixed8(l.miterLimit);
  if (l.hasFill)
    writeFill(w, l.fill, 4);
  else
    w.rgba(l.color);
}

void writeMorphLine(SwfWriter& w, const LineStyle& s, const LineStyle& e, int version) {
  w.u16(s.width);
  w.u16(e.width);
  if (version == 1) {
    w.rgba(s.color);
    w.rgba(e.color);
    return;
  }
  w.ub(2, uint32_t(s.startCap));
  w.ub(2, uint32_t(s.join));
  w.flag(s.hasFill);
  w.flag(s.noHScale);
  w.flag(s.noVScale);
  w.flag(s.pixelHinting);
  w.ub(5, 0);
  w.flag(s.noClose);
  w.ub(2, uint32_t(s.endCap));
  if (s.join == JoinStyle::Miter) w.fixed8(s.miterLimit);
  if (s.hasFill) {
    writeMorphFill(w, s.fill, e.fill);
  } else {
    w.rgba(s.color);
    w.rgba(e.color);
  }
}

// ---- edge records ----

void parseOutline(const std::vector<Statement>& block, Outline& out, const StyleParser* styles) {
  bool edgesSeen = false;
  for (const Statement& s : block) {
    const std::string& k = s.keyword();
    if (styles && (k == "fill" || k == "line" || k == "newstyles")) {
      if (k == "newstyles") {
        out.ops.push_back(OutlineOp::at(OutlineOp::NewStyles, s.line));
        out.groups.emplace_back();
        edgesSeen = false;
        Args(s).finish();
        continue;
      }
      if (edgesSeen) throw AsmError(s.line, "styles after edges need 'newstyles' first");
      (*styles)(s, out.groups.back());
      continue;
    }
    Args a(s);
    OutlineOp op = OutlineOp::at(OutlineOp::Move, s.line);
    auto styleOptions = [&] {
      if (auto w = a.option("fill0")) op.fill0 = uint16_t(parseInt(*w, 0, 65535));
      if (auto w = a.option("fill1")) op.fill1 = uint16_t(parseInt(*w, 0, 65535));
      if (auto w = a.option("line")) op.lineStyle = uint16_t(parseInt(*w, 0, 65535));
    };
    auto coord = [&](const char* what) { return int32_t(std::lround(parseTwips(a.positional(what)))); };
    if (k == "moveTo") {
      op.kind = OutlineOp::Move;
      op.x = coord("x");
      op.y = coord("y");
      styleOptions();
      out.ops.push_back(op);
    } else if (k == "use") {
      op.kind = OutlineOp::Style;
      styleOptions();
      out.ops.push_back(op);
    } else if (k == "lineTo") {
      op.kind = OutlineOp::Line;
      op.x = coord("x");
      op.y = coord("y");
      out.ops.push_back(op);
      edgesSeen = true;
    } else if (k == "curveTo") {
      op.kind = OutlineOp::Curve;
      op.cx = coord("control x");
      op.cy = coord("control y");
      op.x = coord("x");
      op.y = coord("y");
      out.ops.push_back(op);
      edgesSeen = true;
    } else if (k == "rect") {
      int32_t x = coord("x"), y = coord("y"), w = coord("width"), h = coord("height");
      op.kind = OutlineOp::Move;
      op.x = x;
      op.y = y;
      styleOptions();
      out.ops.push_back(op);
      int32_t pts[4][2] = {{x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}};
      for (auto& p : pts) out.ops.push_back(OutlineOp::at(OutlineOp::Line, s.line, p[0], p[1]));
      edgesSeen = true;
    } else {
      throw AsmError(s.line, "unknown outline statement '" + k + "'");
    }
    a.finish();
  }
}

Rect outlineBounds(const Outline& o) {
  Rect r;
  int32_t px = 0, py = 0;
  bool moved = false;
  for (const OutlineOp& op : o.ops) {
    switch (op.kind) {
      case OutlineOp::Move:
        px = op.x, py = op.y, moved = true;
        break;
      case OutlineOp::Line:
      case OutlineOp::Curve:
        r.include(Point{double(px), double(py)});
        if (op.kind == OutlineOp::Curve) r.include(Point{double(op.cx), double(op.cy)});
        r.include(Point{double(op.x), double(op.y)});
        px = op.x, py = op.y;
        break;
      default:
        break;
    }
  }
  (void)moved;
  if (r.empty()) r = Rect{0, 0, 0, 0};
  return r;
}

void writeOutline(SwfWriter& w, const Outline& o, int version, bool glyph, const StyleWriter* styles) {
  size_t group = 0;
  auto bitsFor = [&](size_t g, unsigned& fb, unsigned& lb) {
    if (glyph) {
      fb = 1, lb = 0;
      return;
    }
    fb = unsignedBits(o.groups[g].fills.size());
    lb = unsignedBits(o.groups[g].lines.size());
  };
  unsigned fillBits, lineBits;
  bitsFor(0, fillBits, lineBits);
  w.flush();
  w.ub(4, fillBits);
  w.ub(4, lineBits);
  int32_t px = 0, py = 0;
  bool firstMove = true;
  auto checkIndex = [&](const OutlineOp& op, uint16_t v, unsigned bits) {
    if (bits < 16 && v >= (1u << bits))
      throw AsmError(op.line, "style index " + std::to_string(v) + " is beyond the style table");
  };
  for (const OutlineOp& op : o.ops) {
    switch (op.kind) {
      case OutlineOp::NewStyles: {
        ++group;
        w.ub(1, 0);
        w.ub(5, 0x10);
        (*styles)(w, o.groups[group]);
        bitsFor(group, fillBits, lineBits);
        w.ub(4, fillBits);
        w.ub(4, lineBits);
        break;
      }
      case OutlineOp::Move:
      case OutlineOp::Style: {
        std::optional<uint16_t> fill1 = op.fill1;
        // A glyph's outline is filled with the text colour: style 1 on the right of its edges.
        if (glyph && firstMove && !op.fill0 && !op.fill1) fill1 = 1;
        if (op.kind == OutlineOp::Move) firstMove = false;
        unsigned flags = (op.kind == OutlineOp::Move ? 0x01 : 0) | (op.fill0 ? 0x02 : 0) | (fill1 ? 0x04 : 0) | (op.lineStyle ? 0x08 : 0);
        if (flags == 0) break;  // `use` with nothing
        w.ub(1, 0);
        w.ub(5, flags);
        if (op.kind == OutlineOp::Move) {
          unsigned n = std::max(signedBits(op.x), signedBits(op.y));
          w.ub(5, n);
          w.sb(n, op.x);
          w.sb(n, op.y);
          px = op.x, py = op.y;
        }
        if (op.fill0) checkIndex(op, *op.fill0, fillBits), w.ub(fillBits, *op.fill0);
        if (fill1) checkIndex(op, *fill1, fillBits), w.ub(fillBits, *fill1);
        if (op.lineStyle) checkIndex(op, *op.lineStyle, lineBits), w.ub(lineBits, *op.lineStyle);
        break;
      }
      case OutlineOp::Line: {
        int32_t dx = op.x - px, dy = op.y - py;
        unsigned n = std::max({signedBits(dx), signedBits(dy), 2u});
        if (n > 17) throw AsmError(op.line, "an edge longer than 65535 twips must be split");
        w.ub(1, 1);
        w.ub(1, 1);
        w.ub(4, n - 2);
        if (dx != 0 && dy != 0) {
          w.ub(1, 1);
          w.sb(n, dx);
          w.sb(n, dy);
        } else {
          w.ub(1, 0);
          w.ub(1, dx == 0 ? 1 : 0);
          w.sb(n, dx == 0 ? dy : dx);
        }
        px = op.x, py = op.y;
        break;
      }
      case OutlineOp::Curve: {
        int32_t v[4] = {op.cx - px, op.cy - py, op.x - op.cx, op.y - op.cy};
        unsigned n = 2;
        for (int32_t d : v) n = std::max(n, signedBits(d));
        if (n > 17) throw AsmError(op.line, "a curve longer than 65535 twips must be split");
        w.ub(1, 1);
        w.ub(1, 0);
        w.ub(4, n - 2);
        for (int32_t d : v) w.sb(n, d);
        px = op.x, py = op.y;
        break;
      }
    }
  }
  w.ub(1, 0);
  w.ub(5, 0);
  w.flush();
}

namespace {

void writeStyleTables(SwfWriter& w, const StyleTables& t, int version) {
  size_t fills = t.fills.size(), lines = t.lines.size();
  if (fills >= 255) {
    w.u8(0xFF);
    w.u16(uint32_t(fills));
  } else {
    w.u8(uint32_t(fills));
  }
  for (auto& f : t.fills) writeFill(w, f, version);
  if (lines >= 255) {
    w.u8(0xFF);
    w.u16(uint32_t(lines));
  } else {
    w.u8(uint32_t(lines));
  }
  for (auto& l : t.lines) writeLine(w, l, version);
}

Rect parseRect(Args& a, const char* key, Rect def) {
  auto w = a.option(key);
  if (!w) return def;
  auto p = splitList(*w);
  if (p.size() != 4) a.fail(std::string(key) + "= takes xmin,ymin,xmax,ymax");
  return {parseTwips(p[0]), parseTwips(p[1]), parseTwips(p[2]), parseTwips(p[3])};
}

Rect grow(Rect r, double by) { return {r.xMin - by, r.yMin - by, r.xMax + by, r.yMax + by}; }

}  // namespace

Rect parseBoundsOption(Args& a, const char* key, Rect def) { return parseRect(a, key, def); }

void assembleShape(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  int version = 1;
  if (auto v = a.option("version")) version = int(parseInt(*v, 1, 4));
  bool nonZero = a.flag("nonzero"), nonScaling = a.flag("nonscaling"), scaling = a.flag("scaling");
  Outline o;
  o.groups.emplace_back();
  StyleParser styles = [&](const Statement& st, StyleTables& t) {
    if (st.keyword() == "fill") {
      Args fa(st);
      t.fills.push_back(parseFill(fa, nullptr));
      fa.finish();
      if (t.fills.back().kind == FillKind::FocalGradient && version < 4)
        throw AsmError(st.line, "focal gradients need version=4");
    } else {
      t.lines.push_back(parseLine(st, version, nullptr));
    }
  };
  parseOutline(s.block, o, &styles);
  if (version == 1 && o.groups.size() > 1) throw AsmError(s.line, "newstyles needs version=2 or later");
  double widest = 0;
  for (auto& g : o.groups)
    for (auto& l : g.lines) widest = std::max(widest, double(l.width));
  Rect edges = outlineBounds(o);
  Rect edgeBounds = parseRect(a, "edgebounds", edges);
  Rect bounds = parseRect(a, "bounds", grow(edges, widest / 2));
  a.finish();
  SwfWriter w;
  w.u16(id);
  w.rect(bounds);
  if (version == 4) {
    w.rect(edgeBounds);
    w.ub(5, 0);
    w.flag(nonZero);
    w.flag(nonScaling);
    w.flag(scaling);
  } else if (nonZero || nonScaling || scaling) {
    a.fail("nonzero, nonscaling and scaling need version=4");
  }
  writeStyleTables(w, o.groups[0], version);
  StyleWriter sw = [&](SwfWriter& ww, const StyleTables& t) { writeStyleTables(ww, t, version); };
  writeOutline(w, o, version, false, &sw);
  static const uint16_t kCodes[] = {0, tag::DefineShape, tag::DefineShape2, tag::DefineShape3, tag::DefineShape4};
  out.add(kCodes[version], w.bytes);
  (void)ctx;
}

void assembleMorph(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  int version = 1;
  if (auto v = a.option("version")) version = int(parseInt(*v, 1, 2));
  bool nonScaling = a.flag("nonscaling"), scaling = a.flag("scaling");
  std::vector<FillStyle> startFills, endFills;
  std::vector<LineStyle> startLines, endLines;
  Outline start, end;
  start.groups.emplace_back();
  end.groups.emplace_back();
  bool haveStart = false, haveEnd = false;
  for (const Statement& st : s.block) {
    if (st.keyword() == "fill") {
      Args fa(st);
      MorphFillEnd e;
      startFills.push_back(parseFill(fa, &e));
      endFills.push_back(e.fill);
      fa.finish();
    } else if (st.keyword() == "line") {
      MorphLineEnd e;
      startLines.push_back(parseLine(st, version == 2 ? 4 : 3, &e));
      endLines.push_back(e.line);
    } else if (st.keyword() == "start" || st.keyword() == "end") {
      Args(st).finish();
      bool isStart = st.keyword() == "start";
      parseOutline(st.block, isStart ? start : end, nullptr);
      (isStart ? haveStart : haveEnd) = true;
    } else {
      throw AsmError(st.line, "a morph holds fill, line, start { } and end { }");
    }
  }
  if (!haveStart || !haveEnd) a.fail("a morph needs start { } and end { }");
  start.groups[0].fills = startFills;
  start.groups[0].lines = startLines;
  double widest = 0, endWidest = 0;
  for (auto& l : startLines) widest = std::max(widest, double(l.width));
  for (auto& l : endLines) endWidest = std::max(endWidest, double(l.width));
  Rect se = outlineBounds(start), ee = outlineBounds(end);
  Rect startBounds = parseRect(a, "bounds", grow(se, widest / 2));
  Rect endBounds = parseRect(a, "end-bounds", grow(ee, endWidest / 2));
  a.finish();
  SwfWriter w;
  w.u16(id);
  w.rect(startBounds);
  w.rect(endBounds);
  if (version == 2) {
    w.rect(se);
    w.rect(ee);
    w.ub(6, 0);
    w.flag(nonScaling);
    w.flag(scaling);
  }
  SwfWriter styles;
  size_t n = startFills.size();
  if (n >= 255) {
    styles.u8(0xFF);
    styles.u16(uint32_t(n));
  } else {
    styles.u8(uint32_t(n));
  }
  for (size_t i = 0; i < n; ++i) writeMorphFill(styles, startFills[i], endFills[i]);
  n = startLines.size();
  if (n >= 255) {
    styles.u8(0xFF);
    styles.u16(uint32_t(n));
  } else {
    styles.u8(uint32_t(n));
  }
  for (size_t i = 0; i < n; ++i) writeMorphLine(styles, startLines[i], endLines[i], version);
  writeOutline(styles, start, 3, false, nullptr);
  w.u32(uint32_t(styles.bytes.size()));  // offset from here to the end edges
  w.data(styles.bytes);
  // The end shape's records carry no styles: its tables are empty, so its style bits are zero.
  Outline endOnly = end;
  for (auto& op : endOnly.ops) op.fill0 = op.fill1 = op.lineStyle = std::nullopt;
  endOnly.groups.assign(1, StyleTables{});
  writeOutline(w, endOnly, 3, false, nullptr);
  out.add(version == 1 ? tag::DefineMorphShape : tag::DefineMorphShape2, w.bytes);
  (void)ctx;
}

}  // namespace vorlo::swfasm
