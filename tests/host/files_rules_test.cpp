#include <gtest/gtest.h>

#include "host/files/path_rules.h"
#include "host/shell/special_folders.h"

namespace vorlo {
namespace {

char16_t asciiFold(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

TEST(Wildcard, Matches) {
  struct Case {
    std::u16string_view name, pattern;
    bool match;
  };
  const Case cases[] = {
      {u"report.txt", u"*.txt", true},   {u"REPORT.TXT", u"*.txt", true},  {u"report.txt", u"*.doc", false},
      {u"a", u"?", true},                {u"", u"?", false},               {u"", u"*", true},
      {u"abcabd", u"*abd", true},        {u"abcabc", u"*abd", false},      {u"ab", u"a**", true},
      {u"mississippi", u"m*ss*pi", true}, {u"x.tx", u"*.txt", false},      {u"file", u"", false},
      {u"a.b.c", u"*.*", true},          {u"abc", u"a?c*", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wildcardMatch(c.name, c.pattern, asciiFold), c.match)
        << std::string(c.name.begin(), c.name.end()) << " ~ " << std::string(c.pattern.begin(), c.pattern.end());
  }
}

TEST(Wildcard, FilterPatternsAreNotTrimmed) {
  auto p = filterPatterns(u"*.txt; *.doc;");
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[1], u" *.doc");
  EXPECT_EQ(p[2], u"");
}

TEST(FileTimes, ConversionBothWays) {
  EXPECT_EQ(fileTimeToMs(116444736000000000ULL), 0);
  EXPECT_EQ(fileTimeToMs(0), -11644473600000LL);
  uint64_t ft = 0;
  ASSERT_TRUE(msToFileTime(1000, &ft));
  EXPECT_EQ(ft, 116444736010000000ULL);
  EXPECT_TRUE(msToFileTime(-11644473600000LL, &ft));
  EXPECT_EQ(ft, 0u);
  EXPECT_FALSE(msToFileTime(-11644473600001LL, &ft));  // before 1601
  EXPECT_FALSE(msToFileTime(INT64_MAX, &ft));           // would overflow
}

TEST(PathParts, DriveNameParentRoot) {
  EXPECT_EQ(drivePart(u"C:\\dir\\x.txt"), u"C:");
  EXPECT_EQ(drivePart(u"\\\\server\\share"), u"");
  EXPECT_EQ(namePart(u"C:\\dir\\x.txt"), u"x.txt");
  EXPECT_EQ(namePart(u"plain"), u"plain");
  EXPECT_EQ(parentPart(u"C:\\dir\\x.txt"), u"C:\\dir");
  EXPECT_EQ(parentPart(u"plain"), u"plain");
  EXPECT_TRUE(isDriveRoot(u"C:\\"));
  EXPECT_FALSE(isDriveRoot(u"C:"));
  EXPECT_FALSE(isDriveRoot(u"C:\\dir"));
  EXPECT_EQ(joinPath(u"C:\\a/", u"b"), u"C:\\a\\b");
  EXPECT_EQ(joinPath(u"C:\\a\\", u"b"), u"C:\\a\\b");
  EXPECT_EQ(joinPath(u"C:\\a", u"b"), u"C:\\a\\b");
}

TEST(PathParts, SameOrBelow) {
  EXPECT_TRUE(isSameOrBelow(u"C:\\A\\b", u"c:\\a", asciiFold));
  EXPECT_TRUE(isSameOrBelow(u"C:\\a", u"C:\\a\\", asciiFold));
  EXPECT_TRUE(isSameOrBelow(u"C:/a/b/c", u"C:\\a", asciiFold));
  EXPECT_FALSE(isSameOrBelow(u"C:\\ab", u"C:\\a", asciiFold));
  EXPECT_FALSE(isSameOrBelow(u"C:\\", u"C:\\a", asciiFold));
}

TEST(SpecialFolders, NamesIgnoreCase) {
  const SpecialFolder* f = findSpecialFolder(u"My Documents");
  ASSERT_TRUE(f);
  EXPECT_EQ(f->csidl, 5);
  ASSERT_TRUE(findSpecialFolder(u"TEMP"));
  EXPECT_EQ(findSpecialFolder(u"TEMP")->source, FolderSource::Temp);
  EXPECT_EQ(findSpecialFolder(u"startup all")->csidl, 0x18);
  EXPECT_FALSE(findSpecialFolder(u"recycle bin"));
  EXPECT_FALSE(findSpecialFolder(u"temp "));
}

}  // namespace
}  // namespace vorlo

#include "host/shell/hot_key.h"

namespace vorlo {
namespace {

std::u16string fakeKeyName(HotKey h) { return u"K" + std::u16string(1, static_cast<char16_t>(u'0' + (h.key % 10))); }

TEST(HotKeyText, ParsesModifiersAndKeys) {
  struct Case {
    std::u16string_view text;
    uint8_t modifiers, key;
  };
  const Case cases[] = {
      {u"ctrl+alt+f5", 0x6, 0x74}, {u"Shift+home", 0x9, 0x24}, {u"CTRL+num 7", 0x2, 0x67}, {u"alt+f12", 0x4, 0x7B},
      {u"ctrl+x", 0x2, 'X'},       {u"ctrl+f1x", 0x2, 'F'},    {u"a+b", 0x0, 'B'},        {u"", 0, 0},
      {u"ins", 0x8, 0x2D},
  };
  for (const Case& c : cases) {
    HotKey h = parseHotKey(c.text);
    EXPECT_EQ(h.modifiers, c.modifiers) << std::string(c.text.begin(), c.text.end());
    EXPECT_EQ(h.key, c.key) << std::string(c.text.begin(), c.text.end());
  }
  EXPECT_EQ(hotKeyText(HotKey{}, fakeKeyName), u"None");
  EXPECT_EQ(hotKeyText(HotKey{0x7, 0x41}, fakeKeyName), u"CTRL+SHIFT+ALT+K5");
  EXPECT_EQ(hotKeyText(HotKey{0x4, 0}, fakeKeyName), u"ALT");
  EXPECT_EQ(hotKeyText(HotKey{0, 0x42}, fakeKeyName), u"K6");
}

}  // namespace
}  // namespace vorlo

#include "host/data_file/data_file_layout.h"

namespace vorlo {
namespace {

TEST(DataFileLayout, SectionPartsAndIndices) {
  EXPECT_EQ(sectionParts(u"x.list.0"), (std::vector<std::u16string>{u"x", u"list", u"0"}));
  EXPECT_EQ(sectionParts(u"a b.c"), (std::vector<std::u16string>{u"a", u"b", u"c"}));
  EXPECT_EQ(sectionParts(u"a..b"), (std::vector<std::u16string>{u"a", u"", u"b"}));
  EXPECT_EQ(indexPart(u"0"), 0);
  EXPECT_EQ(indexPart(u"4294967294"), 4294967294LL);
  EXPECT_FALSE(indexPart(u"4294967295"));     // beyond the index range
  EXPECT_FALSE(indexPart(u"99999999999999"));  // far beyond it
  EXPECT_FALSE(indexPart(u"-1"));
  EXPECT_FALSE(indexPart(u"1a"));
  EXPECT_FALSE(indexPart(u""));
}

TEST(DataFileLayout, TypesAndIntegers) {
  EXPECT_EQ(storedType(u"array"), StoredType::Array);
  EXPECT_FALSE(storedType(u"Array"));
  EXPECT_EQ(storedTypeName(StoredType::Float), u"float");
  EXPECT_EQ(integerValue(u"-42"), -42);
  EXPECT_EQ(integerValue(u"12abc"), 12);
  EXPECT_EQ(integerValue(u"9223372036854775807"), INT64_MAX);
  EXPECT_EQ(integerValue(u"junk"), 0);
}

}  // namespace
}  // namespace vorlo
