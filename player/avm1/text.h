// UTF-8 <-> UTF-16 for the string operations that count characters as scripts do (UTF-16 units).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlo::player::avm1 {

inline std::u16string toUtf16(std::string_view s) {
  std::u16string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = c;
    size_t n = 1;
    if (c >= 0xF0) {
      if (i + 3 < s.size()) {
        cp = (c & 0x07u) << 18 | (uint32_t(s[i + 1]) & 0x3F) << 12 | (uint32_t(s[i + 2]) & 0x3F) << 6 |
             (uint32_t(s[i + 3]) & 0x3F);
        n = 4;
      }
    } else if (c >= 0xE0) {
      if (i + 2 < s.size()) {
        cp = (c & 0x0Fu) << 12 | (uint32_t(s[i + 1]) & 0x3F) << 6 | (uint32_t(s[i + 2]) & 0x3F);
        n = 3;
      }
    } else if (c >= 0xC0) {
      if (i + 1 < s.size()) {
        cp = (c & 0x1Fu) << 6 | (uint32_t(s[i + 1]) & 0x3F);
        n = 2;
      }
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

inline void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

inline std::string toUtf8(std::u16string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    uint32_t cp = s[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    }
    appendUtf8(out, cp);
  }
  return out;
}

// Orders two texts by their characters (code points; surrogate pairs count as one).
inline bool lessByCodePoints(std::string_view a, std::string_view b) {
  auto points = [](std::string_view s) {
    std::u16string u = toUtf16(s);
    std::u32string out;
    for (size_t i = 0; i < u.size(); ++i) {
      char32_t c = u[i];
      if (c >= 0xD800 && c < 0xDC00 && i + 1 < u.size() && u[i + 1] >= 0xDC00 && u[i + 1] < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
        ++i;
      }
      out += c;
    }
    return out;
  };
  return points(a) < points(b);
}

}  // namespace vorlo::player::avm1
