#include <gtest/gtest.h>

#include <string>

#include "host/streams/line_rules.h"
#include "host/streams/memory_stream.h"
#include "host/streams/zlib_codec.h"

namespace vorlo {
namespace {

MemoryStream streamOf(const std::string& bytes) {
  MemoryStream s;
  s.write(bytes.data(), bytes.size());
  return s;
}

TEST(MemoryStream, PositionsAndFlags) {
  MemoryStream s;
  EXPECT_EQ(s.get(), kStreamEof);
  EXPECT_TRUE(s.eof());
  s.setGetPos(0);
  EXPECT_FALSE(s.eof());
  ASSERT_TRUE(s.write("abc", 3));
  s.setPutPos(5);  // a write beyond the content fills the gap with zeros
  ASSERT_TRUE(s.put('z'));
  EXPECT_EQ(std::string(s.bytes().begin(), s.bytes().end()), std::string("abc\0\0z", 6));
  s.setPutPos(1);  // and one inside it overwrites
  s.put('B');
  EXPECT_EQ(s.get(), 'a');
  EXPECT_EQ(s.get(), 'B');
  s.unget();
  s.putBack('Q');
  EXPECT_EQ(s.get(), 'Q');
  char buffer[10];
  EXPECT_EQ(s.read(buffer, 10), 5u);  // "Bc", two zeros, "z"
  EXPECT_TRUE(s.eof());
}

TEST(MemoryStream, ModesRefuseTheOtherDirection) {
  MemoryStream readOnly(kStreamIn);
  EXPECT_FALSE(readOnly.write("x", 1));
  EXPECT_TRUE(readOnly.failed());
  EXPECT_EQ(readOnly.length(), 0u);
  MemoryStream writeOnly(kStreamOut);
  writeOnly.write("x", 1);
  EXPECT_EQ(writeOnly.get(), kStreamEof);
}

TEST(LineRules, MemoryAndFileRulesDiffer) {
  struct Case {
    const char* bytes;
    std::vector<std::string> memory, file;
  };
  const Case cases[] = {
      {"a\nb", {"a", "b"}, {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}, {"a", "b"}},
      {"a\rb\n", {"ab"}, {"a\rb"}},
      {"a\r", {"a"}, {"a\r"}},
      {"\n\n", {"", ""}, {"", ""}},
      {"x\xff\n", {"x\xff"}, {"x\xff"}},
  };
  for (const Case& c : cases) {
    MemoryStream m = streamOf(c.bytes);
    std::vector<std::string> memory;
    while (!m.eof()) {
      std::string line = readMemoryLine(m);
      if (m.eof() && line.empty()) break;
      memory.push_back(line);
    }
    EXPECT_EQ(memory, c.memory) << c.bytes;
    std::string bytes = c.bytes;
    size_t at = 0;
    auto next = [&] { return at < bytes.size() ? static_cast<unsigned char>(bytes[at++]) : -1; };
    std::vector<std::string> file;
    while (at < bytes.size()) file.push_back(readFileLine(next));
    EXPECT_EQ(file, c.file) << c.bytes;
  }
}

TEST(LineRules, TerminatedTexts) {
  std::string bytes("ab\0c", 4);
  size_t at = 0;
  auto next = [&] { return at < bytes.size() ? static_cast<unsigned char>(bytes[at++]) : -1; };
  EXPECT_EQ(readTerminatedBytes(next), "ab");
  EXPECT_EQ(readTerminatedBytes(next), "c");
  EXPECT_EQ(readTerminatedBytes(next), "");
  std::string units("\x16\x04x\0\0\0y", 7);  // U+0416 'x' 0, then a lone last byte
  at = 0;
  bytes = units;
  EXPECT_EQ(readTerminatedUnits(next), u"\u0416x");
  EXPECT_EQ(readTerminatedUnits(next), u"y");
  EXPECT_EQ(readTerminatedUnits(next), u"");
}

TEST(ZlibCodec, RoundTripKeepsTheSourcePosition) {
  std::string text;
  for (int i = 0; i < 5000; ++i) text += "piece " + std::to_string(i) + "\n";  // several 4 KiB pieces
  MemoryStream s = streamOf(text);
  s.setGetPos(7);
  auto z = compressStream(s, 9);
  ASSERT_TRUE(z);
  EXPECT_LT(z->length(), text.size());
  EXPECT_EQ(s.getPos(), 7u);
  auto back = uncompressStream(*z);
  ASSERT_TRUE(back);
  EXPECT_EQ(std::string(back->bytes().begin(), back->bytes().end()), text);
  EXPECT_EQ(streamCrc(*back), streamCrc(s));
}

TEST(ZlibCodec, DamagedAndEmptyInputs) {
  MemoryStream empty;
  auto z = compressStream(empty, 6);
  ASSERT_TRUE(z);
  auto back = uncompressStream(*z);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->length(), 0u);
  EXPECT_FALSE(uncompressStream(empty));
  MemoryStream junk = streamOf("not zlib at all");
  EXPECT_FALSE(uncompressStream(junk));
  MemoryStream src = streamOf(std::string(10000, 'q'));
  auto packed = compressStream(src, 6);
  std::vector<uint8_t> cut(packed->bytes().begin(), packed->bytes().end() - 3);  // trailer missing
  MemoryStream truncated;
  truncated.write(cut.data(), cut.size());
  EXPECT_FALSE(uncompressStream(truncated));
  EXPECT_FALSE(compressStream(src, 42));
  MemoryStream digits = streamOf("123456789");
  EXPECT_EQ(streamCrc(digits), 0xCBF43926u);
  EXPECT_EQ(streamCrc(empty), 0u);
}

}  // namespace
}  // namespace vorlo
