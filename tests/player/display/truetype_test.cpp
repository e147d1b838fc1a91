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
  EXPECT_EQ(readTrueType(bytes, &error, 4096, 1), nullptr) << "a plain font file has one face";
  EXPECT_EQ(readTrueType(notAFont, &error), nullptr);
  EXPECT_EQ(error, "not a TrueType font");
}

// Offsets in a table directory count from the start of the file: a face placed at `base` of a
// collection has them moved by `base`.
void appendFace(std::vector<uint8_t>& ttc, const std::vector<uint8_t>& face) {
  uint32_t base = uint32_t(ttc.size());
  size_t at = ttc.size();
  ttc.insert(ttc.end(), face.begin(), face.end());
  uint16_t tables = uint16_t(face[4] << 8 | face[5]);
  for (uint16_t i = 0; i < tables; ++i) {
    uint8_t* p = &ttc[at + 12 + i * 16 + 8];
    uint32_t offset = uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    offset += base;
    for (int k = 0; k < 4; ++k) p[k] = uint8_t(offset >> (24 - 8 * k));
  }
}

TEST(TrueType, ReadsEachFaceOfACollection) {
  auto regular = readBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
  auto bold = readBytes("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf");
  ASSERT_FALSE(regular.empty() || bold.empty());
  std::vector<uint8_t> ttc = {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0};
  ttc[15] = 20;  // face 0 right after the header
  appendFace(ttc, regular);
  uint32_t second = uint32_t(ttc.size());
  for (int k = 0; k < 4; ++k) ttc[16 + k] = uint8_t(second >> (24 - 8 * k));
  appendFace(ttc, bold);

  std::string error;
  auto face0 = readTrueType(ttc, &error, 4096, 0);
  auto face1 = readTrueType(ttc, &error, 4096, 1);
  ASSERT_TRUE(face0 && face1) << error;
  auto plain = readTrueType(regular, &error);
  ASSERT_TRUE(plain);
  EXPECT_EQ(glyphOf(*face0, u'H')->advance, glyphOf(*plain, u'H')->advance);
  EXPECT_GT(glyphOf(*face1, u'H')->advance, glyphOf(*face0, u'H')->advance) << "the bold face is wider";
  EXPECT_EQ(readTrueType(ttc, &error, 4096, 2), nullptr);
  EXPECT_EQ(error, "no such face in the font collection");
  // A header that promises faces beyond its end.
  std::vector<uint8_t> cut(ttc.begin(), ttc.begin() + 14);
  cut[11] = 200;
  EXPECT_EQ(readTrueType(cut, &error, 4096, 150), nullptr);
}
#endif

}  // namespace
}  // namespace vorlo::player
