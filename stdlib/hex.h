// Hexadecimal digits of the escape forms ("%41", "%u0041") written and read by escape, unescape and
// the URI functions.
#pragma once

namespace vorlo {

inline constexpr char kHexDigits[] = "0123456789ABCDEF";

// The value of a hexadecimal digit of either case, or -1.
inline int hexDigitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

}  // namespace vorlo
