// Damaged and hostile movies: every one is read without a crash and without unbounded memory; what
// could be read is kept and the warnings say what was not.
#include <algorithm>

#include "player/swf/read_context.h"
#include "player/swf/tag_codes.h"
#include "tests/player/swf/swf_fixture.h"

namespace vorlo::player::testing {
namespace {

// A movie with one of nearly everything, for cutting and corrupting.
const char* kRichMovie = R"(movie version=8 size=100x100
shape 1 version=4 {
  fill linear stops=0:#ff0000,255:#0000ff
  line 2px join=miter fill solid #00ff00
  moveTo 0 0 fill0=1 line=1 ; lineTo 100 0 ; curveTo 150 50 100 100 ; lineTo 0 0
}
morph 2 version=2 {
  fill solid #ff0000 #00ff00
  start { ; moveTo 0 0 fill0=1 ; lineTo 10 0 ; lineTo 0 10 ; }
  end { ; moveTo 0 0 ; lineTo 20 0 ; lineTo 0 20 ; }
}
bitmap 3 format=8 version=2 width=5 height=3 pattern=checker:#ff000080,#00ff00,1
jpeg 4 version=3 width=8 height=8 pattern=solid:#0000ff alpha=200
font 5 version=2 name="F" ascent=800 descent=200 { ; glyph "a" advance=500 { ; moveTo 0 0 ; lineTo 400 0 ; lineTo 0 -400 ; } ; kerning "a" "a" 3 ; }
text 6 { ; record font=5 height=240 glyphs=0:500 ; }
edittext 7 font=5 text="hello" html
button 8 { ; record id=1 ; actions on=release { ; play ; } ; }
sprite 9 { ; place 1 id=1 ; show ; place 1 move rotate=10 ; show ; }
place 1 id=9 name="s" {
  filter convolution size=2x2 values=1,1,1,1
  filter gradientbevel stops=0:#000000,255:#ffffff
}
actions { ; push "x" ; trace ; }
show
remove 1
show
)";

void expectSane(const Movie& m) {
  // Whatever came out must be consistent enough to use.
  for (auto& [id, c] : m.characters) {
    if (auto* b = std::get_if<Bitmap>(c.get())) {
      EXPECT_EQ(b->pixels.size(), size_t(b->width) * size_t(b->height));
    }
    if (auto* s = std::get_if<Shape>(c.get())) {
      for (auto& g : s->groups)
        for (auto& e : g.edges) {
          EXPECT_LE(e.fill0, g.fills.size());
          EXPECT_LE(e.fill1, g.fills.size());
          EXPECT_LE(e.line, g.lines.size());
        }
    }
    if (auto* ms = std::get_if<MorphShape>(c.get())) {
      EXPECT_EQ(ms->startEdges.size(), ms->endEdges.size());
      EXPECT_EQ(ms->startFills.size(), ms->endFills.size());
    }
  }
  EXPECT_FALSE(m.timeline.frames.empty());
}

TEST(HostileMovies, EveryTruncationReadsWhatItCan) {
  for (const char* compression : {"none", "zlib"}) {
    SCOPED_TRACE(compression);
    auto whole = assemble(std::string(kRichMovie).replace(0, 15, std::string("movie version=8 compression=") + compression));
    auto full = read(whole);
    ASSERT_TRUE(full);
    EXPECT_TRUE(full->warnings.empty()) << warningsOf(*full);
    EXPECT_EQ(full->characters.size(), 9u);
    for (size_t n = 0; n < whole.size(); ++n) {
      std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(n));
      std::string error;
      auto m = readMovie(cut, &error);
      if (!m) {
        EXPECT_FALSE(error.empty());
        continue;
      }
      // A compressed movie cut inside its checksum has all its data: it reads whole.
      if (m->warnings.empty()) {
        EXPECT_EQ(m->characters.size(), full->characters.size()) << "cut at " << n;
        EXPECT_EQ(m->timeline.frames.size(), full->timeline.frames.size()) << "cut at " << n;
      }
      EXPECT_TRUE(!m->warnings.empty() || std::string(compression) == "zlib") << "cut at " << n;
      expectSane(*m);
      EXPECT_LE(m->characters.size(), full->characters.size());
    }
  }
}

TEST(HostileMovies, EveryCorruptedByteReadsWithoutHarm) {
  auto whole = assemble(kRichMovie);
  for (size_t i = 8; i < whole.size(); ++i) {
    for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(whole[i] ^ 0x55)}) {
      auto bad = whole;
      bad[i] = value;
      std::string error;
      auto m = readMovie(bad, &error);
      if (m) expectSane(*m);
    }
  }
}

uint32_t getLength(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

std::vector<uint8_t> header(char signature, uint32_t length) {
  return {uint8_t(signature), 'W', 'S', 8, uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24)};
}

TEST(HostileMovies, HeadersThatCannotBeRead) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* error;
  };
  auto compressedHuge = header('C', 0xFFFFFFFFu);
  compressedHuge.insert(compressedHuge.end(), {0x78, 0x9C, 0x03, 0x00});
  auto garbageZlib = header('C', 100);
  garbageZlib.insert(garbageZlib.end(), {0x12, 0x34, 0x56, 0x78, 0x9A});
  auto shortLength = header('F', 4);
  auto noRect = header('F', 9);
  noRect.push_back(0xF8);  // 31-bit coordinates, then nothing
  const Case cases[] = {
      {"empty", {}, "too short"},
      {"not a movie", {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0}, "signature"},
      {"LZMA", header('Z', 100), "LZMA"},
      {"compressed beyond the cap", compressedHuge, "256 MiB"},
      {"zlib that is not zlib", garbageZlib, "decompressed"},
      {"length below the header", shortLength, "smaller than the header"},
      {"header cut off", noRect, "cut off"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string error;
    EXPECT_FALSE(readMovie(c.bytes, &error));
    EXPECT_NE(error.find(c.error), std::string::npos) << error;
  }
}

TEST(HostileMovies, DamagedCompressedDataKeepsWhatCameOut) {
  auto whole = assemble(std::string(kRichMovie).replace(0, 15, "movie version=8 compression=zlib"));
  // Damage the stream near its end: the front of the movie still comes out.
  auto bad = whole;
  for (size_t i = bad.size() - 12; i < bad.size(); ++i) bad[i] ^= 0xA5;
  auto m = read(bad);
  ASSERT_TRUE(m);
  EXPECT_FALSE(m->warnings.empty());
  EXPECT_TRUE(m->find<Shape>(1));
}

TEST(HostileMovies, DeclaredSizesAndCountsBeyondTheData) {
  struct Case {
    const char* name;
    const char* statements;
    const char* warning;
  };
  const Case cases[] = {
      {"tag longer than the movie", "raw 2 long 0100", nullptr},
      {"lossless bitmap beyond the side limit", "raw 20 0100 05 2823 0a00 789c030000000001", "beyond the limit"},
      {"lossless bitmap beyond the pixel limit", "raw 36 0100 05 ff1f ff1f 789c030000000001", "beyond the limit"},
      {"lossless bitmap with short pixel data", "raw 20 0100 05 6400 6400 789c030000000001", "short"},
      {"lossless bitmap with bad zlib", "raw 20 0100 05 0400 0400 0102030405060708", "damaged"},
      {"unknown lossless format", "raw 20 0100 07 0400 0400 789c030000000001", "unknown format"},
      {"font with 65535 glyphs and no offsets", "raw 48 0100 00 00 01 41 ffff 0000", "damaged"},
      {"font with offsets past its end", "raw 10 0100 0400 ff7f", "damaged"},
      {"convolution of 255 x 255 without values", "raw 70 0301 0100 0100 01 05 ffff 00000000 00000000", "damaged"},
      {"morph shape whose end edges lie past its end", "raw 46 0100 00 00 ffffff00 00 00 00", "damaged"},
      {"button actions past its end", "raw 34 0100 00 ff7f 0f 0100 0100 00 00 00", "damaged"},
      {"text record with 255 glyphs and no data", "raw 11 0100 00 00 08 08 8b 0100 ff00 ff", "damaged"},
      {"export with a count beyond its names", "raw 56 ffff 0100 4100", "damaged"},
      {"string without its end", "raw 43 41424344", "damaged"},
      {"unknown fill kind", "raw 2 0100 00 01 77", "damaged"},
      {"unknown filter", "raw 70 0101 0100 01 09", "damaged"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = read(assemble(std::string("movie\n") + c.statements + "\nshow\n"));
    ASSERT_TRUE(m);
    ASSERT_FALSE(m->warnings.empty());
    if (c.warning) {
      EXPECT_NE(warningsOf(*m).find(c.warning), std::string::npos) << warningsOf(*m);
    }
    expectSane(*m);
  }
}

// The JPEG of a generated image with its frame header claiming other dimensions.
std::vector<uint8_t> withJpegSize(std::vector<uint8_t> movie, uint16_t width, uint16_t height) {
  for (size_t i = 0; i + 9 < movie.size(); ++i) {
    if (movie[i] == 0xFF && movie[i + 1] == 0xC0) {
      movie[i + 5] = uint8_t(height >> 8);
      movie[i + 6] = uint8_t(height);
      movie[i + 7] = uint8_t(width >> 8);
      movie[i + 8] = uint8_t(width);
      break;
    }
  }
  return movie;
}

TEST(HostileMovies, BadJpegDataGivesAWarningAndNoCrash) {
  const std::string jpeg = "movie\njpeg 1 version=2 width=32 height=32 pattern=checker:#ff0000,#00ff00,4\n";
  {
    SCOPED_TRACE("beyond the pixel limit");
    auto m = read(withJpegSize(assemble(jpeg), 8000, 8000));
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->find<Bitmap>(1));
    EXPECT_NE(warningsOf(*m).find("beyond the limit"), std::string::npos) << warningsOf(*m);
  }
  {
    SCOPED_TRACE("not a JPEG");
    auto m = read(assemble("movie\nraw 21 0100 ffd8ffe000104a46494600 0102030405\nraw 21 0200 0102030405\n"));
    ASSERT_TRUE(m);
    EXPECT_FALSE(m->find<Bitmap>(1));
    EXPECT_FALSE(m->find<Bitmap>(2));
    EXPECT_EQ(m->warnings.size(), 2u) << warningsOf(*m);
  }
  {
    SCOPED_TRACE("cut short: the top rows are kept");
    auto bytes = assemble(jpeg);
    auto full = read(bytes);
    ASSERT_TRUE(full);
    // Drop the last 40% of the image data by shortening the tag (the last tag before End).
    size_t tagStart = 0;
    for (size_t i = 8; i + 1 < bytes.size() && tagStart == 0; ++i)
      if (bytes[i] == 0x7F && bytes[i + 1] == 0x05) tagStart = i;  // DefineBitsJPEG2, long header
    ASSERT_NE(tagStart, 0u);
    uint32_t length = getLength(bytes, tagStart + 2);
    // Keep the tables and half of the image data.
    size_t scan = tagStart;
    while (scan + 1 < bytes.size() && !(bytes[scan] == 0xFF && bytes[scan + 1] == 0xDA)) ++scan;
    size_t end = tagStart + 6 + length;
    ASSERT_LT(scan, end);
    uint32_t shorter = uint32_t(scan + (end - scan) / 2 - (tagStart + 6));
    std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(tagStart + 6 + shorter));
    for (int i = 0; i < 4; ++i) cut[tagStart + 2 + i] = uint8_t(shorter >> (8 * i));
    cut.insert(cut.end(), {0, 0});
    for (int i = 0; i < 4; ++i) cut[4 + i] = uint8_t(uint32_t(cut.size()) >> (8 * i));
    auto m = read(cut);
    ASSERT_TRUE(m);
    const Bitmap* b = m->find<Bitmap>(1);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->width, 32);
    EXPECT_NE(warningsOf(*m).find("incomplete"), std::string::npos) << warningsOf(*m);
    EXPECT_EQ(b->at(1, 1), full->find<Bitmap>(1)->at(1, 1));
  }
}

TEST(HostileMovies, SpritesNestedBeyondTheLimitAreLeftOut) {
  std::string text = "movie\n";
  int depth = ReadLimits::kMaxSpriteNesting + 8;
  for (int i = 1; i <= depth; ++i) text += "sprite " + std::to_string(i) + " {\n";
  text += "show\n";
  for (int i = 0; i < depth; ++i) text += "}\n";
  text += "show\n";
  auto m = read(assemble(text));
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->find<Sprite>(1));
  EXPECT_TRUE(m->find<Sprite>(uint16_t(ReadLimits::kMaxSpriteNesting)));
  EXPECT_FALSE(m->find<Sprite>(uint16_t(ReadLimits::kMaxSpriteNesting + 1)));
  EXPECT_FALSE(m->find<Sprite>(uint16_t(depth)));
  EXPECT_EQ(m->warnings.size(), 1u) << warningsOf(*m);
}

TEST(HostileMovies, DecodedMemoryHasABudget) {
  std::string text = "movie\n";
  for (int i = 1; i <= 4; ++i) text += "bitmap " + std::to_string(i) + " format=24 width=300 height=300 pattern=solid:#ff0000\n";
  auto bytes = assemble(text);
  std::string error;
  auto m = readMovieWithBudget(bytes, &error, 2 << 20);  // room for two of them
  ASSERT_TRUE(m) << error;
  EXPECT_TRUE(m->find<Bitmap>(1));
  EXPECT_TRUE(m->find<Bitmap>(2));
  EXPECT_FALSE(m->find<Bitmap>(3));
  EXPECT_FALSE(m->find<Bitmap>(4));
  EXPECT_NE(warningsOf(*m).find("bitmaps left out"), std::string::npos) << warningsOf(*m);
}

TEST(HostileMovies, WarningsAreBounded) {
  std::string text = "movie\n";
  for (int i = 0; i < 1000; ++i) text += "raw 43 41\n";  // labels without their end
  auto m = read(assemble(text));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->warnings.size(), ReadLimits::kMaxWarnings + 1);
  EXPECT_EQ(m->warnings.back(), "further warnings left out");
}

}  // namespace
}  // namespace vorlo::player::testing
