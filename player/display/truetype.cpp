#include "player/display/truetype.h"

#include <algorithm>
#include <map>

namespace vorlo::player {
namespace {

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> b) : b_(b) {}
  bool has(size_t at, size_t n) const { return at <= b_.size() && n <= b_.size() - at; }
  uint8_t u8(size_t at) const { return has(at, 1) ? b_[at] : 0; }
  uint16_t u16(size_t at) const { return has(at, 2) ? uint16_t(b_[at] << 8 | b_[at + 1]) : 0; }
  int16_t s16(size_t at) const { return int16_t(u16(at)); }
  uint32_t u32(size_t at) const { return uint32_t(u16(at)) << 16 | u16(at + 2); }
  size_t size() const { return b_.size(); }

 private:
  std::span<const uint8_t> b_;
};

struct Tables {
  size_t head = 0, hhea = 0, hmtx = 0, maxp = 0, loca = 0, glyf = 0, cmap = 0, os2 = 0;
  size_t glyfLength = 0, hmtxLength = 0, locaLength = 0;
};

struct Outline {
  std::vector<Edge> edges;
};

class GlyphReader {
 public:
  GlyphReader(const Reader& r, const Tables& t, bool longLoca, uint16_t numGlyphs)
      : r_(r), t_(t), longLoca_(longLoca), numGlyphs_(numGlyphs) {}

  // Appends glyph `index`'s contours, transformed by `m`, to `out`. Composite glyphs nest no deeper
  // than a few levels in real fonts; deeper (or circular) references are cut off.
  void append(uint16_t index, const Matrix& m, std::vector<Edge>& out, int depth = 0) const {
    if (index >= numGlyphs_ || depth > 8 || out.size() > 100000) return;
    size_t start, end;
    if (longLoca_) {
      start = r_.u32(t_.loca + size_t(index) * 4);
      end = r_.u32(t_.loca + size_t(index) * 4 + 4);
    } else {
      start = size_t(r_.u16(t_.loca + size_t(index) * 2)) * 2;
      end = size_t(r_.u16(t_.loca + size_t(index) * 2 + 2)) * 2;
    }
    if (end <= start || end > t_.glyfLength) return;
    size_t g = t_.glyf + start;
    int16_t contours = r_.s16(g);
    if (contours >= 0) appendSimple(g, size_t(contours), g + (end - start), m, out);
    else appendComposite(g + 10, g + (end - start), m, out, depth);
  }

 private:
  void appendSimple(size_t g, size_t contours, size_t limit, const Matrix& m, std::vector<Edge>& out) const {
    size_t endsAt = g + 10;
    if (!r_.has(endsAt, contours * 2 + 2)) return;
    std::vector<uint16_t> ends(contours);
    for (size_t i = 0; i < contours; ++i) ends[i] = r_.u16(endsAt + i * 2);
    size_t points = contours ? size_t(ends.back()) + 1 : 0;
    if (points > 20000) return;
    size_t p = endsAt + contours * 2;
    p += 2 + r_.u16(p);  // instructions
    std::vector<uint8_t> flags;
    flags.reserve(points);
    while (flags.size() < points) {
      if (p >= limit) return;
      uint8_t f = r_.u8(p++);
      flags.push_back(f);
      if (f & 8) {
        if (p >= limit) return;
        uint8_t repeat = r_.u8(p++);
        for (int k = 0; k < repeat && flags.size() < points; ++k) flags.push_back(f);
      }
    }
    std::vector<Point> pts(points);
    auto coords = [&](bool isX) {
      int v = 0;
      uint8_t shortBit = isX ? 2 : 4, sameBit = isX ? 16 : 32;
      for (size_t i = 0; i < points; ++i) {
        uint8_t f = flags[i];
        if (f & shortBit) {
          int d = r_.u8(p++);
          v += (f & sameBit) ? d : -d;
        } else if (!(f & sameBit)) {
          v += r_.s16(p);
          p += 2;
        }
        (isX ? pts[i].x : pts[i].y) = v;
      }
    };
    coords(true);
    coords(false);
    if (p > limit) return;
    size_t first = 0;
    for (size_t c = 0; c < contours; ++c) {
      size_t last = ends[c];
      if (last < first || last >= points) return;
      appendContour(pts, flags, first, last, m, out);
      first = last + 1;
    }
  }

  static void appendContour(const std::vector<Point>& pts, const std::vector<uint8_t>& flags, size_t first,
                            size_t last, const Matrix& m, std::vector<Edge>& out) {
    size_t n = last - first + 1;
    if (n < 2) return;
    auto on = [&](size_t i) { return (flags[first + i % n] & 1) != 0; };
    auto at = [&](size_t i) { return pts[first + i % n]; };
    auto mid = [](Point a, Point b) { return Point{(a.x + b.x) / 2, (a.y + b.y) / 2}; };
    // Start on an on-curve point (or the midpoint of two off-curve ones).
    size_t s = 0;
    while (s < n && !on(s)) ++s;
    Point start = s < n ? at(s) : mid(at(0), at(1));
    if (s == n) s = 0;
    Point cur = start;
    auto emit = [&](Point from, Point to, const Point* control) {
      Edge e;
      e.from = m.apply(from);
      e.to = m.apply(to);
      if (control) {
        e.curved = true;
        e.control = m.apply(*control);
      }
      e.fill0 = 1;
      out.push_back(e);
    };
    for (size_t k = 1; k <= n; ++k) {
      size_t i = s + k;
      Point p = at(i);
      if (on(i)) {
        emit(cur, p, nullptr);
        cur = p;
      } else {
        Point next = at(i + 1);
        Point end = on(i + 1) ? next : mid(p, next);
        if (on(i + 1)) ++k;
        emit(cur, end, &p);
        cur = end;
      }
    }
    if (cur.x != start.x || cur.y != start.y) emit(cur, start, nullptr);
  }

  void appendComposite(size_t p, size_t limit, const Matrix& m, std::vector<Edge>& out, int depth) const {
    for (int guard = 0; guard < 64 && p + 4 <= limit; ++guard) {
      uint16_t flags = r_.u16(p);
      uint16_t index = r_.u16(p + 2);
      p += 4;
      double dx, dy;
      if (flags & 1) {
        dx = r_.s16(p);
        dy = r_.s16(p + 2);
        p += 4;
      } else {
        dx = int8_t(r_.u8(p));
        dy = int8_t(r_.u8(p + 1));
        p += 2;
      }
      Matrix local{1, 0, 0, 1, dx, dy};
      auto f2dot14 = [&](size_t at) { return r_.s16(at) / 16384.0; };
      if (flags & 8) {
        local.a = local.d = f2dot14(p);
        p += 2;
      } else if (flags & 0x40) {
        local.a = f2dot14(p);
        local.d = f2dot14(p + 2);
        p += 4;
      } else if (flags & 0x80) {
        local.a = f2dot14(p);
        local.b = f2dot14(p + 2);
        local.c = f2dot14(p + 4);
        local.d = f2dot14(p + 6);
        p += 8;
      }
      append(index, m * local, out, depth + 1);
      if (!(flags & 0x20)) break;
    }
  }

  const Reader& r_;
  const Tables& t_;
  bool longLoca_;
  uint16_t numGlyphs_;
};

// Characters -> glyph indices from a format 4 or 12 subtable of the character map.
std::map<uint32_t, uint16_t> readCharacterMap(const Reader& r, size_t cmap) {
  std::map<uint32_t, uint16_t> map;
  uint16_t count = r.u16(cmap + 2);
  size_t best = 0;
  int bestRank = 0;
  for (uint16_t i = 0; i < count; ++i) {
    size_t rec = cmap + 4 + size_t(i) * 8;
    uint16_t platform = r.u16(rec), encoding = r.u16(rec + 2);
    size_t sub = cmap + r.u32(rec + 4);
    uint16_t format = r.u16(sub);
    int rank = 0;
    if (format == 4 && ((platform == 3 && encoding == 1) || platform == 0)) rank = 1;
    if (format == 12 && ((platform == 3 && encoding == 10) || platform == 0)) rank = 2;
    if (rank > bestRank) {
      bestRank = rank;
      best = sub;
    }
  }
  if (!bestRank) return map;
  if (r.u16(best) == 4) {
    size_t segments = r.u16(best + 6) / 2;
    size_t ends = best + 14, starts = ends + segments * 2 + 2, deltas = starts + segments * 2,
           offsets = deltas + segments * 2;
    for (size_t s = 0; s < segments; ++s) {
      uint16_t end = r.u16(ends + s * 2), start = r.u16(starts + s * 2);
      uint16_t delta = r.u16(deltas + s * 2), offset = r.u16(offsets + s * 2);
      for (uint32_t c = start; c <= end && c != 0xFFFF; ++c) {
        uint16_t glyph;
        if (offset == 0) {
          glyph = uint16_t(c + delta);
        } else {
          size_t at = offsets + s * 2 + offset + (c - start) * 2;
          glyph = r.u16(at);
          if (glyph) glyph = uint16_t(glyph + delta);
        }
        if (glyph) map[c] = glyph;
      }
    }
  } else {
    uint32_t groups = std::min<uint32_t>(r.u32(best + 12), 100000);
    for (uint32_t g = 0; g < groups; ++g) {
      size_t rec = best + 16 + size_t(g) * 12;
      if (!r.has(rec, 12)) break;
      uint32_t start = r.u32(rec), end = std::min<uint32_t>(r.u32(rec + 4), 0xFFFF), glyph = r.u32(rec + 8);
      for (uint32_t c = start; c <= end && glyph + (c - start) < 0x10000; ++c) map[c] = uint16_t(glyph + (c - start));
    }
  }
  return map;
}

}  // namespace

std::unique_ptr<Font> readTrueType(std::span<const uint8_t> bytes, std::string* error, size_t maxGlyphs,
                                   uint32_t faceIndex) {
  Reader r(bytes);
  auto fail = [&](const char* why) {
    if (error) *error = why;
    return nullptr;
  };
  // A collection ('ttcf') lists the table directories of its faces; tables are shared and their
  // offsets count from the start of the file either way.
  size_t directory = 0;
  if (r.u32(0) == 0x74746366) {
    uint32_t faces = r.u32(8);
    if (faceIndex >= faces || !r.has(12, size_t(faceIndex) * 4 + 4)) return fail("no such face in the font collection");
    directory = r.u32(12 + size_t(faceIndex) * 4);
  } else if (faceIndex != 0) {
    return fail("no such face in the font file");
  }
  uint32_t version = r.u32(directory);
  if (version != 0x00010000 && version != 0x74727565) return fail("not a TrueType font");
  uint16_t numTables = r.u16(directory + 4);
  if (!r.has(directory + 12, size_t(numTables) * 16)) return fail("the table directory is cut short");
  Tables t;
  for (uint16_t i = 0; i < numTables; ++i) {
    size_t rec = directory + 12 + size_t(i) * 16;
    uint32_t tag = r.u32(rec), offset = r.u32(rec + 8), length = r.u32(rec + 12);
    if (!r.has(offset, length)) return fail("a table lies beyond the end of the file");
    switch (tag) {
      case 0x68656164: t.head = offset; break;
      case 0x68686561: t.hhea = offset; break;
      case 0x686D7478: t.hmtx = offset; t.hmtxLength = length; break;
      case 0x6D617870: t.maxp = offset; break;
      case 0x6C6F6361: t.loca = offset; t.locaLength = length; break;
      case 0x676C7966: t.glyf = offset; t.glyfLength = length; break;
      case 0x636D6170: t.cmap = offset; break;
      case 0x4F532F32: t.os2 = offset; break;
    }
  }
  if (!t.head || !t.hhea || !t.hmtx || !t.maxp || !t.loca || !t.glyf || !t.cmap)
    return fail("no glyph outlines (only TrueType outlines are read)");
  double unitsPerEm = r.u16(t.head + 18);
  if (unitsPerEm < 16) return fail("bad units per em");
  bool longLoca = r.s16(t.head + 50) != 0;
  uint16_t numGlyphs = r.u16(t.maxp + 4);
  if (t.locaLength < (size_t(numGlyphs) + 1) * (longLoca ? 4 : 2)) return fail("the glyph index is cut short");
  uint16_t hMetrics = std::max<uint16_t>(1, r.u16(t.hhea + 34));

  auto font = std::make_unique<Font>();
  font->version = 3;
  // Glyphs in the em square of DefineFont3: 20480 units, y growing downwards.
  font->emSquare = 20480;
  double scale = font->emSquare / unitsPerEm;
  font->ascent = r.s16(t.hhea + 4) * scale;
  font->descent = -r.s16(t.hhea + 6) * scale;
  font->leading = r.s16(t.hhea + 8) * scale;
  font->hasLayout = true;
  GlyphReader glyphs(r, t, longLoca, numGlyphs);
  Matrix toEm{scale, 0, 0, -scale, 0, 0};
  for (auto [code, index] : readCharacterMap(r, t.cmap)) {
    if (code > 0xFFFF || font->glyphs.size() >= maxGlyphs) break;
    Glyph g;
    g.code = uint16_t(code);
    uint16_t metric = std::min<uint16_t>(index, uint16_t(hMetrics - 1));
    g.advance = r.u16(t.hmtx + size_t(metric) * 4) * scale;
    StyleGroup group;
    glyphs.append(index, toEm, group.edges);
    for (const Edge& e : group.edges) {
      g.bounds.include(e.from);
      g.bounds.include(e.to);
      if (e.curved) g.bounds.include(e.control);
    }
    g.shape.bounds = g.shape.edgeBounds = g.bounds;
    g.shape.nonZeroWinding = true;
    g.shape.groups.push_back(std::move(group));
    font->glyphs.push_back(std::move(g));
  }
  if (font->glyphs.empty()) return fail("the character map names no glyphs");
  return font;
}

}  // namespace vorlo::player
