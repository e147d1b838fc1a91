#include "host/mail/mime_codecs.h"

#include <cstdint>

namespace vorlo::mail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHex[] = "0123456789ABCDEF";

int base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::string base64Encode(std::string_view bytes, size_t lineLength) {
  std::string out;
  out.reserve(bytes.size() / 3 * 4 + 4 + (lineLength ? bytes.size() / lineLength * 2 : 0));
  size_t column = 0;
  auto emit = [&](char c) {
    if (lineLength && column == lineLength) {
      out += "\r\n";
      column = 0;
    }
    out += c;
    ++column;
  };
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    uint32_t v = uint8_t(bytes[i]) << 16 | uint8_t(bytes[i + 1]) << 8 | uint8_t(bytes[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6) emit(kAlphabet[(v >> shift) & 63]);
  }
  size_t rest = bytes.size() - i;
  if (rest) {
    uint32_t v = uint8_t(bytes[i]) << 16 | (rest == 2 ? uint8_t(bytes[i + 1]) << 8 : 0);
    emit(kAlphabet[v >> 18 & 63]);
    emit(kAlphabet[v >> 12 & 63]);
    emit(rest == 2 ? kAlphabet[v >> 6 & 63] : '=');
    emit('=');
  }
  return out;
}

std::string base64Decode(std::string_view text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    if (c == '=') break;
    int v = base64Value(c);
    if (v < 0) continue;
    bits = bits << 6 | uint32_t(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>(bits >> count & 0xFF);
    }
  }
  return out;
}

std::string quotedPrintableEncode(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  size_t column = 0;
  auto put = [&](std::string_view token) {
    if (column + token.size() > 75) {
      out += "=\r\n";
      column = 0;
    }
    out += token;
    column += token.size();
  };
  auto escaped = [&](uint8_t b) {
    char t[3] = {'=', kHex[b >> 4], kHex[b & 15]};
    put(std::string_view(t, 3));
  };
  for (size_t i = 0; i < bytes.size(); ++i) {
    uint8_t b = uint8_t(bytes[i]);
    bool hardBreak = b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n';
    if (hardBreak) {
      out += "\r\n";
      column = 0;
      ++i;
      continue;
    }
    bool lineEndFollows = i + 1 == bytes.size() || (bytes[i + 1] == '\r' && i + 2 < bytes.size() && bytes[i + 2] == '\n');
    if ((b == ' ' || b == '\t') && !lineEndFollows) {
      char t = char(b);
      put(std::string_view(&t, 1));
    } else if (b >= 33 && b <= 126 && b != '=') {
      char t = char(b);
      put(std::string_view(&t, 1));
    } else {
      escaped(b);
    }
  }
  if (column > 0) out += "=\r\n";
  return out;
}

std::string quotedPrintableDecode(std::string_view text, bool underscoreIsBlank) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '_' && underscoreIsBlank) {
      out += ' ';
    } else if (c != '=') {
      out += c;
    } else if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;
    } else if (i + 1 < text.size() && text[i + 1] == '\n') {
      i += 1;
    } else if (i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) << 4 | hexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

size_t singleByteChar(std::string_view) { return 1; }

std::string encodeWords(std::string_view text, std::string_view charset, CharLength charLength) {
  // "=?" charset "?B?" ... "?=" within 75 characters; the payload a whole number of base64 groups.
  size_t overhead = 7 + charset.size();
  size_t groups = overhead < 75 ? (75 - overhead) / 4 : 0;
  size_t room = groups ? groups * 3 : 3;
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = pos;
    while (end < text.size()) {
      size_t n = charLength(text.substr(end));
      if (n == 0) n = 1;
      if (end + n > text.size()) n = text.size() - end;
      if (end + n - pos > room && end > pos) break;
      end += n;
    }
    if (!out.empty()) out += "\r\n ";
    out += "=?";
    out += charset;
    out += "?B?";
    out += base64Encode(text.substr(pos, end - pos));
    out += "?=";
    pos = end;
  }
  return out;
}

std::string decodeWords(std::string_view text) {
  std::string out;
  size_t pos = 0;
  bool lastWasWord = false;
  while (pos < text.size()) {
    size_t start = text.find("=?", pos);
    size_t q1 = start == std::string_view::npos ? start : text.find('?', start + 2);
    bool word = q1 != std::string_view::npos && q1 + 2 < text.size() && text[q1 + 2] == '?';
    size_t end = word ? text.find("?=", q1 + 3) : std::string_view::npos;
    char kind = word ? char(text[q1 + 1] & ~0x20) : 0;
    if (!word || end == std::string_view::npos || (kind != 'B' && kind != 'Q')) {
      out += text.substr(pos);
      break;
    }
    std::string_view between = text.substr(pos, start - pos);
    bool blankOnly = between.find_first_not_of(" \t") == std::string_view::npos;
    if (!(lastWasWord && blankOnly)) out += between;
    std::string_view payload = text.substr(q1 + 3, end - q1 - 3);
    out += kind == 'B' ? base64Decode(payload) : quotedPrintableDecode(payload, true);
    pos = end + 2;
    lastWasWord = true;
  }
  return out;
}

}  // namespace vorlo::mail
