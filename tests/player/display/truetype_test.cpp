// The TrueType reader behind device text: outlines and metrics of a real font file, and files that
// are damaged or not fonts at all.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "player/display/truetype.h"

namespace vorlo::player {
namespace {

std::vector<uint8_t> readBytes(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const Glyph* glyphOf(const Font& font, char16_t c) {
  for (const Glyph& g : font.glyphs)
    if (g.code == c) return &g;
  return nullptr;
}

#ifndef _WIN32
TEST(TrueType, ReadsOutlinesAndMetricsOfARealFont) {
  auto bytes = readBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  ASSERT_FALSE(bytes.empty()) << "Debian's fonts-dejavu-core is installed by scripts/setup";
  std::string error;
  auto font = readTrueType(bytes, &error);
  ASSERT_NE(font, nullptr) << error;
  EXPECT_EQ(font->emSquare, 20480);
  EXPECT_GT(font->ascent, 0);
  EXPECT_GT(font->descent, 0);
  const Glyph* h = glyphOf(*font, u'H');
  const Glyph* i = glyphOf(*font, u'i');
  const Glyph* space = glyphOf(*font, u' ');
  ASSERT_TRUE(h && i && space);
  // 'H' sits on the baseline and rises to cap height (y grows downwards): about 0.73 em.
  EXPECT_NEAR(h->bounds.yMax, 0, 1);
  EXPECT_NEAR(-h->bounds.yMin / 20480, 0.73, 0.03);
  EXPECT_GT(h->advance, i->advance);
  EXPECT_GT(space->advance, 0);
  EXPECT_TRUE(space->shape.groups.empty() || space->shape.groups[0].edges.empty());
  // Contours are closed: every edge of 'H' ends where some edge starts.
  const auto& edges = h->shape.groups.at(0).edges;
  ASSERT_GE(edges.size(), 12u);
  for (const Edge& e : edges) {
    bool continues = false;
    for (const Edge& next : edges) continues |= next.from.x == e.to.x && next.from.y == e.to.y;
    EXPECT_TRUE(continues);
  }
  // A composite glyph (an accented letter) takes its parts' outlines.
  const Glyph* e = glyphOf(*font, u'e');
  const Glyph* eAcute = glyphOf(*font, u'\u00E9');
  ASSERT_TRUE(e && eAcute);
  EXPECT_GT(eAcute->shape.groups.at(0).edges.size(), e->shape.groups.at(0).edges.size());
}

TEST(TrueType, DamagedFilesGiveAnErrorNotACrash) {
  auto bytes = readBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  ASSERT_GT(bytes.size(), 100000u);
  std::string error;
  // Cut at many places: every cut either reads or fails with a reason.
  for (size_t cut : {size_t(0), size_t(4), size_t(11), size_t(200), size_t(5000), bytes.size() / 2, bytes.size() - 1}) {
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + std::ptrdiff_t(cut));
    error.clear();
    auto font = readTrueType(part, &error);
    if (!font) {
      EXPECT_FALSE(error.empty()) << cut;
    }
  }
  // Scrambled glyph data inside a valid directory.
  std::vector<uint8_t> scrambled = bytes;
  for (size_t k = bytes.size() / 3; k < bytes.size(); k += 7) scrambled[k] ^= 0x5A;
  readTrueType(scrambled, &error);
  std::vector<uint8_t> notAFont(4096, 0x41);
  EXPECT_EQ(readTrueType(notAFont, &error), nullptr);
  EXPECT_EQ(error, "not a TrueType font");
}
#endif

}  // namespace
}  // namespace vorlo::player
