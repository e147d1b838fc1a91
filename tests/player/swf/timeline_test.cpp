// The movie header, the tags about the whole movie, and timelines: placements of every version with
// every field, removals, labels, sprites and the tags kept as bytes in frame order.
#include <cmath>

#include "player/swf/tag_codes.h"
#include "tests/player/swf/swf_fixture.h"

namespace vorlo::player::testing {
namespace {

TEST(MovieReader, HeaderOfPlainAndCompressedMovies) {
  for (const char* compression : {"none", "zlib"}) {
    SCOPED_TRACE(compression);
    auto bytes = assemble(std::string("movie version=7 size=320x240 rate=12.5 compression=") + compression +
                          "\nshow 3\n");
    EXPECT_EQ(bytes[0], std::string(compression) == "zlib" ? 'C' : 'F');
    auto m = read(bytes);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->warnings.empty()) << warningsOf(*m);
    EXPECT_EQ(m->header.signature, bytes[0]);
    EXPECT_EQ(m->header.version, 7);
    EXPECT_EQ(m->header.frameSize.xMax, 6400);
    EXPECT_EQ(m->header.frameSize.yMax, 4800);
    EXPECT_DOUBLE_EQ(m->header.frameRate, 12.5);
    EXPECT_EQ(m->header.frameCount, 3);
    EXPECT_EQ(m->timeline.frames.size(), 3u);
  }
}

TEST(MovieReader, TagsAboutTheWholeMovie) {
  auto m = readClean(R"(movie version=8
fileattributes metadata network
metadata "<rdf/>"
protect
scriptlimits recursion=1000 timeout=30
export 5 "five" 6 "six"
import "lib.swf" 7 "seven"
import "lib2.swf" version=2 8 "eight"
scalinggrid 5 rect=20,40,200,400
background #102030
background #ffffff
show
)");
  ASSERT_TRUE(m);
  EXPECT_EQ(m->fileAttributes, 0x11u);
  EXPECT_EQ(m->metadata, "<rdf/>");
  EXPECT_TRUE(m->isProtected);
  EXPECT_EQ(m->exports.at("five"), 5);
  EXPECT_EQ(m->exports.at("six"), 6);
  ASSERT_EQ(m->imports.size(), 2u);
  EXPECT_EQ(m->imports[0].url, "lib.swf");
  EXPECT_EQ(m->imports[0].characterId, 7);
  EXPECT_EQ(m->imports[1].name, "eight");
  EXPECT_EQ(m->scalingGrids.at(5).xMin, 20);
  EXPECT_EQ(m->scalingGrids.at(5).yMax, 400);
  // The movie's colour is the first one; each stays in its frame for the display list.
  EXPECT_EQ(m->backgroundColor, (Rgba{0x10, 0x20, 0x30, 255}));
  ASSERT_EQ(m->timeline.frames.size(), 1u);
  const auto& tags = m->timeline.frames[0].tags;
  ASSERT_EQ(tags.size(), 3u);  // ScriptLimits kept, then the two colours
  EXPECT_EQ(std::get<RawTag>(tags[0]).code, tag::ScriptLimits);
  EXPECT_EQ(std::get<SetBackgroundColor>(tags[2]).color, (Rgba{255, 255, 255, 255}));
}

TEST(MovieReader, StringsAreUtf8FromVersionSixAndWindows1252Before) {
  // "\x80" is the euro sign in Windows-1252; "\xc3\xa9" is é in UTF-8.
  auto old = readClean("movie version=5\nlabel \"\\x80 caf\\xe9\"\nshow\n");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->timeline.frames[0].labels.at(0), "\xe2\x82\xac caf\xc3\xa9");
  auto modern = readClean("movie version=6\nlabel \"caf\\xc3\\xa9\"\nshow\n");
  ASSERT_TRUE(modern);
  EXPECT_EQ(modern->timeline.frames[0].labels.at(0), "caf\xc3\xa9");
}

TEST(MovieReader, PlaceObjectOneTwoAndThree) {
  auto m = readClean(R"(movie version=8
place 1 id=3 version=1 at=10,20 mult=128,256,256
place 2 id=4 move matrix=2,0.5,-0.5,3,100,-200 mult=256,128,64,32 add=1,-2,3,-4 ratio=300 name="clip" clip=9 clipactions=00000000
place 3 version=3 id=5 class="Thing" blend=screen cache visible=0 background=#11223344 {
  filter dropshadow color=#ff000080 x=3 y=5 angle=90 distance=7 strength=1.5 passes=2 inner knockout
  filter blur x=2.5 y=1 passes=3
  filter glow color=#00ff00 x=4 strength=2 nocomposite
  filter bevel shadow=#000000 highlight=#ffffff angle=45 distance=2 ontop passes=1
  filter gradientglow stops=0:#00000000,255:#ffffffff x=6 y=6
  filter gradientbevel stops=0:#ff0000,128:#00ff00,255:#0000ff
  filter convolution size=3x2 values=1,2,3,4,5,6 divisor=21 bias=0.5 default=#01020304 noclamp
  filter colormatrix values=0.5,0,0,0,10,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0
}
place 3 move blend=layer cache=0
show
)");
  ASSERT_TRUE(m);
  const auto& tags = m->timeline.frames.at(0).tags;
  ASSERT_EQ(tags.size(), 4u);
  const auto& p1 = std::get<PlaceObject>(tags[0]);
  EXPECT_EQ(p1.version, 1);
  EXPECT_EQ(p1.depth, 1);
  EXPECT_EQ(p1.characterId, 3);
  EXPECT_FALSE(p1.move);
  EXPECT_EQ(p1.matrix->tx, 10);
  EXPECT_EQ(p1.matrix->ty, 20);
  EXPECT_EQ(p1.colorTransform->rMult, 128);
  EXPECT_EQ(p1.colorTransform->aMult, 256);

  const auto& p2 = std::get<PlaceObject>(tags[1]);
  EXPECT_EQ(p2.version, 2);
  EXPECT_TRUE(p2.move);
  EXPECT_DOUBLE_EQ(p2.matrix->a, 2);
  EXPECT_DOUBLE_EQ(p2.matrix->b, 0.5);
  EXPECT_DOUBLE_EQ(p2.matrix->c, -0.5);
  EXPECT_DOUBLE_EQ(p2.matrix->d, 3);
  EXPECT_EQ(p2.matrix->ty, -200);
  EXPECT_EQ(p2.colorTransform->aMult, 32);
  EXPECT_EQ(p2.colorTransform->gAdd, -2);
  EXPECT_EQ(p2.colorTransform->aAdd, -4);
  EXPECT_EQ(p2.ratio, 300);
  EXPECT_EQ(p2.name, "clip");
  EXPECT_EQ(p2.clipDepth, 9);
  EXPECT_EQ(p2.clipActions, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_FALSE(p2.blendMode);
  EXPECT_FALSE(p2.filters);

  const auto& p3 = std::get<PlaceObject>(tags[2]);
  EXPECT_EQ(p3.version, 3);
  EXPECT_EQ(p3.className, "Thing");
  EXPECT_EQ(p3.blendMode, BlendMode::Screen);
  EXPECT_EQ(p3.cacheAsBitmap, true);
  EXPECT_EQ(p3.visible, false);
  EXPECT_EQ(p3.backgroundColor, (Rgba{0x11, 0x22, 0x33, 0x44}));
  ASSERT_TRUE(p3.filters);
  const auto& f = *p3.filters;
  ASSERT_EQ(f.size(), 8u);
  EXPECT_EQ(f[0].kind, FilterKind::DropShadow);
  EXPECT_EQ(f[0].color, (Rgba{255, 0, 0, 0x80}));
  EXPECT_DOUBLE_EQ(f[0].blurX, 3);
  EXPECT_DOUBLE_EQ(f[0].blurY, 5);
  EXPECT_NEAR(f[0].angle, 1.5707963, 1e-4);
  EXPECT_DOUBLE_EQ(f[0].distance, 7);
  EXPECT_DOUBLE_EQ(f[0].strength, 1.5);
  EXPECT_EQ(f[0].passes, 2);
  EXPECT_TRUE(f[0].inner);
  EXPECT_TRUE(f[0].knockout);
  EXPECT_TRUE(f[0].compositeSource);
  EXPECT_EQ(f[1].kind, FilterKind::Blur);
  EXPECT_DOUBLE_EQ(f[1].blurX, 2.5);
  EXPECT_EQ(f[1].passes, 3);
  EXPECT_EQ(f[2].kind, FilterKind::Glow);
  EXPECT_FALSE(f[2].compositeSource);
  EXPECT_DOUBLE_EQ(f[2].strength, 2);
  EXPECT_EQ(f[3].kind, FilterKind::Bevel);
  EXPECT_EQ(f[3].color, (Rgba{0, 0, 0, 255}));
  EXPECT_EQ(f[3].highlight, (Rgba{255, 255, 255, 255}));
  EXPECT_TRUE(f[3].onTop);
  EXPECT_EQ(f[4].kind, FilterKind::GradientGlow);
  ASSERT_EQ(f[4].stops.size(), 2u);
  EXPECT_EQ(f[4].stops[1].ratio, 255);
  EXPECT_EQ(f[4].stops[1].color, (Rgba{255, 255, 255, 255}));
  EXPECT_EQ(f[5].kind, FilterKind::GradientBevel);
  EXPECT_EQ(f[5].stops.size(), 3u);
  EXPECT_EQ(f[6].kind, FilterKind::Convolution);
  EXPECT_EQ(f[6].matrixX, 3);
  EXPECT_EQ(f[6].matrixY, 2);
  EXPECT_EQ(f[6].matrix, (std::vector<float>{1, 2, 3, 4, 5, 6}));
  EXPECT_DOUBLE_EQ(f[6].divisor, 21);
  EXPECT_DOUBLE_EQ(f[6].bias, 0.5);
  EXPECT_EQ(f[6].defaultColor, (Rgba{1, 2, 3, 4}));
  EXPECT_FALSE(f[6].clamp);
  EXPECT_TRUE(f[6].preserveAlpha);
  EXPECT_EQ(f[7].kind, FilterKind::ColorMatrix);
  EXPECT_FLOAT_EQ(f[7].colorMatrix[0], 0.5f);
  EXPECT_FLOAT_EQ(f[7].colorMatrix[4], 10);

  const auto& p4 = std::get<PlaceObject>(tags[3]);
  EXPECT_EQ(p4.blendMode, BlendMode::Layer);
  EXPECT_EQ(p4.cacheAsBitmap, false);
  EXPECT_FALSE(p4.characterId);
}

TEST(MovieReader, RemovalsLabelsAndKeptTagsStayInFrameOrder) {
  auto m = readClean(R"(movie version=6
place 1 id=2
label "first"
actions { ; stop ; }
show
remove 1 id=2
raw 15 0200 00
remove 4
label "second" anchor
tabindex 4 7
show
)");
  ASSERT_TRUE(m);
  ASSERT_EQ(m->timeline.frames.size(), 2u);
  const Frame& f1 = m->timeline.frames[0];
  EXPECT_EQ(f1.labels, std::vector<std::string>{"first"});
  ASSERT_EQ(f1.tags.size(), 2u);
  const auto& action = std::get<RawTag>(f1.tags[1]);
  EXPECT_EQ(action.code, tag::DoAction);
  EXPECT_EQ(action.body, (std::vector<uint8_t>{0x07, 0x00}));
  const Frame& f2 = m->timeline.frames[1];
  EXPECT_EQ(f2.labels, std::vector<std::string>{"second"});
  ASSERT_EQ(f2.tags.size(), 4u);
  EXPECT_EQ(std::get<RemoveObject>(f2.tags[0]).characterId, 2);
  EXPECT_EQ(std::get<RawTag>(f2.tags[1]).code, tag::StartSound);
  EXPECT_EQ(std::get<RemoveObject>(f2.tags[2]).depth, 4);
  EXPECT_FALSE(std::get<RemoveObject>(f2.tags[2]).characterId);
  EXPECT_EQ(std::get<RawTag>(f2.tags[3]).code, tag::SetTabIndex);
}

TEST(MovieReader, SpritesHaveTheirOwnTimelines) {
  auto m = readClean(R"(movie version=8
sprite 5 {
  place 1 id=1
  label "in"
  show
  remove 1
  show 2
}
sprite 6 frames=9 {
  place 1 id=5
  show
}
sprite 7 {
  place 1 id=7
}
place 1 id=6
show
)");
  ASSERT_TRUE(m);
  const Sprite& s5 = character<Sprite>(*m, 5);
  EXPECT_EQ(s5.declaredFrameCount, 3);
  ASSERT_EQ(s5.timeline.frames.size(), 3u);
  EXPECT_EQ(s5.timeline.frames[0].labels.at(0), "in");
  EXPECT_EQ(std::get<RemoveObject>(s5.timeline.frames[1].tags.at(0)).depth, 1);
  EXPECT_TRUE(s5.timeline.frames[2].tags.empty());
  EXPECT_EQ(character<Sprite>(*m, 6).declaredFrameCount, 9);
  // A sprite without a ShowFrame still has its one frame; one that places itself is kept as it is.
  const Sprite& s7 = character<Sprite>(*m, 7);
  ASSERT_EQ(s7.timeline.frames.size(), 1u);
  EXPECT_EQ(std::get<PlaceObject>(s7.timeline.frames[0].tags.at(0)).characterId, 7);
  EXPECT_EQ(m->timeline.frames.size(), 1u);
}

TEST(MovieReader, UnknownTagsAreSkippedSilentlyAndTheFirstDefinitionWins) {
  auto m = read(assemble(R"(movie
raw 1000 0102030405
raw 41 00
shape 1 { ; fill solid #ff0000 ; rect 0 0 10 10 fill0=1 ; }
shape 1 { ; fill solid #00ff00 ; rect 0 0 10 10 fill0=1 ; }
show
)"));
  ASSERT_TRUE(m);
  ASSERT_EQ(m->warnings.size(), 1u) << warningsOf(*m);
  EXPECT_NE(m->warnings[0].find("redefines character 1"), std::string::npos) << m->warnings[0];
  EXPECT_EQ(character<Shape>(*m, 1).groups[0].fills[0].color, (Rgba{255, 0, 0, 255}));
}

TEST(MovieReader, TagsAreNotGatedOnTheVersionByte) {
  auto m = readClean(R"(movie version=1
shape 1 version=4 { ; fill solid #ff000080 ; rect 0 0 10 10 fill0=1 ; }
place 1 id=1 blend=add { ; filter blur ; }
show
)");
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->find<Shape>(1));
  const auto& p = std::get<PlaceObject>(m->timeline.frames.at(0).tags.at(0));
  EXPECT_EQ(p.blendMode, BlendMode::Add);
  EXPECT_EQ(p.filters->size(), 1u);
}

}  // namespace
}  // namespace vorlo::player::testing
