// The ANSI text conversions behind names and strings.
#include <gtest/gtest.h>

#include "engine/ansi.h"
#include "engine_fixture.h"

namespace vorlo::test {
namespace {

TEST(AnsiText, AsciiRoundTrips) {
  std::u16string wide = u"Hello, world 0-9 ~";
  std::string narrow = utf16ToAnsi(wide.data(), wide.size());
  EXPECT_EQ(narrow, "Hello, world 0-9 ~");
  EXPECT_EQ(ansiToUtf16(narrow.data(), narrow.size()), wide);
  EXPECT_EQ(utf16ToAnsi(nullptr, 0), "");
  EXPECT_EQ(ansiToUtf16(nullptr, 0), u"");
}

#ifndef _WIN32
TEST(AnsiText, IsUtf8AndNeverFailsOnMalformedInput) {
  std::u16string wide = u"\u00E9\u4E2D\U0001F600";
  EXPECT_EQ(utf16ToAnsi(wide.data(), wide.size()), "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  std::string utf8 = "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";
  EXPECT_EQ(ansiToUtf16(utf8.data(), utf8.size()), wide);
  struct Row {
    std::string bytes;
    std::u16string wide;
  } malformed[] = {{"a\xFF" "b", u"a\uFFFDb"},
                   {"\xC3", u"\uFFFD"},
                   {"\xC0\xAF", u"\uFFFD\uFFFD"},       // overlong
                   {"\xED\xA0\x80", u"\uFFFD"},         // encoded surrogate
                   {"\xE4\xB8" "x", u"\uFFFDx"}};        // cut short
  for (const Row& r : malformed) EXPECT_EQ(ansiToUtf16(r.bytes.data(), r.bytes.size()), r.wide) << r.bytes;
  std::u16string lone = u"x\xD800y";
  EXPECT_EQ(utf16ToAnsi(lone.data(), lone.size()), "x\xEF\xBF\xBDy");
}
#else
TEST(AnsiText, IsTheActiveCodePage) {
  // Wine's and Windows' Western code page 1252 (the test prefix's default).
  std::u16string wide = u"caf\u00E9";
  EXPECT_EQ(utf16ToAnsi(wide.data(), wide.size()), "caf\xE9");
  EXPECT_EQ(ansiToUtf16("caf\xE9", 4), wide);
}
#endif

using AnsiStringTest = EngineTest;

TEST_F(AnsiStringTest, StringsAndNamesMeetThroughAnsiText) {
  ScriptString* s = newStringFromAnsi(vm, "name", 4);
  EXPECT_FALSE(isStatic(s));
  EXPECT_EQ(stringToAnsi(s), "name");
  EXPECT_EQ(newStringFromAnsi(vm, nullptr, 0)->length, 0u);
  ScriptObject* o = newObject(vm);
  objectSetByKey(vm, o, ScriptValue::string(s), ScriptValue::integer(1));
  EXPECT_EQ(atomName(vm, o->slots[0].key), "name");
}

}  // namespace
}  // namespace vorlo::test
