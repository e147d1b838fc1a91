// Number printing and the version-dependent conversions of ActionScript values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "player/avm1/value.h"

using namespace vorlo::player::avm1;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

TEST(Avm1Conversions, NumbersPrintAsTheReferencePlayerPrintsThem) {
  struct Case {
    double n;
    const char* text;
  } cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1, "1"},
      {-42, "-42"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {123456789012345, "123456789012345"},
      {999999999999999, "999999999999999"},
      {1e15, "1e+15"},
      {1234567890123456789.0, "1.23456789012346e+18"},
      {0.0001, "0.0001"},
      {0.00001, "0.00001"},
      {0.000001, "1e-6"},
      {1.5e-7, "1.5e-7"},
      {-2.5e20, "-2.5e+20"},
      {4294967296.0, "4294967296"},
      {1.7976931348623157e308, "1.79769313486232e+308"},
      {5e-324, "4.94065645841247e-324"},
      {kNaN, "NaN"},
      {kInf, "Infinity"},
      {-kInf, "-Infinity"},
  };
  for (const Case& c : cases) EXPECT_EQ(numberToString(c.n), c.text) << c.text;
}

TEST(Avm1Conversions, RadixPrinting) {
  EXPECT_EQ(numberToRadix(255, 16), "ff");
  EXPECT_EQ(numberToRadix(-255, 2), "-11111111");
  EXPECT_EQ(numberToRadix(35, 36), "z");
  EXPECT_EQ(numberToRadix(1.5, 10), "1.5");
}

TEST(Avm1Conversions, StringsToNumbersByVersion) {
  struct Case {
    const char* s;
    int version;
    double n;  // NaN where NaN is expected
  } cases[] = {
      {"150a", 4, 150},   {"150a", 5, kNaN}, {"0x96", 4, 0},   {"0x96", 5, kNaN},  {"0x96", 6, 150},
      {"0xFFFFFFFF", 7, -1}, {"010", 5, 10},   {"010", 6, 8},    {" 010", 7, 10},  {"-037777777777", 7, 1},  {"", 4, 0},       {"", 5, kNaN},      {"  12", 7, 12},
      {"1e3", 7, 1000},   {"-.5", 7, -0.5},  {"abc", 4, 0},    {"Infinity", 7, kNaN}, {"12 ", 7, kNaN},
  };
  for (const Case& c : cases) {
    double got = stringToNumber(c.s, c.version);
    if (std::isnan(c.n)) EXPECT_TRUE(std::isnan(got)) << c.s << " v" << c.version;
    else EXPECT_EQ(got, c.n) << c.s << " v" << c.version;
  }
}

TEST(Avm1Conversions, UndefinedAndNullByVersion) {
  EXPECT_EQ(primitiveToString(Value(), 6), "");
  EXPECT_EQ(primitiveToString(Value(), 7), "undefined");
  EXPECT_EQ(primitiveToString(Value::null(), 6), "null");
  EXPECT_EQ(primitiveToNumber(Value(), 6), 0);
  EXPECT_TRUE(std::isnan(primitiveToNumber(Value(), 7)));
  EXPECT_EQ(primitiveToNumber(Value::null(), 6), 0);
  EXPECT_TRUE(std::isnan(primitiveToNumber(Value::null(), 7)));
  EXPECT_EQ(primitiveToString(Value(true), 5), "true");
}

TEST(Avm1Conversions, TruthOfStringsByVersion) {
  struct Case {
    const char* s;
    int version;
    bool truth;
  } cases[] = {
      {"abc", 6, false}, {"abc", 7, true}, {"1", 6, true}, {"0", 6, false},
      {"0", 7, true},    {"", 7, false},   {"2", 5, true}, {"true", 6, false},
  };
  for (const Case& c : cases) EXPECT_EQ(toBoolean(Value(c.s), c.version), c.truth) << c.s << " v" << c.version;
  EXPECT_FALSE(toBoolean(Value(kNaN), 7));
  EXPECT_FALSE(toBoolean(Value(), 7));
}

TEST(Avm1Conversions, IntegerWrapping) {
  EXPECT_EQ(toInt32(4294967295.0), -1);
  EXPECT_EQ(toInt32(2147483648.0), -2147483647 - 1);
  EXPECT_EQ(toInt32(-1.9), -1);
  EXPECT_EQ(toInt32(kNaN), 0);
  EXPECT_EQ(toUint32(-1), 4294967295u);
  EXPECT_EQ(toUint32(kInf), 0u);
}

}  // namespace
