// Number text against the C library's own printf on this platform (glibc rounds correctly; the
// runtime's exponents have at least three digits, which is the one difference), and the formatter's
// handling of format texts that printf must never see.
#include "stdlib/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace vorlo {
namespace {

#ifndef _WIN32
std::string widen(std::string text) {
  size_t e = text.find_first_of("eE");
  if (e == std::string::npos || e + 2 >= text.size()) return text;
  std::string digits = text.substr(e + 2);
  while (digits.size() < 3) digits.insert(0, "0");
  return text.substr(0, e + 2) + digits;
}

std::string printfText(const char* format, double d) {
  char buffer[2048];
  std::snprintf(buffer, sizeof buffer, format, d);
  // Hexadecimal forms keep their exponent as printf writes it.
  return std::strpbrk(format, "aA") ? std::string(buffer) : widen(buffer);
}

std::string ascii(const std::u16string& s) { return std::string(s.begin(), s.end()); }

TEST(NumberText, FloatsMatchCorrectlyRoundedPrintf) {
  std::mt19937_64 random(12345);
  for (int i = 0; i < 200000; i++) {
    uint64_t bits = random();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (!std::isfinite(d)) continue;
    ASSERT_EQ(floatText(d), printfText("%g", d)) << bits;
  }
  for (double d : {0.5, 123456.5, 999999.5, 9999995.0, 1e-5, 0.0001, 1e21, 5e-324, -0.0, 100.0}) {
    EXPECT_EQ(floatText(d), printfText("%g", d)) << d;
  }
}

TEST(NumberText, FormatsMatchPrintfForEveryFloatConversion) {
  // Widths only where no exponent can appear (the wider exponent would change the padding).
  const char* formats[] = {"%f", "%.0f", "%#.0f", "%e", "%.3E", "%#.0e", "%g", "%#g", "%.10g", "%G",
                           "%+40.4f", "% -60.2f|", "%080.3f", "%+e", "% g", "%a", "%.3a", "%A"};
  std::mt19937_64 random(7);
  for (int i = 0; i < 3000; i++) {
    double d = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 200) - 120);
    if (i % 2) d = -d;
    for (const char* f : formats) {
      std::u16string format(f, f + std::strlen(f));
      std::string expected = printfText(f, d);
      ASSERT_EQ(ascii(formatNumber(format, {false, 0, d})), expected) << f << " " << d;
    }
  }
}

TEST(NumberText, IntegerConversionsTakeTheirSizeOfTheNumber) {
  struct Case {
    const char* format;
    int64_t value;
    const char* expected;
  } cases[] = {
      {"%d", 4294967301, "5"},          {"%I64d", 4294967301, "4294967301"},
      {"%lld", -2, "-2"},               {"%u", -1, "4294967295"},
      {"%hd", 65535, "-1"},             {"%hhu", 257, "1"},
      {"%x", 255, "ff"},                {"%#X", 255, "0XFF"},
      {"%#o", 8, "010"},                {"%08.3d", 7, "     007"},
      {"%-5d|", 42, "42   |"},          {"%+d % d", 3, "+3 % d"},
      {"%.0d", 0, ""},                  {"%I64x", -1, "ffffffffffffffff"},
      {"%c", 65601, "A"},               {"%5c|", 66, "    B|"},
      {"%s %n %p %*d %%", 1, "%s %n %p %*d %"},
      {"%", 1, "%"},                    {"%5", 1, "%5"},
      {"100%", 1, "100%"},
  };
  for (const Case& c : cases) {
    std::u16string format(c.format, c.format + std::strlen(c.format));
    EXPECT_EQ(ascii(formatNumber(format, {true, c.value, 0})), c.expected) << c.format;
  }
  // Floats given to integer conversions are truncated toward zero, integers to float ones widened.
  EXPECT_EQ(ascii(formatNumber(u"%d", {false, 0, -2.9})), "-2");
  EXPECT_EQ(ascii(formatNumber(u"%d", {false, 0, 1e300})), "0");
  EXPECT_EQ(ascii(formatNumber(u"%.1f", {true, 7, 0})), "7.0");
}

TEST(NumberText, ResultIsCutAtItsLimit) {
  EXPECT_EQ(formatNumber(u"%0999999999d", {true, 1, 0}).size(), 259u);
  EXPECT_EQ(formatNumber(u"%.99999f", {false, 0, 1e308}).size(), 259u);
  std::u16string longText(5000, u'x');
  EXPECT_EQ(formatNumber(longText, {true, 1, 0}).size(), 259u);
}
#endif

TEST(NumberText, IntegerRadices) {
  EXPECT_EQ(integerText(INT64_MIN), "-9223372036854775808");
  EXPECT_EQ(integerText(-1, 16), "ffffffffffffffff");
  EXPECT_EQ(integerText(35, 36), "z");
  EXPECT_EQ(integerText(-5, 99), "-5");
  EXPECT_EQ(floatText(INFINITY), "Infinity");
  EXPECT_EQ(floatText(-INFINITY), "-Infinity");
  EXPECT_EQ(floatText(NAN), "NaN");
}

}  // namespace
}  // namespace vorlo
