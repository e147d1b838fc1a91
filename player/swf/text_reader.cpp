// Fonts (DefineFont 1-3 and the tags that complete them) and text (DefineText 1-2, DefineEditText).
#include "player/swf/read_context.h"
#include "player/swf/tag_codes.h"

namespace vorlo::player {

namespace {

void damaged(ReadContext& ctx, uint16_t code, uint16_t id) {
  ctx.warn(std::string(tag::name(code)) + " " + std::to_string(id) + " is damaged: left out");
}

// A glyph's shape: its records between two offsets of the tag.
bool readGlyph(ReadContext& ctx, std::span<const uint8_t> data, Glyph& g) {
  SwfReader r(data);
  g.shape.groups.resize(1);
  if (!readShapeRecords(ctx, r, 1, false, g.shape.groups)) return false;
  for (const Edge& e : g.shape.groups[0].edges) {
    g.shape.bounds.include(e.from);
    g.shape.bounds.include(e.to);
    if (e.curved) g.shape.bounds.include(e.control);
  }
  g.shape.edgeBounds = g.shape.bounds;
  return true;
}

// The glyph shapes of a font tag: `offsets` are from `base` (the start of the offset table),
// each glyph ending where the next begins (the last at `end`).
bool readGlyphs(ReadContext& ctx, std::span<const uint8_t> body, size_t base, const std::vector<uint32_t>& offsets,
                size_t end, std::vector<Glyph>& glyphs) {
  if (!ctx.charge(offsets.size() * sizeof(Glyph), "glyphs")) return false;
  glyphs.resize(offsets.size());
  for (size_t i = 0; i < offsets.size(); ++i) {
    // Offsets are checked before they are added, so that a huge one cannot wrap a 32-bit size.
    if (offsets[i] > body.size() - base || (i + 1 < offsets.size() && offsets[i + 1] > body.size() - base)) return false;
    size_t from = base + offsets[i];
    size_t to = i + 1 < offsets.size() ? base + offsets[i + 1] : end;
    if (from > to || to > body.size()) return false;
    if (!readGlyph(ctx, body.subspan(from, to - from), glyphs[i])) return false;
  }
  return true;
}

void readFont1(ReadContext& ctx, uint16_t code, uint16_t id, SwfReader& r, std::span<const uint8_t> body) {
  Font f;
  f.version = 1;
  if (r.atEnd()) {  // a font of no glyphs (device text only)
    ctx.define(id, std::move(f), code);
    return;
  }
  size_t base = r.position();
  uint16_t first = r.u16();
  if (!r.ok() || first < 2) return damaged(ctx, code, id);
  size_t count = first / 2;
  std::vector<uint32_t> offsets;
  if (count * 2 > body.size() - base) return damaged(ctx, code, id);
  offsets.push_back(first);
  for (size_t i = 1; i < count; ++i) offsets.push_back(r.u16());
  if (!r.ok() || !readGlyphs(ctx, body, base, offsets, body.size(), f.glyphs)) return damaged(ctx, code, id);
  for (size_t i = 0; i < f.glyphs.size(); ++i) f.glyphs[i].code = uint16_t(i);
  ctx.define(id, std::move(f), code);
}

void readFont23(ReadContext& ctx, uint16_t code, uint16_t id, SwfReader& r, std::span<const uint8_t> body) {
  Font f;
  f.version = code == tag::DefineFont2 ? 2 : 3;
  f.emSquare = f.version == 3 ? 20480 : 1024;
  f.hasLayout = r.flag();
  f.shiftJis = r.flag();
  f.smallText = r.flag();
  f.ansi = r.flag();
  bool wideOffsets = r.flag();
  bool wideCodes = r.flag();
  f.italic = r.flag();
  f.bold = r.flag();
  r.u8();  // language code
  uint8_t nameLength = r.u8();
  auto name = r.bytes(nameLength);
  while (!name.empty() && name.back() == 0) name = name.first(name.size() - 1);
  f.name = ctx.text(name);
  uint16_t count = r.u16();
  if (!r.ok()) return damaged(ctx, code, id);
  size_t base = r.position();
  std::vector<uint32_t> offsets;
  if (size_t(count) * (wideOffsets ? 4 : 2) > r.remaining()) return damaged(ctx, code, id);
  offsets.reserve(count);
  for (uint16_t i = 0; i < count; ++i) offsets.push_back(wideOffsets ? r.u32() : r.u16());
  uint32_t codeTableOffset = count > 0 || r.remaining() >= (wideOffsets ? 4u : 2u) ? (wideOffsets ? r.u32() : r.u16()) : 0;
  if (!r.ok()) return damaged(ctx, code, id);
  if (codeTableOffset > body.size() - base) return damaged(ctx, code, id);
  size_t codeTable = base + codeTableOffset;
  if (count > 0 && (codeTable > body.size() || !readGlyphs(ctx, body, base, offsets, codeTable, f.glyphs)))
    return damaged(ctx, code, id);
  SwfReader c(body.subspan(std::min(codeTable, body.size())));
  // DefineFont3 always has wide codes.
  bool wide = wideCodes || f.version == 3;
  for (auto& g : f.glyphs) g.code = wide ? c.u16() : c.u8();
  if (count > 0 && !c.ok()) return damaged(ctx, code, id);
  if (f.hasLayout) {
    f.ascent = c.u16();
    f.descent = c.u16();
    f.leading = c.s16();
    for (auto& g : f.glyphs) g.advance = c.s16();
    for (auto& g : f.glyphs) g.bounds = c.rect();
    if (!c.ok()) {
      ctx.warn(std::string(tag::name(code)) + " " + std::to_string(id) + ": the layout is cut off and left out");
      f.hasLayout = false;
      f.ascent = f.descent = f.leading = 0;
      for (auto& g : f.glyphs) {
        g.advance = 0;
        g.bounds = Rect{};
      }
    } else if (c.remaining() >= 2) {
      // Some tools leave the kerning count out altogether.
      uint16_t kerningCount = c.u16();
      for (uint16_t i = 0; i < kerningCount && c.ok(); ++i) {
        uint16_t a = wide ? c.u16() : c.u8();
        uint16_t b = wide ? c.u16() : c.u8();
        int16_t adjust = c.s16();
        if (c.ok()) f.kerning[{a, b}] = adjust;
      }
    }
  }
  ctx.define(id, std::move(f), code);
}

void readFontInfo(ReadContext& ctx, uint16_t code, uint16_t id, SwfReader& r) {
  uint8_t nameLength = r.u8();
  auto name = r.bytes(nameLength);
  while (!name.empty() && name.back() == 0) name = name.first(name.size() - 1);
  r.ub(2);
  bool smallText = r.flag(), shiftJis = r.flag(), ansi = r.flag(), italic = r.flag(), bold = r.flag();
  bool wide = r.flag();
  if (code == tag::DefineFontInfo2) {
    r.u8();  // language code
    wide = true;
  }
  if (!r.ok()) return damaged(ctx, code, id);
  Font* f = ctx.edit<Font>(id);
  if (!f) return;
  f->name = ctx.text(name);
  f->smallText = smallText;
  f->shiftJis = shiftJis;
  f->ansi = ansi;
  f->italic = italic;
  f->bold = bold;
  for (auto& g : f->glyphs) {
    uint16_t c = wide ? r.u16() : r.u8();
    if (!r.ok()) break;
    g.code = c;
  }
  if (!r.ok()) damaged(ctx, code, id);
}

void readAlignZones(ReadContext& ctx, uint16_t code, uint16_t id, SwfReader& r) {
  uint8_t hint = uint8_t(r.ub(2));
  r.ub(6);
  Font* f = ctx.edit<Font>(id);
  if (!f) return;
  std::vector<std::array<float, 4>> zones;
  while (!r.atEnd() && zones.size() < f->glyphs.size()) {
    uint8_t n = r.u8();
    float v[4] = {0, 0, 0, 0};
    for (unsigned i = 0; i < n; ++i) {
      float coordinate = r.f16(), range = r.f16();
      if (i < 2) {
        v[i] = coordinate;
        v[i + 2] = range;
      }
    }
    r.u8();  // which of the two zones are set
    if (!r.ok()) break;
    zones.push_back({v[0], v[1], v[2], v[3]});
  }
  if (!r.ok()) return damaged(ctx, code, id);
  f->csmThickness = hint;
  f->alignZones = std::move(zones);
}

}  // namespace

void readFontTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body) {
  SwfReader r(body);
  uint16_t id = r.u16();
  if (!r.ok()) return damaged(ctx, code, id);
  switch (code) {
    case tag::DefineFont:
      return readFont1(ctx, code, id, r, body);
    case tag::DefineFont2:
    case tag::DefineFont3:
      return readFont23(ctx, code, id, r, body);
    case tag::DefineFontInfo:
    case tag::DefineFontInfo2:
      return readFontInfo(ctx, code, id, r);
    case tag::DefineFontAlignZones:
      return readAlignZones(ctx, code, id, r);
    case tag::DefineFontName: {
      std::string name = ctx.cstring(r);
      std::string copyright = ctx.cstring(r);
      if (!r.ok()) return damaged(ctx, code, id);
      if (Font* f = ctx.edit<Font>(id)) {
        f->fullName = std::move(name);
        f->copyright = std::move(copyright);
      }
      return;
    }
    default:
      return;
  }
}

namespace {

void readStaticText(ReadContext& ctx, uint16_t code, uint16_t id, SwfReader& r) {
  StaticText t;
  t.version = code == tag::DefineText ? 1 : 2;
  t.bounds = r.rect();
  t.matrix = r.matrix();
  unsigned glyphBits = r.u8(), advanceBits = r.u8();
  if (glyphBits > 32 || advanceBits > 32) r.fail();
  TextRecord current;
  while (r.ok()) {
    uint8_t flags = r.u8();
    if (flags == 0) break;
    TextRecord rec;
    rec.fontId = current.fontId;
    rec.color = current.color;
    rec.height = current.height;
    rec.y = current.y;
    rec.x = current.x;
    if (flags & 0x08) rec.fontId = r.u16();
    if (flags & 0x04) rec.color = t.version == 2 ? r.rgba() : r.rgb();
    if (flags & 0x01) rec.x = r.s16();
    if (flags & 0x02) rec.y = r.s16();
    if (flags & 0x08) rec.height = r.u16();
    uint8_t count = r.u8();
    rec.glyphs.resize(count);
    double x = rec.x;
    for (auto& g : rec.glyphs) {
      g.index = r.ub(glyphBits);
      g.advance = r.sb(advanceBits);
      x += g.advance;
    }
    r.align();
    if (!r.ok() || !ctx.charge(sizeof(TextRecord) + count * sizeof(TextGlyph), "text records")) break;
    // The next record without an x offset starts where this one's glyphs end.
    current = rec;
    current.x = x;
    current.glyphs.clear();
    t.records.push_back(std::move(rec));
  }
  if (!r.ok()) return damaged(ctx, code, id);
  ctx.define(id, std::move(t), code);
}

void readEditText(ReadContext& ctx, uint16_t code, uint16_t id, SwfReader& r) {
  EditText e;
  e.bounds = r.rect();
  bool hasText = r.flag();
  e.wordWrap = r.flag();
  e.multiline = r.flag();
  e.password = r.flag();
  e.readOnly = r.flag();
  bool hasColor = r.flag(), hasMaxLength = r.flag(), hasFont = r.flag();
  bool hasFontClass = r.flag();
  e.autoSize = r.flag();
  bool hasLayout = r.flag();
  e.noSelect = r.flag();
  e.border = r.flag();
  e.wasStatic = r.flag();
  e.html = r.flag();
  e.useOutlines = r.flag();
  if (hasFont) e.fontId = r.u16();
  if (hasFontClass) e.fontClass = ctx.cstring(r);
  if (hasFont || hasFontClass) e.fontHeight = r.u16();
  if (hasColor) e.textColor = r.rgba();
  if (hasMaxLength) e.maxLength = r.u16();
  if (hasLayout) {
    uint8_t align = r.u8();
    e.align = align <= 3 ? TextAlign(align) : TextAlign::Left;
    e.leftMargin = r.u16();
    e.rightMargin = r.u16();
    e.indent = r.u16();
    e.leading = r.s16();
  }
  e.variableName = ctx.cstring(r);
  if (hasText) e.initialText = ctx.cstring(r);
  if (!r.ok()) return damaged(ctx, code, id);
  if (!ctx.charge(e.variableName.size() + e.initialText.size(), "text")) return;
  ctx.define(id, std::move(e), code);
}

}  // namespace

void readTextTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body) {
  SwfReader r(body);
  uint16_t id = r.u16();
  if (code == tag::CsmTextSettings) {
    uint8_t flags = r.u8();
    float thickness = r.f32(), sharpness = r.f32();
    if (!r.ok()) return;
    if (EditText* e = ctx.edit<EditText>(id)) {
      e->antiAlias = uint8_t(flags >> 6);
      e->gridFit = uint8_t((flags >> 3) & 7);
      e->thickness = thickness;
      e->sharpness = sharpness;
    }
    return;
  }
  if (code == tag::DefineEditText)
    readEditText(ctx, code, id, r);
  else
    readStaticText(ctx, code, id, r);
}

}  // namespace vorlo::player
