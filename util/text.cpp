#include "util/text.h"

#include "util/platform.h"

namespace vorlo {

std::u16string utf8ToUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    char32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c >> 5) == 0x6 || (c >> 4) == 0xE || (c >> 3) == 0x1E) {
      len = (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 4;
      char32_t v = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
      bool ok = i + len <= s.size();
      for (size_t k = 1; ok && k < len; ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + k]);
        if ((t & 0xC0) != 0x80) ok = false;
        v = (v << 6) | (t & 0x3F);
      }
      static const char32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
      if (ok && v >= kMin[len] && v <= 0x10FFFF && !(v >= 0xD800 && v <= 0xDFFF)) {
        cp = v;
      } else {
        len = 1;  // a malformed sequence yields one replacement character per byte
      }
    }
    i += len;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t cp = s[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
    }
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
  std::u16string wa = utf8ToUtf16(a), wb = utf8ToUtf16(b);
  if (wa.size() != wb.size()) return false;
  for (size_t i = 0; i < wa.size(); ++i) {
    if (wa[i] != wb[i] && os::foldCase(wa[i]) != os::foldCase(wb[i])) return false;
  }
  return true;
}

std::string toUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::optional<std::string> scriptSourceText(std::string_view bytes, std::string* why) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  bool utf16Mark = bytes.substr(0, 2) == "\xFF\xFE" || bytes.substr(0, 2) == "\xFE\xFF";
  // Text in UTF-16 without a mark shows as NUL bytes between the letters of the first line.
  bool nulBytes = bytes.substr(0, 256).find('\0') != std::string_view::npos;
  if (utf16Mark || nulBytes) {
    if (why) {
      *why = utf16Mark ? "the file is UTF-16 text; save it as UTF-8"
                       : "the file holds NUL bytes (UTF-16 text or not text at all); save it as UTF-8 text";
    }
    return std::nullopt;
  }
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    bool loneCr = bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n');
    text.push_back(loneCr ? '\n' : bytes[i]);
  }
  return text;
}

std::string capitalized(std::string text) {
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

}  // namespace vorlo
