// font (DefineFont 1-3 with DefineFontInfo), alignzones, text (DefineText 1-2), edittext and
// button (DefineButton 1-2).
#include <cmath>

#include "player/swf/tag_codes.h"
#include "tools/swf/assembler_internal.h"
#include "tools/swf/shape_build.h"

namespace vorlo::swfasm {

using namespace player;

namespace {

// A glyph's code: a quoted character ("A") or a number.
uint16_t parseCode(const Word& w) {
  if (!w.quoted) return uint16_t(parseInt(w, 0, 65535));
  const std::string& t = w.text;
  if (t.empty()) throw AsmError(w.line, "an empty character");
  uint8_t c = uint8_t(t[0]);
  if (c < 0x80) return c;
  if ((c & 0xE0) == 0xC0 && t.size() >= 2) return uint16_t((c & 0x1F) << 6 | (t[1] & 0x3F));
  if ((c & 0xF0) == 0xE0 && t.size() >= 3) return uint16_t((c & 0x0F) << 12 | (t[1] & 0x3F) << 6 | (t[2] & 0x3F));
  throw AsmError(w.line, "glyph codes are UTF-16 units: one character of the basic plane");
}

struct GlyphText {
  uint16_t code = 0;
  int advance = 0;
  std::optional<Rect> bounds;
  Outline outline;
};

}  // namespace

void assembleFont(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  int version = int(parseInt(a.option("version").value_or(Word{"2"}), 1, 3));
  std::string name = a.option("name").value_or(Word{}).text;
  bool bold = a.flag("bold"), italic = a.flag("italic"), small = a.flag("small"), ansi = a.flag("ansi"),
       shiftJis = a.flag("shiftjis"), wideCodes = a.flag("widecodes") || version == 3, wideOffsets = a.flag("wideoffsets");
  int language = int(parseInt(a.option("language").value_or(Word{"0"}), 0, 255));
  int info = int(parseInt(a.option("info").value_or(Word{"1"}), 1, 2));
  bool layout = a.flag("layout") || a.has("ascent");
  int ascent = int(parseInt(a.option("ascent").value_or(Word{"0"}), 0, 65535));
  int descent = int(parseInt(a.option("descent").value_or(Word{"0"}), 0, 65535));
  int leading = int(parseInt(a.option("leading").value_or(Word{"0"}), -32768, 32767));
  bool noInfo = a.flag("noinfo");
  a.finish();
  std::vector<GlyphText> glyphs;
  std::vector<std::tuple<uint16_t, uint16_t, int16_t>> kerning;
  for (const Statement& g : s.block) {
    Args ga(g);
    if (g.keyword() == "kerning") {
      uint16_t c1 = parseCode(ga.positional("the first code")), c2 = parseCode(ga.positional("the second code"));
      kerning.emplace_back(c1, c2, int16_t(parseInt(ga.positional("the adjustment"), -32768, 32767)));
      ga.finish();
      continue;
    }
    if (g.keyword() != "glyph") throw AsmError(g.line, "a font holds glyph and kerning statements");
    GlyphText gt;
    gt.code = parseCode(ga.positional("the glyph's character or code"));
    gt.advance = int(parseInt(ga.option("advance").value_or(Word{"0"}), -32768, 32767));
    if (ga.has("bounds")) gt.bounds = parseBoundsOption(ga, "bounds", Rect{});
    ga.finish();
    gt.outline.groups.emplace_back();
    parseOutline(g.block, gt.outline, nullptr);
    glyphs.push_back(std::move(gt));
  }
  // The glyph shapes, each one's records on its own bytes.
  std::vector<std::vector<uint8_t>> shapes;
  for (auto& g : glyphs) {
    SwfWriter w;
    writeOutline(w, g.outline, 1, true, nullptr);
    shapes.push_back(w.bytes);
  }
  SwfWriter w;
  w.u16(id);
  if (version == 1) {
    size_t offset = glyphs.size() * 2;
    for (auto& sh : shapes) {
      w.u16(uint32_t(offset));
      offset += sh.size();
    }
    for (auto& sh : shapes) w.data(sh);
    out.add(tag::DefineFont, w.bytes);
    if (noInfo) return;
    SwfWriter fi;
    fi.u16(id);
    fi.u8(uint32_t(name.size()));
    fi.data(std::vector<uint8_t>(name.begin(), name.end()));
    bool wide = wideCodes || info == 2;
    fi.ub(2, 0);
    fi.flag(small);
    fi.flag(shiftJis);
    fi.flag(ansi);
    fi.flag(italic);
    fi.flag(bold);
    fi.flag(wide);
    if (info == 2) fi.u8(uint32_t(language));
    for (auto& g : glyphs) wide ? fi.u16(g.code) : fi.u8(g.code);
    out.add(info == 1 ? tag::DefineFontInfo : tag::DefineFontInfo2, fi.bytes);
    return;
  }
  size_t tableBytes = 0;
  for (auto& sh : shapes) tableBytes += sh.size();
  if ((glyphs.size() + 1) * 2 + tableBytes > 0xFFFF) wideOffsets = true;
  w.flag(layout);
  w.flag(shiftJis);
  w.flag(small);
  w.flag(ansi);
  w.flag(wideOffsets);
  w.flag(wideCodes);
  w.flag(italic);
  w.flag(bold);
  w.u8(uint32_t(language));
  w.u8(uint32_t(name.size()));
  w.data(std::vector<uint8_t>(name.begin(), name.end()));
  w.u16(uint32_t(glyphs.size()));
  size_t entry = wideOffsets ? 4 : 2;
  size_t offset = (glyphs.size() + 1) * entry;
  auto put = [&](size_t v) { wideOffsets ? w.u32(uint32_t(v)) : w.u16(uint32_t(v)); };
  for (auto& sh : shapes) {
    put(offset);
    offset += sh.size();
  }
  put(offset);  // the code table follows the shapes
  for (auto& sh : shapes) w.data(sh);
  for (auto& g : glyphs) wideCodes ? w.u16(g.code) : w.u8(g.code);
  if (layout) {
    w.u16(uint32_t(ascent));
    w.u16(uint32_t(descent));
    w.u16(uint32_t(uint16_t(int16_t(leading))));
    for (auto& g : glyphs) w.u16(uint32_t(uint16_t(int16_t(g.advance))));
    for (auto& g : glyphs) w.rect(g.bounds.value_or(outlineBounds(g.outline)));
    w.u16(uint32_t(kerning.size()));
    for (auto& [c1, c2, adj] : kerning) {
      wideCodes ? w.u16(c1) : w.u8(c1);
      wideCodes ? w.u16(c2) : w.u8(c2);
      w.u16(uint32_t(uint16_t(adj)));
    }
  } else if (!kerning.empty()) {
    a.fail("kerning needs the font's layout (ascent=, descent=, leading=)");
  }
  out.add(version == 2 ? tag::DefineFont2 : tag::DefineFont3, w.bytes);
  (void)ctx;
}

void assembleAlignZones(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the font id"));
  unsigned hint = unsigned(parseInt(a.option("hint").value_or(Word{"0"}), 0, 3));
  a.finish();
  SwfWriter w;
  w.u16(id);
  w.ub(2, hint);
  w.ub(6, 0);
  for (const Statement& z : s.block) {
    if (z.keyword() != "zone") throw AsmError(z.line, "alignzones holds zone statements: zone x y width height");
    Args za(z);
    float v[4];
    for (float& f : v) f = float(parseNumber(za.positional("a zone value")));
    za.finish();
    w.u8(2);
    w.f16(v[0]);
    w.f16(v[2]);
    w.f16(v[1]);
    w.f16(v[3]);
    w.u8(3);
  }
  out.add(tag::DefineFontAlignZones, w.bytes);
  (void)ctx;
}

void assembleText(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  int version = int(parseInt(a.option("version").value_or(Word{"1"}), 1, 2));
  Matrix m = parseMatrix(a);
  Rect bounds = parseBoundsOption(a, "bounds", Rect{0, 0, 0, 0});
  a.finish();
  struct Rec {
    std::optional<uint16_t> font;
    std::optional<Rgba> color;
    std::optional<int> x, y;
    int height = 0;
    std::vector<std::pair<uint32_t, int32_t>> glyphs;
  };
  std::vector<Rec> recs;
  uint32_t maxIndex = 0;
  int32_t maxAdvance = 0;
  for (const Statement& r : s.block) {
    if (r.keyword() != "record") throw AsmError(r.line, "a text holds record statements");
    Args ra(r);
    Rec rec;
    if (auto f = ra.option("font")) rec.font = parseId(*f);
    if (auto h = ra.option("height")) rec.height = int(std::lround(parseTwips(*h)));
    if (rec.font.has_value() != ra.has("height")) ra.fail("font= and height= go together");
    if (auto c = ra.option("color")) rec.color = parseColor(*c);
    if (auto x = ra.option("x")) rec.x = int(std::lround(parseTwips(*x)));
    if (auto y = ra.option("y")) rec.y = int(std::lround(parseTwips(*y)));
    if (auto g = ra.option("glyphs")) {
      for (const Word& part : splitList(*g)) {
        auto pair = splitList(part, ':');
        if (pair.size() != 2) throw AsmError(r.line, "glyphs= takes INDEX:ADVANCE,...");
        uint32_t index = uint32_t(parseInt(pair[0], 0, 0xFFFF));
        int32_t advance = int32_t(std::lround(parseTwips(pair[1])));
        rec.glyphs.push_back({index, advance});
        maxIndex = std::max(maxIndex, index);
        maxAdvance = std::max(maxAdvance, std::abs(advance));
      }
    }
    ra.finish();
    if (rec.glyphs.size() > 255) ra.fail("a record holds at most 255 glyphs");
    recs.push_back(std::move(rec));
  }
  unsigned glyphBits = std::max(1u, unsignedBits(maxIndex)), advanceBits = signedBits(maxAdvance);
  SwfWriter w;
  w.u16(id);
  w.rect(bounds);
  w.matrix(m);
  w.u8(glyphBits);
  w.u8(advanceBits);
  for (auto& r : recs) {
    uint8_t flags = uint8_t(0x80 | (r.font ? 0x08 : 0) | (r.color ? 0x04 : 0) | (r.y ? 0x02 : 0) | (r.x ? 0x01 : 0));
    w.u8(flags);
    if (r.font) w.u16(*r.font);
    if (r.color) version == 2 ? w.rgba(*r.color) : w.rgb(*r.color);
    if (r.x) w.u16(uint32_t(uint16_t(int16_t(*r.x))));
    if (r.y) w.u16(uint32_t(uint16_t(int16_t(*r.y))));
    if (r.font) w.u16(uint32_t(r.height));
    w.u8(uint32_t(r.glyphs.size()));
    for (auto& [index, advance] : r.glyphs) {
      w.ub(glyphBits, index);
      w.sb(advanceBits, advance);
    }
    w.flush();
  }
  w.u8(0);
  out.add(version == 1 ? tag::DefineText : tag::DefineText2, w.bytes);
  (void)ctx;
}

void assembleEditText(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  Rect bounds = parseBoundsOption(a, "bounds", Rect{0, 0, 2000, 400});
  std::optional<uint16_t> font;
  if (auto f = a.option("font")) font = parseId(*f);
  std::optional<std::string> fontClass;
  if (auto f = a.option("fontclass")) fontClass = f->text;
  uint16_t height = uint16_t(std::lround(parseTwips(a.option("height").value_or(Word{"240"}))));
  std::optional<Rgba> color;
  if (auto c = a.option("color")) color = parseColor(*c);
  std::optional<uint16_t> maxLength;
  if (auto m = a.option("maxlength")) maxLength = uint16_t(parseInt(*m, 0, 65535));
  bool layout = a.has("align") || a.has("margins") || a.has("indent") || a.has("leading");
  int align = 0;
  if (auto al = a.option("align")) {
    static const char* kAligns[] = {"left", "right", "center", "justify"};
    align = -1;
    for (int i = 0; i < 4; ++i)
      if (al->text == kAligns[i]) align = i;
    if (align < 0) a.fail("align= is left, right, center or justify");
  }
  uint16_t left = 0, right = 0;
  if (auto m = a.option("margins")) {
    auto p = splitList(*m);
    if (p.size() != 2) a.fail("margins= takes left,right");
    left = uint16_t(std::lround(parseTwips(p[0])));
    right = uint16_t(std::lround(parseTwips(p[1])));
  }
  uint16_t indent = uint16_t(std::lround(parseTwips(a.option("indent").value_or(Word{"0"}))));
  int16_t leading = int16_t(std::lround(parseTwips(a.option("leading").value_or(Word{"0"}))));
  std::string variable = a.option("var").value_or(Word{}).text;
  std::optional<std::string> text;
  if (auto t = a.option("text")) text = t->text;
  bool wordWrap = a.flag("wordwrap"), multiline = a.flag("multiline"), password = a.flag("password"),
       readOnly = a.flag("readonly"), autoSize = a.flag("autosize"), noSelect = a.flag("noselect"),
       border = a.flag("border"), wasStatic = a.flag("wasstatic"), html = a.flag("html"), outlines = a.flag("outlines");
  a.finish();
  SwfWriter w;
  w.u16(id);
  w.rect(bounds);
  w.flag(text.has_value());
  w.flag(wordWrap);
  w.flag(multiline);
  w.flag(password);
  w.flag(readOnly);
  w.flag(color.has_value());
  w.flag(maxLength.has_value());
  w.flag(font.has_value());
  w.flag(fontClass.has_value());
  w.flag(autoSize);
  w.flag(layout);
  w.flag(noSelect);
  w.flag(border);
  w.flag(wasStatic);
  w.flag(html);
  w.flag(outlines);
  if (font) w.u16(*font);
  if (fontClass) w.cstring(*fontClass);
  if (font || fontClass) w.u16(height);
  if (color) w.rgba(*color);
  if (maxLength) w.u16(*maxLength);
  if (layout) {
    w.u8(uint32_t(align));
    w.u16(left);
    w.u16(right);
    w.u16(indent);
    w.u16(uint32_t(uint16_t(leading)));
  }
  w.cstring(variable);
  if (text) w.cstring(*text);
  out.add(tag::DefineEditText, w.bytes);
  (void)ctx;
}

namespace {

struct Condition {
  const char* name;
  uint16_t bits;
};
// Button transitions by their usual event names, and by the transitions' own names.
constexpr Condition kConditions[] = {
    {"rollOver", 0x0001},        {"idleToOverUp", 0x0001},   {"rollOut", 0x0002},         {"overUpToIdle", 0x0002},
    {"press", 0x0004},           {"overUpToOverDown", 0x0004}, {"release", 0x0008},       {"overDownToOverUp", 0x0008},
    {"dragOut", 0x0010},         {"overDownToOutDown", 0x0010}, {"dragOver", 0x0020},     {"outDownToOverDown", 0x0020},
    {"releaseOutside", 0x0040},  {"outDownToIdle", 0x0040},  {"idleToOverDown", 0x0080}, {"overDownToIdle", 0x0100},
};

uint16_t parseConditions(const Word& w) {
  uint16_t bits = 0;
  for (const Word& part : splitList(w)) {
    bool found = false;
    for (const Condition& c : kConditions)
      if (part.text == c.name) bits |= c.bits, found = true;
    if (found) continue;
    if (part.text.rfind("key:", 0) == 0) {
      Word k = part;
      k.text = part.text.substr(4);
      bits |= uint16_t(parseInt(k, 0, 127) << 9);
      continue;
    }
    bits |= uint16_t(parseInt(part, 0, 65535));
  }
  return bits;
}

uint8_t parseStates(const Word& w) {
  uint8_t states = 0;
  for (const Word& part : splitList(w)) {
    if (part.text == "up") states |= 1;
    else if (part.text == "over") states |= 2;
    else if (part.text == "down") states |= 4;
    else if (part.text == "hit") states |= 8;
    else throw AsmError(w.line, "states are up, over, down and hit");
  }
  return states;
}

}  // namespace

void assembleButton(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  int version = int(parseInt(a.option("version").value_or(Word{"2"}), 1, 2));
  bool menu = a.flag("menu");
  a.finish();
  SwfWriter records;
  std::vector<std::pair<uint16_t, std::vector<uint8_t>>> actions;
  for (const Statement& r : s.block) {
    Args ra(r);
    if (r.keyword() == "actions") {
      uint16_t cond = 0x0008;
      if (auto on = ra.option("on")) cond = parseConditions(*on);
      ra.finish();
      actions.push_back({cond, assembleActions(ctx, r.block)});
      continue;
    }
    if (r.keyword() != "record") throw AsmError(r.line, "a button holds record and actions statements");
    uint8_t states = parseStates(ra.option("states").value_or(Word{"up,over,down,hit"}));
    auto charId = ra.option("id");
    if (!charId) ra.fail("a button record needs id=");
    uint16_t depth = uint16_t(parseInt(ra.option("depth").value_or(Word{"1"}), 0, 65535));
    Matrix m = parseMatrix(ra);
    auto cx = parseColorTransform(ra);
    std::optional<BlendMode> blend;
    if (auto b = ra.option("blend")) blend = parseBlendMode(*b);
    ra.finish();
    std::vector<Filter> filters;
    for (const Statement& f : r.block) {
      if (f.keyword() != "filter") throw AsmError(f.line, "a button record's block holds filter statements");
      filters.push_back(parseFilter(f));
    }
    if (version == 1 && (cx || blend || !filters.empty()))
      ra.fail("colour transforms, blend modes and filters on records need version=2");
    records.u8(uint32_t((blend ? 0x20 : 0) | (filters.empty() ? 0 : 0x10) | states));
    records.u16(parseId(*charId));
    records.u16(depth);
    records.matrix(m);
    if (version == 2) {
      records.colorTransform(cx.value_or(ColorTransform{}), true);
      if (!filters.empty()) {
        records.u8(uint32_t(filters.size()));
        for (auto& f : filters) writeFilter(records, f);
      }
      if (blend) records.u8(uint8_t(*blend));
    }
  }
  records.u8(0);
  SwfWriter w;
  w.u16(id);
  if (version == 1) {
    if (actions.size() > 1) a.fail("DefineButton (version=1) has one action list");
    w.data(records.bytes);
    w.data(actions.empty() ? std::vector<uint8_t>{0} : actions[0].second);
    out.add(tag::DefineButton, w.bytes);
    return;
  }
  w.u8(menu ? 1 : 0);
  w.u16(actions.empty() ? 0 : uint32_t(records.bytes.size() + 2));
  w.data(records.bytes);
  for (size_t i = 0; i < actions.size(); ++i) {
    bool last = i + 1 == actions.size();
    w.u16(last ? 0 : uint32_t(actions[i].second.size() + 4));
    w.u16(actions[i].first);
    w.data(actions[i].second);
  }
  out.add(tag::DefineButton2, w.bytes);
}

}  // namespace vorlo::swfasm
