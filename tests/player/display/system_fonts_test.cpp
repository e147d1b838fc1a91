// Device fonts from the system: GDI's choice on Windows, Debian's files elsewhere, read by our own
// TrueType reader.
#include <gtest/gtest.h>

#include "player/display/font_files.h"
#include "player/display/truetype.h"
#include "util/system_fonts.h"

namespace vorlo::player {
namespace {

const Glyph* glyphOf(const Font& font, char16_t c) {
  for (const Glyph& g : font.glyphs)
    if (g.code == c) return &g;
  return nullptr;
}

TEST(SystemFonts, GenericAndNamedFacesGiveOutlines) {
  FontFiles fonts;
  for (const char* face : {"_sans", "_serif", "_typewriter", "Arial", "No Such Face At All"}) {
    SCOPED_TRACE(face);
    const Font* font = fonts.find(face, false, false);
    ASSERT_NE(font, nullptr);
    const Glyph* h = glyphOf(*font, u'H');
    ASSERT_NE(h, nullptr);
    EXPECT_FALSE(h->shape.groups.empty() || h->shape.groups[0].edges.empty());
    EXPECT_GT(h->advance, 0);
  }
  // The same request gives the same font; a typewriter face has one advance for every character.
  EXPECT_EQ(fonts.find("_sans", false, false), fonts.find("_SANS", false, false));
  const Font* mono = fonts.find("_typewriter", false, false);
  EXPECT_EQ(glyphOf(*mono, u'i')->advance, glyphOf(*mono, u'W')->advance);
  const Font* sans = fonts.find("_sans", false, false);
  EXPECT_LT(glyphOf(*sans, u'i')->advance, glyphOf(*sans, u'W')->advance);
}

TEST(SystemFonts, BoldIsABoldFace) {
  auto regular = os::systemFont("_sans", false, false);
  auto bold = os::systemFont("_sans", true, false);
  ASSERT_TRUE(regular && bold);
  std::string error;
  auto r = readTrueType(regular->bytes, &error, 4096, regular->faceIndex);
  auto b = readTrueType(bold->bytes, &error, 4096, bold->faceIndex);
  ASSERT_TRUE(r && b) << error;
  EXPECT_GT(glyphOf(*b, u'H')->advance, glyphOf(*r, u'H')->advance);
}

TEST(SystemFonts, ManyFaceNamesStayBounded) {
  // A movie naming hundreds of faces: each is drawn, memory holds a bounded number of fonts.
  FontFiles fonts;
  const Font* fallback = fonts.find("_sans", false, false);
  for (int i = 0; i < 200; ++i) {
    const Font* f = fonts.find("Face " + std::to_string(i), false, false);
    ASSERT_NE(f, nullptr);
    if (i > 100) {
      EXPECT_EQ(f, fallback) << "faces beyond the bound use the sans-serif face";
    }
  }
}

}  // namespace
}  // namespace vorlo::player
