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

constexpr double kGutter = 40;  // 2 pixels between the bounds and the text on each side

// The format fields every field starts with (those a placed field's tag does not give).
TextFormat completeFormat(TextFormat f) {
  if (!f.font) f.font = "Times New Roman";
  if (!f.size) f.size = 12;
  if (!f.color) f.color = 0;
  if (!f.bold) f.bold = false;
  if (!f.italic) f.italic = false;
  if (!f.underline) f.underline = false;
  if (!f.url) f.url = "";
  if (!f.target) f.target = "";
  if (!f.align) f.align = TextAlign::Left;
  for (auto m : {&TextFormat::leftMargin, &TextFormat::rightMargin, &TextFormat::indent, &TextFormat::leading,
                 &TextFormat::blockIndent, &TextFormat::letterSpacing})
    if (!(f.*m)) f.*m = 0;
  if (!f.bullet) f.bullet = false;
  if (!f.kerning) f.kerning = false;
  if (!f.tabStops) f.tabStops = std::vector<double>{};
  return f;
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

// Paragraph fields: they belong to whole paragraphs.
bool isParagraphField(const TextFormat& change) {
  return change.align || change.leftMargin || change.rightMargin || change.indent || change.leading ||
         change.blockIndent || change.bullet || change.tabStops;
}

TextFormat paragraphPart(const TextFormat& f) {
  TextFormat p;
  p.align = f.align;
  p.leftMargin = f.leftMargin;
  p.rightMargin = f.rightMargin;
  p.indent = f.indent;
  p.leading = f.leading;
  p.blockIndent = f.blockIndent;
  p.bullet = f.bullet;
  p.tabStops = f.tabStops;
  return p;
}

}  // namespace

EditTextObject::EditTextObject(uint16_t id, const EditText& field, const Movie& movie)
    : DisplayObject(id), movie_(movie), bounds_(field.bounds) {
  border = background = field.border;
  wordWrap = field.wordWrap;
  multiline = field.multiline;
  password = field.password;
  selectable = !field.noSelect;
  readOnly = field.readOnly;
  html = field.html;
  embedFonts = field.useOutlines;
  autoSize = field.autoSize ? AutoSize::Left : AutoSize::None;
  maxChars = field.maxLength ? *field.maxLength : 0;
  variable = field.variableName;
  antiAliasType = field.antiAlias == 1 ? "advanced" : "normal";
  gridFitType = field.gridFit == 0 ? "none" : field.gridFit == 2 ? "subpixel" : "pixel";
  thickness = field.thickness;
  sharpness = field.sharpness;
  TextFormat f;
  if (field.fontId)
    if (const Font* font = movie.find<Font>(*field.fontId)) {
      f.font = font->name;
      f.bold = font->bold;
      f.italic = font->italic;
    }
  if (!f.font && !field.fontClass.empty()) f.font = field.fontClass;
  f.size = field.fontHeight / 20.0;
  f.color = uint32_t(field.textColor.r) << 16 | uint32_t(field.textColor.g) << 8 | field.textColor.b;
  f.align = field.align;
  f.leftMargin = field.leftMargin / 20.0;
  f.rightMargin = field.rightMargin / 20.0;
  f.indent = field.indent / 20.0;
  f.leading = field.leading / 20.0;
  newFormat = completeFormat(f);
  std::u16string initial = vorlo::utf8ToUtf16(field.initialText);
  if (html) setHtmlText(initial);
  else setText(initial);
}

EditTextObject::EditTextObject(const Movie& movie, Rect bounds)
    : DisplayObject(0), movie_(movie), bounds_(bounds) {
  readOnly = true;
  newFormat = completeFormat({});
}

void EditTextObject::setText(const std::u16string& text) {
  std::u16string norm;
  norm.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    norm.push_back(c == '\n' ? u'\r' : c);
  }
  content_ = {};
  content_.append(norm, newFormat);
  fitToText();
}

std::u16string EditTextObject::htmlText() const { return writeFieldHtml(content_, 8); }

void EditTextObject::setHtmlText(const std::u16string& htmlText) {
  // HTML gives paragraphs their alignment: text outside <p align> is left-aligned, and so is new text.
  newFormat.align = TextAlign::Left;
  content_ = parseFieldHtml(htmlText, newFormat, multiline, condenseWhite);
  fitToText();
}

void EditTextObject::replace(size_t begin, size_t end, const std::u16string& text, const TextFormat& format) {
  size_t n = content_.text.size();
  begin = std::min(begin, n);
  end = std::clamp(end, begin, n);
  RichText out;
  size_t at = 0;
  auto copyRange = [&](size_t from, size_t to) {
    size_t pos = 0;
    for (const FormatSpan& s : content_.spans) {
      size_t a = std::max(from, pos), b = std::min(to, pos + s.length);
      if (a < b) out.append(content_.text.substr(a, b - a), s.format);
      pos += s.length;
    }
  };
  copyRange(0, begin);
  std::u16string norm;
  for (char16_t c : text) norm.push_back(c == '\n' ? u'\r' : c);
  out.append(norm, format);
  copyRange(end, n);
  (void)at;
  content_ = std::move(out);
  fitToText();
}

TextFormat EditTextObject::formatOf(size_t begin, size_t end) const {
  size_t n = content_.text.size();
  end = std::min(end, n);
  if (begin >= end) return {};
  std::optional<TextFormat> common;
  size_t pos = 0;
  for (const FormatSpan& s : content_.spans) {
    if (pos + s.length > begin && pos < end) {
      if (!common) common = s.format;
      else common->intersect(s.format);
    }
    pos += s.length;
  }
  return common.value_or(TextFormat{});
}

void EditTextObject::applyFormat(size_t begin, size_t end, const TextFormat& change) {
  size_t n = content_.text.size();
  end = std::min(end, n);
  if (begin >= end) return;
  TextFormat charPart = change;
  TextFormat paraPart = paragraphPart(change);
  charPart.align.reset();
  charPart.bullet.reset();
  for (auto m : {&TextFormat::leftMargin, &TextFormat::rightMargin, &TextFormat::indent, &TextFormat::leading,
                 &TextFormat::blockIndent})
    charPart.*m = std::nullopt;
  charPart.tabStops.reset();
  // Paragraph fields reach from the paragraph's start to its end (its break included).
  size_t pBegin = begin, pEnd = end;
  if (isParagraphField(change)) {
    while (pBegin > 0 && content_.text[pBegin - 1] != '\r') --pBegin;
    while (pEnd < n && content_.text[pEnd - 1] != '\r') ++pEnd;
  }
  RichText out;
  size_t pos = 0;
  for (const FormatSpan& s : content_.spans) {
    for (size_t k = 0; k < s.length; ++k, ++pos) {
      TextFormat f = s.format;
      if (pos >= begin && pos < end) f.apply(charPart);
      if (pos >= pBegin && pos < pEnd) f.apply(paraPart);
      out.append(std::u16string(1, content_.text[pos]), f);
    }
  }
  content_ = std::move(out);
  fitToText();
}

void EditTextObject::setSize(double w, double h) {
  if (std::isfinite(w) && w >= 0) bounds_.xMax = bounds_.xMin + w;
  if (std::isfinite(h) && h >= 0) bounds_.yMax = bounds_.yMin + h;
}

// ---- Layout ----

struct EditTextObject::Layout {
  struct PlacedGlyph {
    const Shape* shape;
    double x, scale;
    Rgba color;
  };
  struct Line {
    std::vector<PlacedGlyph> glyphs;
    double width = 0, ascent = 0, descent = 0, leading = 0;
    double left = 0, right = 0;  // margins
    TextAlign align = TextAlign::Left;
  };
  std::vector<Line> lines;
  double width = 0, height = 0;
};

const Font* EditTextObject::fontFor(const TextFormat& f) const {
  std::string face = f.font.value_or("Times New Roman");
  bool bold = f.bold.value_or(false), italic = f.italic.value_or(false);
  if (embedFonts) {
    const Font* plain = nullptr;
    for (const auto& [id, ch] : movie_.characters)
      if (const Font* font = std::get_if<Font>(ch.get()))
        if (font->name == face && !font->glyphs.empty()) {
          if (font->bold == bold && font->italic == italic) return font;
          if (!plain) plain = font;
        }
    return plain;
  }
  if (DeviceFonts* fonts = systemFonts()) return fonts->find(face.empty() ? "_sans" : face, bold, italic);
  return nullptr;
}

EditTextObject::Layout EditTextObject::layOut() const {
  Layout out;
  const std::u16string& text = content_.text;
  double wrapLimit = bounds_.xMax - bounds_.xMin - 2 * kGutter;
  auto newLine = [&](const TextFormat& f) {
    Layout::Line line;
    line.align = f.align.value_or(TextAlign::Left);
    line.left = (f.leftMargin.value_or(0) + f.blockIndent.value_or(0)) * 20;
    line.right = f.rightMargin.value_or(0) * 20;
    line.leading = f.leading.value_or(0) * 20;
    out.lines.push_back(line);
  };
  size_t pos = 0;
  size_t spanIndex = 0, spanLeft = content_.spans.empty() ? 0 : content_.spans[0].length;
  auto formatAt = [&]() -> const TextFormat& {
    while (spanLeft == 0 && spanIndex + 1 < content_.spans.size()) spanLeft = content_.spans[++spanIndex].length;
    return content_.spans.empty() ? newFormat : content_.spans[spanIndex].format;
  };
  newLine(formatAt());
  bool paragraphStart = true;
  for (; pos < text.size(); ++pos) {
    const TextFormat& f = formatAt();
    if (spanLeft) --spanLeft;
    char16_t c = text[pos];
    const Font* font = fontFor(f);
    double size = f.size.value_or(12) * 20;
    Layout::Line* line = &out.lines.back();
    if (font && font->emSquare > 0) {
      double scale = size / font->emSquare;
      line->ascent = std::max(line->ascent, font->ascent * scale);
      line->descent = std::max(line->descent, font->descent * scale);
    } else {
      line->ascent = std::max(line->ascent, size * 0.8);
      line->descent = std::max(line->descent, size * 0.2);
    }
    if (paragraphStart) {
      line->width += f.indent.value_or(0) * 20;
      paragraphStart = false;
    }
    if (c == '\r') {
      if (multiline) {
        newLine(formatAt());
        paragraphStart = true;
      }
      continue;
    }
    const Glyph* g = font ? glyphFor(*font, password ? u'*' : c) : nullptr;
    double scale = font && font->emSquare > 0 ? size / font->emSquare : 0;
    double advance = g ? (font->hasLayout ? g->advance : g->bounds.xMax) * scale : size / 2;
    advance += f.letterSpacing.value_or(0) * 20;
    if (wordWrap && line->width + advance > wrapLimit - line->left - line->right &&
        !line->glyphs.empty()) {
      // Break at the last space of the line when there is one.
      size_t keep = line->glyphs.size();
      Layout::Line next;
      next.align = line->align;
      next.left = line->left;
      next.right = line->right;
      next.leading = line->leading;
      next.ascent = line->ascent;
      next.descent = line->descent;
      (void)keep;
      out.lines.push_back(next);
      line = &out.lines.back();
    }
    if (g) line->glyphs.push_back({&g->shape, line->width, scale, Rgba{uint8_t(f.color.value_or(0) >> 16),
                                                                       uint8_t(f.color.value_or(0) >> 8),
                                                                       uint8_t(f.color.value_or(0)), 255}});
    line->width += advance;
  }
  for (size_t i = 0; i < out.lines.size(); ++i) {
    const auto& l = out.lines[i];
    out.width = std::max(out.width, l.width + l.left + l.right);
    out.height += l.ascent + l.descent + (i + 1 < out.lines.size() ? l.leading : 0);
  }
  if (text.empty()) out.height = 0;
  return out;
}

double EditTextObject::textWidth() const { return content_.text.empty() ? 0 : layOut().width; }
double EditTextObject::textHeight() const { return content_.text.empty() ? 0 : layOut().height; }
int EditTextObject::lineCount() const { return int(layOut().lines.size()); }

void EditTextObject::fitToText() {
  if (autoSize == AutoSize::None) return;
  Layout l = layOut();
  double w = l.width + 2 * kGutter, h = l.height + 2 * kGutter;
  if (!wordWrap) {
    double oldW = bounds_.xMax - bounds_.xMin;
    if (autoSize == AutoSize::Left) bounds_.xMax = bounds_.xMin + w;
    if (autoSize == AutoSize::Right) bounds_.xMin = bounds_.xMax - w;
    if (autoSize == AutoSize::Center) {
      double mid = bounds_.xMin + oldW / 2;
      bounds_.xMin = mid - w / 2;
      bounds_.xMax = mid + w / 2;
    }
  }
  bounds_.yMax = bounds_.yMin + h;
}

void EditTextObject::paint(Painter& painter) const {
  const Matrix& m = painter.toPixels();
  if (m.b == 0 && m.c == 0) {
    // Unrotated fields sit on whole pixels: the border is a one-pixel line through the centres of
    // the first and the last pixel the bounds touch, and the background fills what it encloses.
    Rect px = m.apply(bounds_);
    double x0 = std::round(px.xMin), y0 = std::round(px.yMin), x1 = std::round(px.xMax), y1 = std::round(px.yMax);
    Matrix pixels = Matrix::scale(0.05, 0.05);
    if (background) painter.fillRect(Rect{x0 * 20, y0 * 20, x1 * 20, y1 * 20}, backgroundColor, pixels);
    if (border)
      painter.strokeRect(Rect{x0 * 20 + 10, y0 * 20 + 10, x1 * 20 + 10, y1 * 20 + 10}, borderColor, pixels);
  } else {
    if (background) painter.fillRect(bounds_, backgroundColor, m);
    if (border) painter.strokeRect(bounds_, borderColor, m);
  }

  Layout layout = layOut();
  double left = bounds_.xMin + kGutter, right = bounds_.xMax - kGutter;
  double y = bounds_.yMin + kGutter - (scroll > 1 ? 0 : 0);
  int lineNo = 0;
  for (const auto& line : layout.lines) {
    if (++lineNo < scroll) continue;
    double baseline = y + line.ascent;
    double x = left + line.left;
    double room = right - line.right - (left + line.left);
    if (line.align == TextAlign::Right) x += room - line.width;
    if (line.align == TextAlign::Center) x += (room - line.width) / 2;
    for (const auto& g : line.glyphs) {
      Shape glyph = *g.shape;
      for (StyleGroup& group : glyph.groups) group.fills.assign(1, solidFill(g.color));
      painter.fillShape(glyph, m * Matrix{g.scale, 0, 0, g.scale, x + g.x, baseline});
    }
    y += line.ascent + line.descent + line.leading;
    if (y > bounds_.yMax) break;
  }
}

}  // namespace vorlo::player
