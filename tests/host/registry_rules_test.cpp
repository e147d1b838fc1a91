#include <gtest/gtest.h>

#include <cstring>

#include "host/registry/registry_rules.h"

namespace vorlo {
namespace {

std::vector<uint8_t> units(std::u16string_view text) {
  std::vector<uint8_t> bytes;
  for (char16_t u : text) bytes.insert(bytes.end(), {uint8_t(u & 0xFF), uint8_t(u >> 8)});
  return bytes;
}

TEST(RegistryRules, RootNamesAndPaths) {
  EXPECT_EQ(rootKeyValue(u"HKCU"), 0x80000001u);
  EXPECT_EQ(rootKeyValue(u"hklm"), 0x80000002u);
  EXPECT_EQ(rootKeyValue(u"HKDD"), 0x80000006u);
  EXPECT_FALSE(rootKeyValue(u"HKEY_CURRENT_USER"));
  EXPECT_FALSE(rootKeyValue(u"Software"));
  KeyPath p = splitKeyPath(u"HKCU\\Software\\Vorlo");
  EXPECT_EQ(p.first, u"HKCU");
  EXPECT_EQ(p.rest, u"Software\\Vorlo");
  EXPECT_EQ(splitKeyPath(u"HKCU").rest, u"");
  EXPECT_EQ(createAccess(0), 0xF003Fu);
  EXPECT_EQ(createAccess(9), 0x20006u);
  EXPECT_EQ(createAccess(10), 0xF003Fu);
  EXPECT_EQ(createAccess(-1), 0xF003Fu);
}

TEST(RegistryRules, DataIsReadWithinItsLength) {
  // Unterminated text: read to the end of the data, never beyond it.
  auto text = units(u"abc");
  EXPECT_EQ(dataText(text.data(), 4), u"ab");
  EXPECT_EQ(dataText(text.data(), 5), u"ab");  // a lone last byte is no unit
  EXPECT_EQ(dataText(text.data(), text.size()), u"abc");
  auto withNul = units(std::u16string(u"ab\0cd", 5));
  EXPECT_EQ(dataText(withNul.data(), withNul.size()), u"ab");

  auto multi = units(std::u16string(u"one\0two\0\0junk", 13));
  EXPECT_EQ(dataStrings(multi.data(), multi.size()), (std::vector<std::u16string>{u"one", u"two"}));
  auto unterminated = units(std::u16string(u"one\0two", 7));
  EXPECT_EQ(dataStrings(unterminated.data(), unterminated.size()), (std::vector<std::u16string>{u"one", u"two"}));
  EXPECT_TRUE(dataStrings(nullptr, 0).empty());
}

TEST(RegistryRules, MultiStringsGetBothTerminatorsInACopy) {
  struct Case {
    std::u16string in, out;
  };
  const Case cases[] = {
      {std::u16string(u"a", 1), std::u16string(u"a\0\0", 3)},
      {std::u16string(u"a\0", 2), std::u16string(u"a\0\0", 3)},
      {std::u16string(u"a\0\0", 3), std::u16string(u"a\0\0", 3)},
      {std::u16string(), std::u16string(u"\0\0", 2)},
  };
  for (const Case& c : cases) {
    auto in = units(c.in);
    EXPECT_EQ(terminatedMultiString(in.data(), in.size()), units(c.out));
  }
}

}  // namespace
}  // namespace vorlo
