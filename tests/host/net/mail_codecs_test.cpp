#include <gtest/gtest.h>

#include <string>

#include "host/mail/cram_md5.h"
#include "host/mail/mime_codecs.h"

namespace vorlo::mail {
namespace {

TEST(Base64, KnownVectorsAndLines) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"}, {std::string("\0\xff\xfe", 3), "AP/+"}};
  for (const auto& [plain, coded] : cases) {
    EXPECT_EQ(base64Encode(plain), coded);
    EXPECT_EQ(base64Decode(coded), plain);
  }
  std::string all;
  for (int i = 0; i < 256; ++i) all += char(i);
  std::string lines = base64Encode(all, 76);
  EXPECT_EQ(lines.find("\r\n"), 76u);
  EXPECT_EQ(lines.substr(lines.size() - 2), "==");  // no break after the last line
  EXPECT_EQ(base64Decode(lines), all);                // line breaks are skipped
}

TEST(QuotedPrintable, EscapesBreaksAndBlanks) {
  const std::pair<std::string, std::string> cases[] = {
      {"a=b", "a=3Db=\r\n"},
      {"line one\r\nline two", "line one\r\nline two=\r\n"},
      {"end \r\nnext\t", "end=20\r\nnext=09=\r\n"},  // blanks before a break or the end stay visible
      {"lone\nfeed\rreturn", "lone=0Afeed=0Dreturn=\r\n"},
      {"caf\xe9\r\n", "caf=E9\r\n"},  // an empty last line gets no soft break
  };
  for (const auto& [plain, coded] : cases) {
    EXPECT_EQ(quotedPrintableEncode(plain), coded) << plain;
    EXPECT_EQ(quotedPrintableDecode(coded), plain) << coded;
  }
  std::string all;
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 256; ++i) all += char(i);
  std::string coded = quotedPrintableEncode(all);
  for (size_t start = 0, eol; (eol = coded.find("\r\n", start)) != std::string::npos; start = eol + 2)
    EXPECT_LE(eol - start, 76u);
  EXPECT_EQ(quotedPrintableDecode(coded), all);
}

TEST(QuotedPrintable, DecodingKeepsStrayEquals) {
  EXPECT_EQ(quotedPrintableDecode("a=ZZb=4"), "a=ZZb=4");
  EXPECT_EQ(quotedPrintableDecode("soft=\nbreak=\r\n"), "softbreak");
  EXPECT_EQ(quotedPrintableDecode("a_b", true), "a b");
}

size_t doubleByte(std::string_view text) { return uint8_t(text[0]) >= 0x81 ? 2 : 1; }

TEST(EncodedWords, ShortWordsOnWholeCharacters) {
  std::string subject;
  for (int i = 0; i < 40; ++i) subject += "\x82\xa0x";  // double-byte characters between ASCII ones
  std::string words = encodeWords(subject, "iso-2022-jp", doubleByte);
  size_t count = 0;
  for (size_t start = 0;;) {
    size_t eol = words.find("\r\n ", start);
    std::string word = words.substr(start, eol == std::string::npos ? std::string::npos : eol - start);
    ++count;
    EXPECT_LE(word.size(), 75u);
    ASSERT_EQ(word.substr(0, 16), "=?iso-2022-jp?B?");
    std::string bytes = base64Decode(word.substr(16, word.size() - 18));
    for (size_t i = 0; i < bytes.size(); i += doubleByte(std::string_view(bytes).substr(i)))
      ASSERT_LE(i + doubleByte(std::string_view(bytes).substr(i)), bytes.size()) << "a character split between words";
    if (eol == std::string::npos) break;
    start = eol + 3;
  }
  EXPECT_GT(count, 1u);
  std::string unfolded = words;
  for (size_t p; (p = unfolded.find("\r\n")) != std::string::npos;) unfolded.erase(p, 2);
  EXPECT_EQ(decodeWords(unfolded), subject);
}

TEST(EncodedWords, Decoding) {
  const std::pair<std::string, std::string> cases[] = {
      {"=?utf-8?B?aGVsbG8=?= =?utf-8?Q?_w=C3=B6rld?=", "hello w\xc3\xb6rld"},
      {"Re: =?x?q?a_b?= tail", "Re: a b tail"},
      {"plain =? text ?=", "plain =? text ?="},
      {"=?broken?B?no end", "=?broken?B?no end"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(decodeWords(in), out) << in;
}

TEST(CramMd5, Rfc2195Example) {
  EXPECT_EQ(hmacMd5Hex("tanstaaftanstaaf", "<1896.697170952@postoffice.reston.mci.net>"), "b913a602c7eda7a495b4e6e7334d3890");
  EXPECT_EQ(cramMd5Answer("tim", "tanstaaftanstaaf", "PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+"),
            "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw");
  // RFC 2202 case 6: a key longer than the block is replaced by its digest.
  EXPECT_EQ(hmacMd5Hex(std::string(80, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First"),
            "6b1ab7fe4bd7bf8f0b62e6ce61b9d0cd");
}

}  // namespace
}  // namespace vorlo::mail
