// UTF-8 form of the ANSI conversions (every system but Windows). Malformed input never fails: an
// invalid byte becomes U+FFFD, and an unpaired surrogate is written as U+FFFD.
#include "engine/ansi.h"

namespace vorlo {

namespace {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void appendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
  }
}

}  // namespace

std::string utf16ToAnsi(const char16_t* text, size_t length) {
  std::string out;
  out.reserve(length);
  for (size_t i = 0; i < length; i++) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      i++;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    appendUtf8(out, c);
  }
  return out;
}

std::u16string ansiToUtf16(const char* text, size_t length) {
  std::u16string out;
  out.reserve(length);
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  size_t i = 0;
  while (i < length) {
    unsigned char b = s[i];
    int extra;
    char32_t c;
    char32_t minimum;
    if (b < 0x80) {
      out += static_cast<char16_t>(b);
      i++;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1, c = b & 0x1F, minimum = 0x80;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2, c = b & 0x0F, minimum = 0x800;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3, c = b & 0x07, minimum = 0x10000;
    } else {
      out += u'\uFFFD';
      i++;
      continue;
    }
    size_t j = i + 1;
    for (; j <= i + extra && j < length && (s[j] & 0xC0) == 0x80; j++) c = (c << 6) | (s[j] & 0x3F);
    if (j != i + 1 + extra || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      out += u'\uFFFD';
      i = j > i + 1 ? j : i + 1;
      continue;
    }
    appendUtf16(out, c);
    i = j;
  }
  return out;
}

}  // namespace vorlo
