// Text formats, and the HTML subset of text fields: read into formatted text, written back in the
// upper-case form fields give for their htmlText.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "player/display/edit_text.h"
#include "util/text.h"

namespace vorlo::player {

// ---- Formats ----

void TextFormat::apply(const TextFormat& c) {
  auto take = [](auto& field, const auto& from) {
    if (from) field = from;
  };
  take(font, c.font);
  take(url, c.url);
  take(target, c.target);
  take(size, c.size);
  take(color, c.color);
  take(bold, c.bold);
  take(italic, c.italic);
  take(underline, c.underline);
  take(bullet, c.bullet);
  take(kerning, c.kerning);
  take(align, c.align);
  take(leftMargin, c.leftMargin);
  take(rightMargin, c.rightMargin);
  take(indent, c.indent);
  take(leading, c.leading);
  take(blockIndent, c.blockIndent);
  take(letterSpacing, c.letterSpacing);
  take(tabStops, c.tabStops);
}

void TextFormat::intersect(const TextFormat& o) {
  auto keep = [](auto& field, const auto& other) {
    if (field != other) field.reset();
  };
  keep(font, o.font);
  keep(url, o.url);
  keep(target, o.target);
  keep(size, o.size);
  keep(color, o.color);
  keep(bold, o.bold);
  keep(italic, o.italic);
  keep(underline, o.underline);
  keep(bullet, o.bullet);
  keep(kerning, o.kerning);
  keep(align, o.align);
  keep(leftMargin, o.leftMargin);
  keep(rightMargin, o.rightMargin);
  keep(indent, o.indent);
  keep(leading, o.leading);
  keep(blockIndent, o.blockIndent);
  keep(letterSpacing, o.letterSpacing);
  keep(tabStops, o.tabStops);
}

const char* alignName(TextAlign a) {
  switch (a) {
    case TextAlign::Right: return "right";
    case TextAlign::Center: return "center";
    case TextAlign::Justify: return "justify";
    default: return "left";
  }
}

std::optional<TextAlign> alignFromName(std::string_view name) {
  std::string n;
  for (char c : name) n.push_back(char(std::tolower(static_cast<unsigned char>(c))));
  if (n == "left") return TextAlign::Left;
  if (n == "right") return TextAlign::Right;
  if (n == "center") return TextAlign::Center;
  if (n == "justify") return TextAlign::Justify;
  return std::nullopt;
}

void RichText::append(const std::u16string& s, const TextFormat& format) {
  if (s.empty()) return;
  text += s;
  if (!spans.empty() && spans.back().format == format) spans.back().length += s.size();
  else spans.push_back({s.size(), format});
}

// ---- Reading ----

namespace {

std::string ascii(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) out.push_back(c < 128 ? char(std::tolower(int(c))) : '?');
  return out;
}


std::u16string utf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = c;
    size_t n = 1;
    if (c >= 0xF0 && i + 3 < s.size()) {
      cp = (c & 0x07u) << 18 | (uint32_t(s[i + 1]) & 0x3F) << 12 | (uint32_t(s[i + 2]) & 0x3F) << 6 |
           (uint32_t(s[i + 3]) & 0x3F);
      n = 4;
    } else if (c >= 0xE0 && i + 2 < s.size()) {
      cp = (c & 0x0Fu) << 12 | (uint32_t(s[i + 1]) & 0x3F) << 6 | (uint32_t(s[i + 2]) & 0x3F);
      n = 3;
    } else if (c >= 0xC0 && i + 1 < s.size()) {
      cp = (c & 0x1Fu) << 6 | (uint32_t(s[i + 1]) & 0x3F);
      n = 2;
    }
    i += n;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out += char16_t(0xD800 + (cp >> 10));
      out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
      out += char16_t(cp);
    }
  }
  return out;
}

// The value of attribute `name` in a tag's text (`name="v"`, `name='v'` or `name=v`), if present.
std::optional<std::u16string> attribute(const std::u16string& tag, const std::string& name) {
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
    while (end < tag.size() && tag[end] != ' ' && tag[end] != '>' && tag[end] != '/') ++end;
    return tag.substr(p, end - p);
  }
  return std::nullopt;
}

// "#RRGGBB": the hexadecimal digits after '#' (and blanks) up to the first other character; the
// last six count.
std::optional<uint32_t> parseColor(const std::u16string& v) {
  if (v.empty() || v[0] != '#') return std::nullopt;
  uint32_t rgb = 0;
  size_t digits = 0;
  size_t start = 1;
  while (start < v.size() && (v[start] == ' ' || v[start] == '\t')) ++start;  // "# 123456" reads
  for (size_t i = start; i < v.size(); ++i) {
    char16_t c = v[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) break;
    rgb = (rgb << 4 | uint32_t(d)) & 0xFFFFFF;
    ++digits;
  }
  if (digits == 0) return std::nullopt;
  return rgb;
}

std::optional<double> parseNumber(const std::u16string& v) {
  std::string s = ascii(v);
  if (s.empty()) return std::nullopt;
  char* end = nullptr;
  double d = std::strtod(s.c_str(), &end);
  if (end == s.c_str() || !std::isfinite(d)) return std::nullopt;
  return d;
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

bool isSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

RichText parseFieldHtml(const std::u16string& html, const TextFormat& base, bool multiline, bool condenseWhite) {
  RichText out;
  std::vector<std::pair<std::string, TextFormat>> stack{{"", base}};
  // Formats nest no deeper than this; deeper tags are taken as text formats of the innermost.
  constexpr size_t kMaxNesting = 64;
  auto current = [&]() -> const TextFormat& { return stack.back().second; };
  auto paragraphEnd = [&]() { out.append(u"\r", current()); };
  bool lastSpace = true;  // for condensing: white space at the start of text goes
  for (size_t i = 0; i < html.size();) {
    char16_t c = html[i];
    if (c == '<') {
      size_t end = html.find(u'>', i);
      if (end == std::u16string::npos) break;
      std::u16string tag = html.substr(i + 1, end - i - 1);
      i = end + 1;
      bool closing = !tag.empty() && tag[0] == '/';
      size_t nameStart = closing ? 1 : 0;
      size_t nameEnd = tag.find_first_of(u" \t\n\r/", nameStart);
      std::string name = ascii(tag.substr(nameStart, nameEnd == std::u16string::npos ? std::u16string::npos
                                                                                      : nameEnd - nameStart));
      if (name == "br" || name == "sbr") {
        paragraphEnd();
        lastSpace = true;
        continue;
      }
      static const char* const kFormatTags[] = {"p", "font", "b", "i", "u", "span", "textformat", "li", "a"};
      bool known = std::find_if(std::begin(kFormatTags), std::end(kFormatTags),
                                [&](const char* t) { return name == t; }) != std::end(kFormatTags);
      if (!known) continue;
      if (closing) {
        // Single-line fields end no paragraph at </p> or </li>.
        if ((name == "p" || name == "li") && multiline) {
          paragraphEnd();
          lastSpace = true;
        }
        for (size_t k = stack.size(); k-- > 1;) {
          if (stack[k].first == name) {
            stack.resize(k);
            break;
          }
        }
        continue;
      }
      // A paragraph opened after text starts on a new line.
      if ((name == "p" || name == "li") && multiline && !out.text.empty() && out.text.back() != '\r')
        paragraphEnd();
      TextFormat f = current();
      if (name == "b") f.bold = true;
      if (name == "i") f.italic = true;
      if (name == "u") f.underline = true;
      if (name == "li") f.bullet = true;
      if (name == "a") {
        f.url = utf16ToUtf8(attribute(tag, "href").value_or(u""));
        f.target = utf16ToUtf8(attribute(tag, "target").value_or(u""));
      }
      if (name == "p") {
        if (auto a = attribute(tag, "align"))
          if (auto al = alignFromName(ascii(*a))) f.align = *al;
      }
      if (name == "font") {
        if (auto face = attribute(tag, "face")) f.font = utf16ToUtf8(*face);
        if (auto size = attribute(tag, "size")) {
          std::string s = ascii(*size);
          if (!s.empty()) {
            double v = std::strtod(s.c_str() + ((s[0] == '+' || s[0] == '-') ? 1 : 0), nullptr);
            double now = f.size.value_or(12);
            if (s[0] == '+') v = now + v;
            if (s[0] == '-') v = now - v;
            if (std::isfinite(v)) f.size = std::clamp(std::round(v), 0.0, 1000.0);
          }
        }
        if (auto color = attribute(tag, "color"))
          if (auto rgb = parseColor(*color)) f.color = *rgb;
        if (auto ls = attribute(tag, "letterspacing"))
          if (auto v = parseNumber(*ls)) f.letterSpacing = *v;
        if (auto k = attribute(tag, "kerning"))
          if (auto v = parseNumber(*k)) f.kerning = *v != 0;
      }
      if (name == "textformat") {
        const std::pair<const char*, std::optional<double> TextFormat::*> numeric[] = {
            {"leftmargin", &TextFormat::leftMargin}, {"rightmargin", &TextFormat::rightMargin},
            {"indent", &TextFormat::indent},         {"leading", &TextFormat::leading},
            {"blockindent", &TextFormat::blockIndent}};
        for (auto& [attr, member] : numeric)
          if (auto a = attribute(tag, attr))
            if (auto v = parseNumber(*a)) f.*member = *v;
      }
      if (stack.size() < kMaxNesting) stack.push_back({name, f});
      continue;
    }
    if (c == '&') {
      size_t end = html.find(u';', i);
      if (end != std::u16string::npos && end - i <= 8) {
        char16_t e = entity(html.substr(i + 1, end - i - 1));
        if (e) {
          out.append(std::u16string(1, e), current());
          lastSpace = false;
          i = end + 1;
          continue;
        }
      }
    }
    if (condenseWhite && isSpace(c)) {
      if (!lastSpace) out.append(u" ", current());
      lastSpace = true;
      ++i;
      continue;
    }
    if (c == '\r' || c == '\n') {
      paragraphEnd();
      ++i;
      if (c == '\r' && i < html.size() && html[i] == '\n') ++i;
      continue;
    }
    out.append(std::u16string(1, c), current());
    lastSpace = false;
    ++i;
  }
  return out;
}

// ---- Writing ----

namespace {

std::u16string escaped(std::u16string_view s) {
  std::u16string out;
  for (char16_t c : s) {
    switch (c) {
      case '<': out += u"&lt;"; break;
      case '>': out += u"&gt;"; break;
      case '&': out += u"&amp;"; break;
      case '"': out += u"&quot;"; break;
      case '\'': out += u"&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::u16string number(double v) {
  char buf[32];
  if (v == std::floor(v) && std::fabs(v) < 1e15) std::snprintf(buf, sizeof buf, "%.0f", v);
  else std::snprintf(buf, sizeof buf, "%g", v);
  return utf16(buf);
}

std::u16string colorText(uint32_t rgb) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "#%06X", unsigned(rgb & 0xFFFFFF));
  return utf16(buf);
}

std::u16string upper(const char* s) {
  std::u16string out;
  for (; *s; ++s) out.push_back(char16_t(std::toupper(static_cast<unsigned char>(*s))));
  return out;
}

std::u16string attr(const char* name, const std::u16string& value) {
  return u" " + utf16(name) + u"=\"" + value + u"\"";
}

// FONT attributes of `f` that differ from `outer` (all of them when `outer` is null).
std::u16string fontAttributes(const TextFormat& f, const TextFormat* outer) {
  std::u16string out;
  auto differs = [&](auto member) { return !outer || f.*member != outer->*member; };
  if (f.font && differs(&TextFormat::font)) out += attr("FACE", escaped(utf16(*f.font)));
  if (f.size && differs(&TextFormat::size)) out += attr("SIZE", number(*f.size));
  if (f.color && differs(&TextFormat::color)) out += attr("COLOR", colorText(*f.color));
  if (differs(&TextFormat::letterSpacing)) out += attr("LETTERSPACING", number(f.letterSpacing.value_or(0)));
  if (differs(&TextFormat::kerning)) out += attr("KERNING", f.kerning.value_or(false) ? u"1" : u"0");
  return out;
}

}  // namespace

std::u16string writeFieldHtml(const RichText& rich, int swfVersion) {
  (void)swfVersion;
  std::u16string out;
  const std::u16string& text = rich.text;
  if (text.empty()) return out;
  // The format of each character, found span by span.
  std::vector<const TextFormat*> formatAt(text.size(), nullptr);
  {
    size_t at = 0;
    for (const FormatSpan& s : rich.spans)
      for (size_t k = 0; k < s.length && at < text.size(); ++k) formatAt[at++] = &s.format;
    static const TextFormat empty;
    for (; at < text.size(); ++at) formatAt[at] = at ? formatAt[at - 1] : &empty;
  }
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\r', start);
    if (end == std::u16string::npos) end = text.size();
    if (start == text.size() && start > 0) break;  // the empty paragraph after a final break
    const TextFormat& para = *formatAt[std::min(start, text.size() - 1)];
    std::u16string tf;
    const std::pair<const char*, std::optional<double> TextFormat::*> block[] = {
        {"LEFTMARGIN", &TextFormat::leftMargin}, {"RIGHTMARGIN", &TextFormat::rightMargin},
        {"INDENT", &TextFormat::indent},         {"LEADING", &TextFormat::leading},
        {"BLOCKINDENT", &TextFormat::blockIndent}};
    for (auto& [name, member] : block)
      if ((para.*member).value_or(0) != 0) tf += attr(name, number(*(para.*member)));
    if (para.tabStops && !para.tabStops->empty()) {
      std::u16string stops;
      for (double t : *para.tabStops) stops += (stops.empty() ? u"" : u",") + number(t);
      tf += attr("TABSTOPS", stops);
    }
    if (!tf.empty()) out += u"<TEXTFORMAT" + tf + u">";
    bool bullet = para.bullet.value_or(false);
    out += bullet ? std::u16string(u"<LI>")
                  : u"<P ALIGN=\"" + upper(alignName(para.align.value_or(TextAlign::Left))) + u"\">";
    out += u"<FONT" + fontAttributes(para, nullptr) + u">";
    for (size_t i = start; i < end;) {
      const TextFormat& f = *formatAt[i];
      size_t j = i;
      while (j < end && (formatAt[j] == &f || *formatAt[j] == f)) ++j;
      std::u16string open, close;
      std::u16string diff = fontAttributes(f, &para);
      if (!diff.empty()) {
        open += u"<FONT" + diff + u">";
        close = u"</FONT>" + close;
      }
      if (f.url && !f.url->empty()) {
        open += u"<A HREF=\"" + escaped(utf16(*f.url)) + u"\" TARGET=\"" + escaped(utf16(f.target.value_or(""))) + u"\">";
        close = u"</A>" + close;
      }
      if (f.bold.value_or(false)) {
        open += u"<B>";
        close = u"</B>" + close;
      }
      if (f.italic.value_or(false)) {
        open += u"<I>";
        close = u"</I>" + close;
      }
      if (f.underline.value_or(false)) {
        open += u"<U>";
        close = u"</U>" + close;
      }
      out += open + escaped(std::u16string_view(text).substr(i, j - i)) + close;
      i = j;
    }
    out += u"</FONT>";
    out += bullet ? u"</LI>" : u"</P>";
    if (!tf.empty()) out += u"</TEXTFORMAT>";
    if (end >= text.size()) break;
    start = end + 1;
  }
  return out;
}

}  // namespace vorlo::player
