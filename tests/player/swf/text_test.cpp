// Fonts, static and edit texts, buttons and sounds read back from assembled movies.
#include "player/swf/tag_codes.h"
#include "tests/player/swf/swf_fixture.h"

namespace vorlo::player::testing {
namespace {

constexpr const char* kSquareGlyph = "{ ; moveTo 0 0 ; lineTo 500 0 ; lineTo 500 -700 ; lineTo 0 -700 ; lineTo 0 0 ; }";

TEST(FontReader, DefineFontWithFontInfo) {
  for (int info : {1, 2}) {
    SCOPED_TRACE(info);
    auto m = readClean("movie version=5\nfont 1 version=1 info=" + std::to_string(info) +
                       " name=\"Caf\\xe9\" bold italic small {\n glyph \"A\" " + kSquareGlyph + "\n glyph 0x42 " +
                       kSquareGlyph + "\n}\n");
    ASSERT_TRUE(m);
    const Font& f = character<Font>(*m, 1);
    EXPECT_EQ(f.version, 1);
    EXPECT_EQ(f.name, "Caf\xc3\xa9");
    EXPECT_TRUE(f.bold);
    EXPECT_TRUE(f.italic);
    EXPECT_TRUE(f.smallText);
    EXPECT_FALSE(f.hasLayout);
    EXPECT_EQ(f.emSquare, 1024);
    ASSERT_EQ(f.glyphs.size(), 2u);
    EXPECT_EQ(f.glyphs[0].code, 'A');
    EXPECT_EQ(f.glyphs[1].code, 'B');
    const StyleGroup& g = f.glyphs[1].shape.groups.at(0);
    ASSERT_EQ(g.edges.size(), 4u);
    EXPECT_EQ(g.edges[1].to.y, -700);
    EXPECT_EQ(g.edges[0].fill1, 1);  // the text colour
    EXPECT_EQ(f.glyphs[1].shape.bounds.yMin, -700);
  }
}

TEST(FontReader, DefineFontTwoAndThreeWithLayout) {
  auto m = readClean(std::string(R"(movie version=8
font 1 version=2 name="Sans" ansi ascent=900 descent=200 leading=-30 {
  glyph "a" advance=550 )") + kSquareGlyph + R"(
  glyph "b" advance=600 bounds=0,-700,500,10 )" + kSquareGlyph + R"(
  kerning "a" "b" -40
}
font 2 version=3 name="Wide" widecodes wideoffsets {
  glyph "\u20ac" )" + kSquareGlyph + R"(
}
font 3 version=2 name="Empty"
fontname 2 "Wide Regular" "(c) nobody"
alignzones 2 hint=2 {
  zone 10 -700 480 700
}
)");
  ASSERT_TRUE(m);
  const Font& f = character<Font>(*m, 1);
  EXPECT_EQ(f.version, 2);
  EXPECT_EQ(f.name, "Sans");
  EXPECT_TRUE(f.ansi);
  EXPECT_TRUE(f.hasLayout);
  EXPECT_EQ(f.ascent, 900);
  EXPECT_EQ(f.descent, 200);
  EXPECT_EQ(f.leading, -30);
  ASSERT_EQ(f.glyphs.size(), 2u);
  EXPECT_EQ(f.glyphs[0].advance, 550);
  EXPECT_EQ(f.glyphs[1].bounds.yMax, 10);
  EXPECT_EQ(f.glyphs[0].bounds.yMin, -700);
  EXPECT_EQ(f.kerning.at({'a', 'b'}), -40);

  const Font& f3 = character<Font>(*m, 2);
  EXPECT_EQ(f3.version, 3);
  EXPECT_EQ(f3.emSquare, 20480);
  EXPECT_EQ(f3.glyphs.at(0).code, 0x20AC);
  EXPECT_EQ(f3.fullName, "Wide Regular");
  EXPECT_EQ(f3.copyright, "(c) nobody");
  ASSERT_TRUE(f3.alignZones);
  ASSERT_EQ(f3.alignZones->size(), 1u);
  EXPECT_FLOAT_EQ((*f3.alignZones)[0][0], 10);
  EXPECT_FLOAT_EQ((*f3.alignZones)[0][1], -700);
  EXPECT_FLOAT_EQ((*f3.alignZones)[0][2], 480);
  EXPECT_FLOAT_EQ((*f3.alignZones)[0][3], 700);
  EXPECT_EQ(f3.csmThickness, 2);
  EXPECT_TRUE(character<Font>(*m, 3).glyphs.empty());
}

TEST(TextReader, StaticTextRecordsCarryTheirSettingsOver) {
  auto m = readClean(R"(movie version=8
text 4 version=2 bounds=0,0,4000,1000 at=100,200 {
  record font=1 height=240 color=#ff000080 x=20 y=300 glyphs=0:200,1:250,2:-30
  record glyphs=1:100
  record y=600 color=#00ff00ff glyphs=0:50
}
text 5 version=1 { ; record font=2 height=12px color=#0000ff glyphs=3:400 ; }
)");
  ASSERT_TRUE(m);
  const StaticText& t = character<StaticText>(*m, 4);
  EXPECT_EQ(t.version, 2);
  EXPECT_EQ(t.bounds.xMax, 4000);
  EXPECT_EQ(t.matrix.tx, 100);
  ASSERT_EQ(t.records.size(), 3u);
  EXPECT_EQ(t.records[0].fontId, 1);
  EXPECT_EQ(t.records[0].height, 240);
  EXPECT_EQ(t.records[0].color, (Rgba{255, 0, 0, 0x80}));
  EXPECT_EQ(t.records[0].x, 20);
  EXPECT_EQ(t.records[0].y, 300);
  ASSERT_EQ(t.records[0].glyphs.size(), 3u);
  EXPECT_EQ(t.records[0].glyphs[1].index, 1u);
  EXPECT_EQ(t.records[0].glyphs[2].advance, -30);
  // The second record continues where the first one's advances end, in the same font.
  EXPECT_EQ(t.records[1].fontId, 1);
  EXPECT_EQ(t.records[1].height, 240);
  EXPECT_EQ(t.records[1].x, 20 + 200 + 250 - 30);
  EXPECT_EQ(t.records[1].y, 300);
  EXPECT_EQ(t.records[2].x, 20 + 200 + 250 - 30 + 100);
  EXPECT_EQ(t.records[2].y, 600);
  EXPECT_EQ(t.records[2].color, (Rgba{0, 255, 0, 255}));
  const StaticText& t1 = character<StaticText>(*m, 5);
  EXPECT_EQ(t1.records.at(0).height, 240);
  EXPECT_EQ(t1.records.at(0).color, (Rgba{0, 0, 255, 255}));
}

TEST(TextReader, EditTextFields) {
  auto m = readClean(R"(movie version=8
edittext 6 bounds=-40,-40,2000,400 font=1 height=300 color=#11223344 maxlength=12 align=center margins=20,40 indent=60 leading=-2 var="v" text="<b>hi</b>" wordwrap multiline password readonly autosize noselect border wasstatic html outlines
edittext 7 fontclass="Arial" var=""
edittext 8
)");
  ASSERT_TRUE(m);
  const EditText& e = character<EditText>(*m, 6);
  EXPECT_EQ(e.bounds.xMin, -40);
  EXPECT_EQ(e.bounds.xMax, 2000);
  EXPECT_EQ(e.fontId, 1);
  EXPECT_EQ(e.fontHeight, 300);
  EXPECT_EQ(e.textColor, (Rgba{0x11, 0x22, 0x33, 0x44}));
  EXPECT_EQ(e.maxLength, 12);
  EXPECT_EQ(e.align, TextAlign::Center);
  EXPECT_EQ(e.leftMargin, 20);
  EXPECT_EQ(e.rightMargin, 40);
  EXPECT_EQ(e.indent, 60);
  EXPECT_EQ(e.leading, -2);
  EXPECT_EQ(e.variableName, "v");
  EXPECT_EQ(e.initialText, "<b>hi</b>");
  EXPECT_TRUE(e.wordWrap && e.multiline && e.password && e.readOnly && e.autoSize && e.noSelect && e.border &&
              e.wasStatic && e.html && e.useOutlines);
  const EditText& e7 = character<EditText>(*m, 7);
  EXPECT_EQ(e7.fontClass, "Arial");
  EXPECT_FALSE(e7.fontId);
  EXPECT_EQ(e7.fontHeight, 240);
  const EditText& e8 = character<EditText>(*m, 8);
  EXPECT_FALSE(e8.wordWrap || e8.html || e8.border);
  EXPECT_EQ(e8.textColor, (Rgba{0, 0, 0, 255}));
  EXPECT_TRUE(e8.initialText.empty());
}

TEST(ButtonReader, ButtonsOfBothVersionsAndTheirCompletingTags) {
  auto m = readClean(R"(movie version=8
button 10 version=1 {
  record id=1 depth=1 states=up,hit at=5,5
  record id=2 depth=2 states=over,down
  actions { ; play ; }
}
buttoncxform 10 mult=128,128,128
buttonsound 10 0000 0100 00
button 11 menu {
  record id=1 depth=3 states=up mult=256,256,256,128 blend=multiply {
    filter blur x=2
  }
  actions on=press,key:13 { ; stop ; }
  actions on=release { ; play ; }
}
button 12 { ; record id=1 ; }
sound 20 format=3 rate=2 16bit stereo samples=1000 data=00112233
)");
  ASSERT_TRUE(m);
  const Button& b1 = character<Button>(*m, 10);
  EXPECT_EQ(b1.version, 1);
  ASSERT_EQ(b1.records.size(), 2u);
  EXPECT_EQ(b1.records[0].states, kButtonUp | kButtonHitTest);
  EXPECT_EQ(b1.records[0].matrix.tx, 5);
  EXPECT_EQ(b1.records[1].characterId, 2);
  EXPECT_EQ(b1.records[1].states, kButtonOver | kButtonDown);
  ASSERT_EQ(b1.actions.size(), 1u);
  EXPECT_EQ(b1.actions[0].conditions, 0x8);
  EXPECT_EQ(b1.actions[0].actions, (std::vector<uint8_t>{0x06, 0x00}));
  ASSERT_TRUE(b1.legacyColorTransform);
  EXPECT_EQ(b1.legacyColorTransform->gMult, 128);
  ASSERT_TRUE(b1.sounds);
  EXPECT_EQ(b1.sounds->code, tag::DefineButtonSound);

  const Button& b2 = character<Button>(*m, 11);
  EXPECT_EQ(b2.version, 2);
  EXPECT_TRUE(b2.trackAsMenu);
  ASSERT_EQ(b2.records.size(), 1u);
  EXPECT_EQ(b2.records[0].depth, 3);
  EXPECT_EQ(b2.records[0].colorTransform.aMult, 128);
  EXPECT_EQ(b2.records[0].blendMode, BlendMode::Multiply);
  ASSERT_EQ(b2.records[0].filters.size(), 1u);
  EXPECT_EQ(b2.records[0].filters[0].kind, FilterKind::Blur);
  ASSERT_EQ(b2.actions.size(), 2u);
  EXPECT_EQ(b2.actions[0].conditions, 0x0004 | 13 << 9);
  EXPECT_EQ(b2.actions[0].actions, (std::vector<uint8_t>{0x07, 0x00}));
  EXPECT_EQ(b2.actions[1].conditions, 0x0008);
  EXPECT_TRUE(character<Button>(*m, 12).actions.empty());

  const Sound& s = character<Sound>(*m, 20);
  EXPECT_EQ(s.format, 3);
  EXPECT_EQ(s.rate, 2);
  EXPECT_TRUE(s.sixteenBit);
  EXPECT_TRUE(s.stereo);
  EXPECT_EQ(s.sampleCount, 1000u);
  EXPECT_EQ(s.data, (std::vector<uint8_t>{0x00, 0x11, 0x22, 0x33}));
}

}  // namespace
}  // namespace vorlo::player::testing
