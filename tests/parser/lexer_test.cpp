// Lexer: token codes and values, literals with their escapes and quirks, comments, the line counter,
// every lexer message, the keyword table and file sources read through the stream buffer.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/symbols.h"
#include "tests/parser/parse_fixture.h"

namespace vorlo::test {
namespace {

using LexerTest = ParseFixture;

struct TokenCase {
  const char* source;
  const char* tokens;
};

TEST_F(LexerTest, TokensAndValues) {
  const TokenCase cases[] = {
      // operators, longest match first
      {"= == === ! != !== < <= << <<= > >= >> >>= >>> >>>=",
       "= == === ! != !== < <= << <<= > >= >> >>= >>> >>>="},
      {"& && &= | || |= + ++ += - -- -= * *= / /= % %= ^ ^=",
       "& && &= | || |= + ++ += - -- -= * *= / /= % %= ^ ^="},
      {"a+++b", "id:a ++ + id:b"},
      {">>>>=", ">>> >="},
      {"a.b", "id:a . id:b"},
      {"x.5", "id:x f:0.5"},
      {"( ) [ ] { } ; , ? : ~ @ `", "( ) [ ] { } ; , ? : ~ @ `"},
      // names and keywords (case-sensitive)
      {"$a _b c9", "id:$a id:_b id:c9"},
      {"class const enum super debugger export extends import",
       "class const enum super debugger export extends import"},
      {"true false null undefined this struct dllimport as",
       "true false null undefined this struct dllimport as"},
      {"True NULL Struct unsigned arguments", "id:True id:NULL id:Struct id:unsigned id:arguments"},
      // character literals
      {"#'A'", "i:65"},
      {"#'\xE9'", "i:-23"},
      {"#'\\n' #'\\'' #'\\x7F' #'\\xFF' #'\\101'", "i:10 i:39 i:127 i:-1 i:65"},
      {"#'\\\nA'", "i:65"},
      // octal quirk, hexadecimal, wrapping
      {"0 7 0777 08 09", "i:0 i:7 i:511 i:0 i:8 i:0 i:9"},
      {"0x 0xg 0x1F 0XfF", "i:0 i:0 id:g i:31 i:255"},
      {"0xFFFFFFFFFFFFFFFF 0x10000000000000001", "i:-1 i:1"},
      {"01777777777777777777777", "i:-1"},
      {"0777e1", "i:511 id:e1"},
      // decimal integers and floats
      {"5 42 9223372036854775807", "i:5 i:42 i:9223372036854775807"},
      {"9223372036854775808", "f:9.2233720368547758e+18"},
      {"99999999999999999999999", "f:9.9999999999999992e+22"},
      {"1.5 .5 1. 0.25 0e0 0.", "f:1.5 f:0.5 f:1 f:0.25 f:0 f:0"},
      {"1e3 1E+2 2e-1 1.e2", "f:1000 f:100 f:0.20000000000000001 f:100"},
      {"1e400 1e-400 0.0000e999999999999", "f:inf f:0 f:0"},
      {"1..a", "f:1 . id:a"},
      // comments
      {"a /* x \n * / */ b", "id:a id:b"},
      {"a // c\nb", "id:a id:b"},
      {"#! /usr/bin/vorlo\nx", "id:x"},
      {"x #! comment\ny", "id:x id:y"},
      {"a /* open", "id:a"},
      {"a /", "id:a /"},
      {"# x", "# id:x"},
      {"#", "#"},
  };
  for (const TokenCase& c : cases) {
    Lexed l = lex(c.source);
    EXPECT_TRUE(l.ok) << c.source << "\n" << l.messages;
    EXPECT_EQ(l.tokens, c.tokens) << c.source;
    EXPECT_EQ(l.messages, "") << c.source;
  }
}

TEST_F(LexerTest, StringLiteralsAndEscapes) {
  const TokenCase cases[] = {
      {"\"a\\u0041b\"", "s:\"aAb\""},
      {"\"\\u4E2D\"", "s:\"-\""},  // only the low byte of a \u escape is kept
      {"'\\x41\\x7a'", "s:\"Az\""},
      {"\"\\a\\b\\f\\n\\r\\t\\v\"", "s:\"\\x07\\x08\\x0C\\x0A\\x0D\\x09\\x0B\""},
      {"\"\\\"\\'\\?\\\\\"", "s:\"\"'?\\\""},
      {"'say \"hi\"' \"it's\"", "s:\"say \"hi\"\" s:\"it's\""},
      // octal escapes: three digits, four after a leading 0, value modulo 256
      {"\"\\101\\1012\\0101\\60\"", "s:\"AA2A0\""},
      {"\"\\777\"", "s:\"\\xFF\""},
      {"\"\\08\"", "s:\"\""},  // \0 then 8: the NUL ends the value
      {"\"a\\0b\" \"\\400x\"", "s:\"a\" s:\"\""},
      {"\"a\\x00b\"", "s:\"a\""},
      // line continuation and raw line feeds
      {"\"a\\\nb\"", "s:\"ab\""},
      {"\"a\nb\"", "s:\"a\\x0Ab\""},
      {"\"\"", "s:\"\""},
      {"\"\xC3\xA9\"", "s:\"\\xC3\\xA9\""},
  };
  for (const TokenCase& c : cases) {
    Lexed l = lex(c.source);
    EXPECT_TRUE(l.ok) << c.source << "\n" << l.messages;
    EXPECT_EQ(l.tokens, c.tokens) << c.source;
    EXPECT_EQ(l.messages, "") << c.source;
  }
}

TEST_F(LexerTest, LineCounterStartsAtZeroAndCountsEveryLineFeed) {
  Lexed l = lex("a\n\nb /*\n\n*/ c // x\n d \"x\\\ny\n\" e\r\nf #! z\n g", 0, true);
  EXPECT_EQ(l.tokens, "id:a@0 id:b@2 id:c@4 id:d@5 s:\"xy\\x0A\"@5 id:e@7 id:f@8 id:g@9");
  // A byte pushed back after a look-ahead must not count its line feed twice.
  l = lex("a /\nb -\n-c .\n5", 0, true);
  EXPECT_EQ(l.tokens, "id:a@0 /@0 id:b@1 -@1 -@2 id:c@2 .@2 i:5@3");
}

struct MessageCase {
  const char* source;
  uint32_t flags;
  bool fails;
  const char* messages;
};

TEST_F(LexerTest, EveryMessageWithItsLine) {
  const uint32_t warnLf = kCompileWarnLineFeedInString;
  const MessageCase cases[] = {
      {"#'ab'", 0, true, "error: line 0: illegal character\r\n"},
      {"\n#'a;", 0, true, "error: line 1: illegal character\r\n"},
      {"#'a", 0, true, "error: line 0: unterminated character constant\r\n"},
      {"#'", 0, true, "error: line 0: unterminated character constant\r\n"},
      {"#'\\", 0, true, "error: line 0: unterminated character constant\r\n"},
      {"\"\\xZ1\"", 0, true, "error: line 0: illegal character '\\xZ1'\r\n"},
      {"'\\x4'", 0, true, "error: line 0: illegal character '\\x4''\r\n"},
      {"\"\\u12G4\"", 0, true, "error: line 0: illegal unicode character '\\u12G4'\r\n"},
      {"\"\\u12\";", 0, true, "error: line 0: illegal unicode character '\\u12\";'\r\n"},
      // a line break among the quoted bytes must not split the message line
      {"\"\\us\r\n\xDD\"", 0, true, "error: line 1: illegal unicode character '\\us??\xDD'\r\n"},
      {"'\\x\n1'", 0, true, "error: line 1: illegal character '\\x?1'\r\n"},
      {"\"\\x", 0, true, "error: line 0: unterminated string constant\r\n"},
      {"\"\\u00", 0, true, "error: line 0: unterminated string constant\r\n"},
      {"\"abc", 0, true, "error: line 0: unterminated string constant\r\n"},
      {"'abc\\", 0, true, "error: line 0: unterminated string constant\r\n"},
      {"\n\n\"ab\ncd", 0, true, "error: line 3: unterminated string constant\r\n"},
      {"1e+", 0, true, "error: line 0: invalid exponent part in a decimal literal\r\n"},
      {"x\n1e", 0, true, "error: line 1: invalid exponent part in a decimal literal\r\n"},
      {"1.5ex", 0, true, "error: line 0: invalid exponent part in a decimal literal\r\n"},
      {"a \xC3\xA9", 0, true, "error: line 0: illegal character '\\xC3'\r\n"},
      {"\x84", 0, true, "error: line 0: illegal character '\\x84'\r\n"},
      {"\"\\q\\%\"", 0, false,
       "warning: line 0: unknown escape sequence '\\q'\r\n"
       "warning: line 0: unknown escape sequence '\\%'\r\n"},
      {"\"a\nb\nc\" 'd\ne'", warnLf, false,
       "warning: line 0: ECMAScript don't allow line terminators in string constants\r\n"
       "warning: line 2: ECMAScript don't allow line terminators in string constants\r\n"},
      {"\"\\\r\"", 0, false, ""},  // a CR alone ends a line: a continuation, as with LF
      {"\"a\nb\"", 0, false, ""},
      {"\"a\\\nb\"", warnLf, false, ""},  // a continuation is not a line terminator in the value
  };
  for (const MessageCase& c : cases) {
    Lexed l = lex(c.source, c.flags);
    EXPECT_EQ(l.ok, !c.fails) << c.source;
    EXPECT_EQ(l.messages, c.messages) << c.source;
  }
}

TEST_F(LexerTest, NulByteEndsTheSource) {
  EXPECT_EQ(lex(std::string("a\0b", 3)).tokens, "id:a");
}

TEST_F(LexerTest, UnknownEscapeStandsForTheByteItself) {
  Lexed l = lex("\"\\q\\d\"");
  EXPECT_EQ(l.tokens, "s:\"qd\"");
}

TEST_F(LexerTest, KeywordTableIsLoadedOnceInto32Buckets) {
  loadKeywords(vm);
  loadKeywords(vm);
  int entries = 0;
  for (int b = 0; b < kKeywordBuckets; b++) {
    for (const KeywordEntry* e = vm->keywords.buckets[b]; e; e = e->next) {
      entries++;
      EXPECT_EQ(nameHash(e->name, e->length) % kKeywordBuckets, uint32_t(b)) << e->name;
      EXPECT_EQ(lookupKeyword(vm, e->name, e->length), e->code);
    }
  }
  EXPECT_EQ(entries, 39);
  EXPECT_EQ(lookupKeyword(vm, "while", 5), TokWhile);
  EXPECT_EQ(lookupKeyword(vm, "as", 2), TokAs);
  EXPECT_EQ(lookupKeyword(vm, "While", 5), TokIdentifier);
  EXPECT_EQ(lookupKeyword(vm, "whil", 4), TokIdentifier);
}

class FileSourceTest : public ParseFixture {
 protected:
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    ParseFixture::TearDown();
  }
  void write(const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }
  std::string path = (std::filesystem::temp_directory_path() /
                      ("vorlo_lexer_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                       ".vos"))
                         .string();
};

TEST_F(FileSourceTest, TokensAndLiteralsCrossTheBufferBoundary) {
  std::string longText(10000, 'q');
  std::string content = std::string(4090, ' ') + "abcdefghij\n= \"" + longText + "\";\n#'Z' 0x7fff";
  write(content);
  std::unique_ptr<FileSource> file(FileSource::open(path.c_str()));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(std::string(file->name()), path);
  Lexed l = lex(*file, 0, true);
  EXPECT_EQ(l.tokens, "id:abcdefghij@0 =@1 s:\"" + longText + "\"@1 ;@1 i:90@2 i:32767@2");

  // Rewinding starts again from the first byte with the line counter at 0.
  ASSERT_TRUE(file->rewind());
  EXPECT_EQ(file->line, 0);
  Lexed again = lex(*file, 0, true);
  EXPECT_EQ(again.tokens, l.tokens);
}

TEST_F(FileSourceTest, MissingFileCannotBeOpened) {
  EXPECT_EQ(FileSource::open((path + ".missing").c_str()), nullptr);
}

TEST_F(LexerTest, PushedBackBytesComeOutInReverseOrder) {
  const std::string text = "xy";
  MemorySource s(text);
  EXPECT_EQ(s.read(), 'x');
  s.unread('x');
  s.unread('b');
  s.unread('a');
  EXPECT_EQ(s.peek(), 'a');
  EXPECT_EQ(s.read(), 'a');
  EXPECT_EQ(s.read(), 'b');
  EXPECT_EQ(s.read(), 'x');
  EXPECT_EQ(s.read(), 'y');
  EXPECT_EQ(s.read(), 0);
  EXPECT_EQ(s.read(), 0);
}

}  // namespace
}  // namespace vorlo::test
