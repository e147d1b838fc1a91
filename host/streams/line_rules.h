// The two line-reading rules of the stream classes and the terminated-text readers, over any source
// of bytes. `next()` answers the next byte 0..255 or a negative value at the end.
#pragma once
#include <cstdint>
#include <string>

#include "host/streams/memory_stream.h"

namespace vorlo {

// StringStream: LF ends a line; CR LF and a CR at the end end it too; a CR inside a line is dropped.
// "" when the stream is at its end.
std::string readMemoryLine(MemoryStream& s);

// FileStream: bytes up to and including the first LF (or the end); then a trailing CR LF or LF is
// removed. A CR elsewhere stays in the line.
template <typename Next>
std::string readFileLine(Next&& next) {
  std::string line;
  for (int b; (b = next()) >= 0;) {
    line += static_cast<char>(b);
    if (b == '\n') break;
  }
  if (!line.empty() && line.back() == '\n') {
    line.pop_back();
    if (!line.empty() && line.back() == '\r') line.pop_back();
  }
  return line;
}

// Bytes up to the next NUL (consumed, not kept) or the end.
template <typename Next>
std::string readTerminatedBytes(Next&& next) {
  std::string text;
  for (int b; (b = next()) > 0;) text += static_cast<char>(b);
  return text;
}

// 16-bit little-endian units up to the next 0 unit (consumed) or the end; a lone last byte is the
// low half of a unit.
template <typename Next>
std::u16string readTerminatedUnits(Next&& next) {
  std::u16string text;
  for (;;) {
    int lo = next();
    if (lo < 0) break;
    int hi = next();
    char16_t unit = static_cast<char16_t>(lo | (hi < 0 ? 0 : hi << 8));
    if (unit == 0) break;
    text += unit;
    if (hi < 0) break;
  }
  return text;
}

}  // namespace vorlo
