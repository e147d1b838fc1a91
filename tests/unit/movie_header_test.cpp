// Movie headers as the projector reads them: plain and compressed movies alike, movies appended to
// an executable, and damaged files that must give no header rather than a huge read.
#include <gtest/gtest.h>

#include "projector/movie_header.h"
#include "tests/unit/test_support.h"
#include "tools/swf/assembler.h"

namespace vorlo {
namespace {

std::vector<uint8_t> assemble(const std::string& text) {
  std::vector<uint8_t> out;
  std::string error;
  EXPECT_TRUE(swfasm::assembleSwf(text, out, error)) << error;
  return out;
}

const char kMovie[] = R"(
movie version=6 frame=0,0,4000,3000 rate=20 compression=COMPRESSION
shape 1 { fill solid #ff0000; rect 0 0 20px 20px fill0=1 }
place 1 id=1
background #3366cc
show
show
)";

std::vector<uint8_t> movie(const std::string& compression, bool withBackground = true) {
  std::string text = kMovie;
  text.replace(text.find("COMPRESSION"), 11, compression);
  if (!withBackground) text.erase(text.find("background"), 18);
  return assemble(text);
}

void put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

void append32(std::vector<uint8_t>& b, uint32_t v) {
  b.resize(b.size() + 4);
  put32(b, b.size() - 4, v);
}

TEST(MovieHeader, PlainAndCompressedMoviesGiveTheSameHeader) {
  test::ScratchFolder dir;
  test::writeAll(dir / "plain.swf", movie("none"));
  test::writeAll(dir / "packed.swf", movie("zlib"));
  auto plain = readMovieHeader(dir / "plain.swf");
  auto packed = readMovieHeader(dir / "packed.swf");
  ASSERT_TRUE(plain && packed);
  EXPECT_FALSE(plain->compressed);
  EXPECT_TRUE(packed->compressed);
  for (const MovieHeader* h : {&*plain, &*packed}) {
    EXPECT_EQ(h->right - h->left, 200);
    EXPECT_EQ(h->bottom - h->top, 150);
    EXPECT_EQ(h->frameRate, 20 << 8);
    EXPECT_EQ(h->frameCount, 2);
    EXPECT_EQ(h->backgroundColor, 0x3366cc);
    EXPECT_EQ(h->version, 6);
  }
}

TEST(MovieHeader, MovieWithoutBackgroundReportsNone) {
  test::ScratchFolder dir;
  test::writeAll(dir / "m.swf", movie("zlib", false));
  auto h = readMovieHeader(dir / "m.swf");
  ASSERT_TRUE(h);
  EXPECT_EQ(h->backgroundColor, -1);
  EXPECT_EQ(h->right, 200);
}

// A projector executable: some program bytes, the movie, a marker word and the movie's length.
std::vector<uint8_t> projectorWith(const std::vector<uint8_t>& swf) {
  std::vector<uint8_t> exe(3000, 0x90);
  exe[0] = 'M', exe[1] = 'Z';
  exe.insert(exe.end(), swf.begin(), swf.end());
  append32(exe, 0xFA123456);
  append32(exe, uint32_t(swf.size()));
  return exe;
}

TEST(MovieHeader, MovieAppendedToAnExecutable) {
  test::ScratchFolder dir;
  test::writeAll(dir / "game.exe", projectorWith(movie("zlib")));
  test::writeAll(dir / "plain.exe", std::vector<uint8_t>(5000, 0x90));
  auto h = readMovieHeader(dir / "game.exe");
  ASSERT_TRUE(h);
  EXPECT_EQ(h->right, 200);
  EXPECT_EQ(h->backgroundColor, 0x3366cc);
  EXPECT_TRUE(isMovieFile(dir / "game.exe"));
  EXPECT_FALSE(isMovieFile(dir / "plain.exe"));
  EXPECT_TRUE(isMovieFile(dir / "any.SWF")) << "a movie by its name alone";
  EXPECT_FALSE(isMovieFile(dir / "movie.txt"));
}

// Damaged files give no header: never a read past the data or an allocation the length asks for.
TEST(MovieHeader, DamagedFilesGiveNoHeader) {
  const std::vector<uint8_t> good = movie("none");
  const std::vector<uint8_t> packed = movie("zlib");
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"shorter than the signature", {'F', 'W', 'S', 6, 20}});
  {
    auto b = good;
    put32(b, 4, 0xFFFFFFF0u);
    cases.push_back({"a declared length beyond the cap", b});
  }
  {
    auto b = good;
    put32(b, 4, 4);
    cases.push_back({"a declared length below the signature", b});
  }
  cases.push_back({"a rectangle past the data", {'F', 'W', 'S', 6, 10, 0, 0, 0, 0xF8, 0xFF}});
  {
    // The first tag claims a body far beyond the file.
    std::vector<uint8_t> b = {'F', 'W', 'S', 6, 0, 0, 0, 0, 0x08, 0, 0, 0x14, 1, 0, 0x7F, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    put32(b, 4, uint32_t(b.size()));
    cases.push_back({"a tag walk past the data", b});
  }
  {
    auto b = packed;
    b.resize(20);
    cases.push_back({"a compressed body cut short", b});
  }
  {
    auto b = packed;
    for (size_t i = 8; i < b.size(); ++i) b[i] ^= 0x5A;
    cases.push_back({"a compressed body that is not zlib data", b});
  }
  {
    auto b = projectorWith(good);
    put32(b, b.size() - 4, 0x7FFFFFF0u);
    cases.push_back({"an appended movie longer than the file (negative offset)", b});
  }
  {
    auto b = projectorWith(good);
    put32(b, b.size() - 4, uint32_t(good.size() - 7));
    cases.push_back({"an appended length that does not start at a movie", b});
  }
  cases.push_back({"an empty file", {}});
  test::ScratchFolder dir;
  for (const Case& c : cases) {
    test::writeAll(dir / "bad.swf", c.bytes);
    EXPECT_FALSE(readMovieHeader(dir / "bad.swf")) << c.what;
  }
  EXPECT_FALSE(readMovieHeader(dir / "missing.swf"));
}

}  // namespace
}  // namespace vorlo
