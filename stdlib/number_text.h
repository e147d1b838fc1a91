// Numbers as text: the engine's number-to-text conversion and the %-conversion formatter behind
// Number's `format`. Both are our own code over std::to_chars, so the text is the same on every
// platform and correctly rounded.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlo {

// An integer in radix 2-36 (lower-case digits); outside radix 10 a negative value is written as its
// 64-bit two's complement. Another radix writes decimal.
std::string integerText(int64_t value, int radix = 10);

// A float as "%g" writes it: six significant digits, exponent form with at least three exponent
// digits for exponents below -4 or from 6 up (1e+021). Infinities are "Infinity" and "-Infinity",
// a not-a-number bit pattern "NaN".
std::string floatText(double value);

// The number a format is applied to: the integer or float payload of a number value.
struct FormatArgument {
  bool isInteger;
  int64_t integer;
  double number;
};

// Formats with a printf-style format text of our own interpretation. The first conversion
// (flags "-+ #0", width, precision, size prefixes h hh l ll L I I32 I64 w, and one of d i u o x X c
// e E f F g G a A) takes the number, converted to the conversion's type; "%%" is a percent sign;
// anything else - a later conversion, an unknown or unsupported one (%s, %n, %p, "*" widths) - is
// copied as text. The result is cut to `maxLength` units.
std::u16string formatNumber(std::u16string_view format, const FormatArgument& argument,
                            size_t maxLength = 259);

}  // namespace vorlo
