#include "player/display/edit_text.h"

#include <algorithm>
#include <cmath>

#include "player/display/font_files.h"
#include "player/display/painter.h"
#include "util/text.h"

namespace vorlo::player {

DeviceFonts* EditTextObject::deviceFonts = nullptr;

namespace {

// The host's fonts, or the system's font files. Each thread that draws has its own (a splash window
// plays on a thread of its own).
DeviceFonts* systemFonts() {
  if (EditTextObject::deviceFonts) return EditTextObject::deviceFonts;
  thread_local FontFiles files;
  return &files;
}

}  // namespace

namespace {

std::string ascii(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out.push_back(c < 128 ? char(std::tolower(int(c))) : '?');
  return out;
}

// The value of attribute `name` in a tag's text (`name="v"`, `name='v'` or `name=v`).
std::u16string attribute(const std::u16string& tag, const std::string& name) {
  std::string lower = ascii(tag);
  size_t at = 0;
  while ((at = lower.find(name, at)) != std::string::npos) {
    size_t p = at + name.size();
    bool boundary = at > 0 && (lower[at - 1] == ' ' || lower[at - 1] == '\t' || lower[at - 1] == '\n');
    while (p < lower.size() && lower[p] == ' ') ++p;
    if (!boundary || p >= lower.size() || lower[p] != '=') {
      at += name.size();
      continue;
    }
    ++p;
    while (p < lower.size() && lower[p] == ' ') ++p;
    if (p < tag.size() && (tag[p] == '"' || tag[p] == '\'')) {
      char16_t q = tag[p];
      size_t end = tag.find(q, p + 1);
      return tag.substr(p + 1, end == std::u16string::npos ? std::u16string::npos : end - p - 1);
    }
    size_t end = p;
    while (end < tag.size() && tag[end] != ' ' && tag[end] != '>') ++end;
    return tag.substr(p, end - p);
  }
  return {};
}

bool parseColor(const std::u16string& v, Rgba& out) {
  if (v.size() != 7 || v[0] != '#') return false;
  uint32_t rgb = 0;
  for (size_t i = 1; i < 7; ++i) {
    char16_t c = v[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return false;
    rgb = rgb << 4 | uint32_t(d);
  }
  out = {uint8_t(rgb >> 16), uint8_t(rgb >> 8), uint8_t(rgb), 255};
  return true;
}

char16_t entity(const std::u16string& name) {
  std::string n = ascii(name);
  if (n == "lt") return u'<';
  if (n == "gt") return u'>';
  if (n == "amp") return u'&';
  if (n == "quot") return u'"';
  if (n == "apos") return u'\'';
  if (n == "nbsp") return 0xA0;
  if (n.size() > 1 && n[0] == '#') {
    long v = n[1] == 'x' ? std::strtol(n.c_str() + 2, nullptr, 16) : std::strtol(n.c_str() + 1, nullptr, 10);
    if (v > 0 && v < 0x10000) return char16_t(v);
  }
  return 0;
}

}  // namespace

std::vector<TextRun> parseFieldHtml(const std::u16string& html, const TextRun& base) {
  std::vector<TextRun> runs;
  std::vector<TextRun> stack{base};
  TextRun current = base;
  auto flush = [&](bool paragraphEnd) {
    if (!current.text.empty() || paragraphEnd) {
      current.paragraphEnd = paragraphEnd;
      runs.push_back(current);
    }
    current.text.clear();
    current.paragraphEnd = false;
  };
  auto become = [&](const TextRun& format) {
    flush(false);
    std::u16string keep;
    current = format;
    current.text = keep;
  };
  // Formats nest no deeper than this; deeper tags are taken as text formats of the innermost.
  constexpr size_t kMaxNesting = 64;
  for (size_t i = 0; i < html.size();) {
    char16_t c = html[i];
    if (c == '<') {
      size_t end = html.find(u'>', i);
      if (end == std::u16string::npos) break;
      std::u16string tag = html.substr(i + 1, end - i - 1);
      i = end + 1;
      bool closing = !tag.empty() && tag[0] == '/';
      std::string name = ascii(tag.substr(closing ? 1 : 0, tag.find_first_of(u" \t\n/", closing ? 1 : 0) - (closing ? 1 : 0)));
      if (name == "br" || name == "sbr") {
        flush(true);
        continue;
      }
      if (closing) {
        if (name == "p" || name == "li") flush(true);
        if (stack.size() > 1 && (name == "p" || name == "font" || name == "b" || name == "i" || name == "u" ||
                                 name == "span" || name == "textformat" || name == "li" || name == "a")) {
          stack.pop_back();
          become(stack.back());
        }
        continue;
      }
      if (name != "p" && name != "font" && name != "b" && name != "i" && name != "u" && name != "span" &&
          name != "textformat" && name != "li" && name != "a")
        continue;
      TextRun f = stack.back();
      if (name == "b") f.bold = true;
      if (name == "i") f.italic = true;
      if (name == "u") f.underline = true;
      if (name == "p") {
        std::string a = ascii(attribute(tag, "align"));
        if (a == "left") f.align = TextAlign::Left;
        if (a == "right") f.align = TextAlign::Right;
        if (a == "center") f.align = TextAlign::Center;
        if (a == "justify") f.align = TextAlign::Justify;
      }
      if (name == "font") {
        std::u16string face = attribute(tag, "face");
        if (!face.empty()) {
          f.face.clear();
          for (char16_t ch : face) f.face.push_back(ch < 128 ? char(ch) : '?');
        }
        std::u16string size = attribute(tag, "size");
        if (!size.empty()) {
          std::string s = ascii(size);
          double v = std::strtod(s.c_str() + ((s[0] == '+' || s[0] == '-') ? 1 : 0), nullptr);
          if (s[0] == '+') v = f.size / 20 + v;
          if (s[0] == '-') v = f.size / 20 - v;
          if (std::isfinite(v)) f.size = std::clamp(v, 0.0, 1000.0) * 20;
        }
        parseColor(attribute(tag, "color"), f.color);
      }
      if (stack.size() < kMaxNesting) stack.push_back(f);
      become(stack.back());
      continue;
    }
    if (c == '&') {
      size_t end = html.find(u';', i);
      if (end != std::u16string::npos && end - i <= 8) {
        char16_t e = entity(html.substr(i + 1, end - i - 1));
        if (e) {
          current.text.push_back(e);
          i = end + 1;
          continue;
        }
      }
    }
    if (c == '\r' || c == '\n') {
      flush(true);
      ++i;
      if (c == '\r' && i < html.size() && html[i] == '\n') ++i;
      continue;
    }
    current.text.push_back(c);
    ++i;
  }
  flush(false);
  return runs;
}

EditTextObject::EditTextObject(uint16_t id, const EditText& field, const Movie& movie)
    : DisplayObject(id), field_(field), movie_(movie), text_(vorlo::utf8ToUtf16(field.initialText)) {
  border = background = field.border;
}

namespace {

struct PlacedGlyph {
  const Shape* shape;
  double x, scale;
  Rgba color;
};
struct Line {
  std::vector<PlacedGlyph> glyphs;
  double width = 0, ascent = 0, descent = 0, leading = 0;
  TextAlign align = TextAlign::Left;
};

Line lineAligned(TextAlign align) {
  Line line;
  line.align = align;
  return line;
}

const Glyph* glyphFor(const Font& font, char16_t code) {
  // Fonts read from files are ordered by code; embedded ones usually are, but need not be.
  auto it = std::lower_bound(font.glyphs.begin(), font.glyphs.end(), code,
                             [](const Glyph& g, char16_t c) { return g.code < c; });
  if (it != font.glyphs.end() && it->code == code) return &*it;
  if (font.glyphs.size() > 1024) return nullptr;
  for (const Glyph& g : font.glyphs)
    if (g.code == code) return &g;
  return nullptr;
}

}  // namespace

void EditTextObject::paint(Painter& painter) const {
  const Matrix& m = painter.toPixels();
  if (m.b == 0 && m.c == 0) {
    // Unrotated fields sit on whole pixels: the border is a one-pixel line through the centres of
    // the first and the last pixel the bounds touch, and the background fills what it encloses.
    Rect px = m.apply(field_.bounds);
    double x0 = std::round(px.xMin), y0 = std::round(px.yMin), x1 = std::round(px.xMax), y1 = std::round(px.yMax);
    Matrix pixels = Matrix::scale(0.05, 0.05);
    if (background) painter.fillRect(Rect{x0 * 20, y0 * 20, x1 * 20 + 20, y1 * 20 + 20}, backgroundColor, pixels);
    if (border)
      painter.strokeRect(Rect{x0 * 20 + 10, y0 * 20 + 10, x1 * 20 + 10, y1 * 20 + 10}, borderColor, pixels);
  } else {
    if (background) painter.fillRect(field_.bounds, backgroundColor, m);
    if (border) painter.strokeRect(field_.bounds, borderColor, m);
  }

  const Font* embedded = field_.fontId ? movie_.find<Font>(*field_.fontId) : nullptr;
  TextRun base;
  base.size = field_.fontHeight;
  base.color = field_.textColor;
  base.align = field_.align;
  if (embedded) base.face = embedded->name;
  std::vector<TextRun> runs;
  if (field_.html) {
    runs = parseFieldHtml(text_, base);
  } else {
    runs = parseFieldHtml(u"", base);
    TextRun plain = base;
    for (char16_t c : text_) {
      if (c == '\r' || c == '\n') {
        plain.paragraphEnd = true;
        runs.push_back(plain);
        plain.text.clear();
        plain.paragraphEnd = false;
      } else {
        plain.text.push_back(c);
      }
    }
    runs.push_back(plain);
  }

  // Lines: the field's width less its margins and the 2-pixel gutter on each side.
  constexpr double kGutter = 40;
  double left = field_.bounds.xMin + kGutter + field_.leftMargin;
  double right = field_.bounds.xMax - kGutter - field_.rightMargin;
  double wrapWidth = right - left;
  std::vector<Line> lines(1);
  lines.back().align = runs.empty() ? base.align : runs.front().align;
  for (const TextRun& run : runs) {
    const Font* font = nullptr;
    if (field_.useOutlines && embedded) font = embedded;
    else if (DeviceFonts* fonts = systemFonts()) font = fonts->find(run.face.empty() ? "_sans" : run.face, run.bold, run.italic);
    if (font && font->emSquare > 0) {
      double scale = run.size / font->emSquare;
      Line& first = lines.back();
      first.align = run.align;
      first.ascent = std::max(first.ascent, font->ascent * scale);
      first.descent = std::max(first.descent, font->descent * scale);
      for (char16_t c : run.text) {
        const Glyph* g = glyphFor(*font, field_.password ? u'*' : c);
        double advance = g ? (font->hasLayout ? g->advance : g->bounds.xMax) * scale : run.size / 2;
        Line* line = &lines.back();
        if (field_.wordWrap && line->width + advance > wrapWidth && !line->glyphs.empty()) {
          lines.push_back(lineAligned(run.align));
          line = &lines.back();
          line->ascent = font->ascent * scale;
          line->descent = font->descent * scale;
        }
        if (g) line->glyphs.push_back({&g->shape, line->width, scale, run.color});
        line->width += advance;
      }
    }
    if (run.paragraphEnd && field_.multiline) lines.push_back(lineAligned(run.align));
  }

  double y = field_.bounds.yMin + kGutter;
  for (const Line& line : lines) {
    double baseline = y + (line.ascent > 0 ? line.ascent : field_.fontHeight * 0.8);
    double x = left;
    if (line.align == TextAlign::Right) x = right - line.width;
    if (line.align == TextAlign::Center) x = left + (wrapWidth - line.width) / 2;
    for (const PlacedGlyph& g : line.glyphs) {
      Shape glyph = *g.shape;
      for (StyleGroup& group : glyph.groups) group.fills.assign(1, solidFill(g.color));
      painter.fillShape(glyph, m * Matrix{g.scale, 0, 0, g.scale, x + g.x, baseline});
    }
    y += (line.ascent > 0 ? line.ascent + line.descent : field_.fontHeight) + field_.leading;
    if (y > field_.bounds.yMax) break;
  }
}

}  // namespace vorlo::player
