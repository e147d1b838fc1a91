// Shapes and morph shapes: what the assembler writes comes back from the reader field by field.
#include <cmath>
#include <functional>

#include "tests/player/swf/swf_fixture.h"

namespace vorlo::player::testing {
namespace {

const Shape& shapeOf(const Movie& m) { return character<Shape>(m, 1); }

std::unique_ptr<Movie> shapeMovie(const std::string& header, const std::string& body) {
  return readClean("movie version=8\nshape 1 " + header + " {\n" + body + "\n}\n");
}

struct FillCase {
  const char* name;
  const char* header;
  const char* fill;
  std::function<void(const FillStyle&)> check;
};

TEST(ShapeReader, FillStylesOfEveryKindComeBack) {
  const FillCase cases[] = {
      {"solid rgb", "version=1", "fill solid #102030",
       [](const FillStyle& f) {
         EXPECT_EQ(f.kind, FillKind::Solid);
         EXPECT_EQ(f.color, (Rgba{0x10, 0x20, 0x30, 255}));
       }},
      {"solid with alpha", "version=3", "fill solid #10203080",
       [](const FillStyle& f) { EXPECT_EQ(f.color, (Rgba{0x10, 0x20, 0x30, 0x80})); }},
      {"alpha ignored before DefineShape3", "version=2", "fill solid #10203080",
       [](const FillStyle& f) { EXPECT_EQ(f.color.a, 255); }},
      {"linear gradient", "version=3",
       "fill linear stops=0:#ff0000,128:#00ff0080,255:#0000ff box=0,0,200,100",
       [](const FillStyle& f) {
         EXPECT_EQ(f.kind, FillKind::LinearGradient);
         ASSERT_EQ(f.gradient.stops.size(), 3u);
         EXPECT_EQ(f.gradient.stops[1].ratio, 128);
         EXPECT_EQ(f.gradient.stops[1].color, (Rgba{0, 255, 0, 0x80}));
         EXPECT_NEAR(f.gradient.matrix.a, 200.0 / 32768, 1e-4);
         EXPECT_NEAR(f.gradient.matrix.d, 100.0 / 32768, 1e-4);
         EXPECT_EQ(f.gradient.matrix.tx, 100);
         EXPECT_EQ(f.gradient.matrix.ty, 50);
         EXPECT_EQ(f.gradient.spread, SpreadMode::Pad);
         EXPECT_EQ(f.gradient.interpolation, InterpolationMode::Normal);
       }},
      {"radial, reflect, linear RGB", "version=3",
       "fill radial stops=0:#ffffff,255:#000000 spread=reflect interp=linear",
       [](const FillStyle& f) {
         EXPECT_EQ(f.kind, FillKind::RadialGradient);
         EXPECT_EQ(f.gradient.spread, SpreadMode::Reflect);
         EXPECT_EQ(f.gradient.interpolation, InterpolationMode::LinearRgb);
       }},
      {"repeat spread", "version=3", "fill linear stops=0:#ffffff,255:#000000 spread=repeat",
       [](const FillStyle& f) { EXPECT_EQ(f.gradient.spread, SpreadMode::Repeat); }},
      {"focal gradient", "version=4", "fill focal stops=0:#ffffff,255:#000000 focal=-0.75",
       [](const FillStyle& f) {
         EXPECT_EQ(f.kind, FillKind::FocalGradient);
         EXPECT_DOUBLE_EQ(f.gradient.focalPoint, -0.75);
       }},
      {"repeating smoothed bitmap", "version=3", "fill bitmap 7 scale=20 at=5,6",
       [](const FillStyle& f) {
         EXPECT_EQ(f.kind, FillKind::RepeatingBitmap);
         EXPECT_EQ(f.bitmapId, 7);
         EXPECT_EQ(f.bitmapMatrix.a, 20);
         EXPECT_EQ(f.bitmapMatrix.tx, 5);
         EXPECT_TRUE(f.smoothed());
       }},
      {"clipped bitmap", "version=3", "fill bitmap 7 clipped",
       [](const FillStyle& f) { EXPECT_EQ(f.kind, FillKind::ClippedBitmap); }},
      {"repeating hard bitmap", "version=3", "fill bitmap 7 hard",
       [](const FillStyle& f) {
         EXPECT_EQ(f.kind, FillKind::RepeatingBitmapHard);
         EXPECT_FALSE(f.smoothed());
       }},
      {"clipped hard bitmap, rotated", "version=3", "fill bitmap 7 clipped hard rotate=90",
       [](const FillStyle& f) {
         EXPECT_EQ(f.kind, FillKind::ClippedBitmapHard);
         EXPECT_NEAR(f.bitmapMatrix.b, 1, 1e-4);
         EXPECT_NEAR(f.bitmapMatrix.c, -1, 1e-4);
       }},
  };
  for (const FillCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = shapeMovie(c.header, std::string(c.fill) + "\nrect 0 0 100 100 fill0=1");
    ASSERT_TRUE(m);
    const Shape& s = shapeOf(*m);
    ASSERT_EQ(s.groups.size(), 1u);
    ASSERT_EQ(s.groups[0].fills.size(), 1u);
    c.check(s.groups[0].fills[0]);
  }
}

TEST(ShapeReader, LineStylesOneAndTwo) {
  auto m = shapeMovie("version=3", "line 40 #ff000080\nmoveTo 0 0 line=1\nlineTo 100 0");
  ASSERT_TRUE(m);
  const LineStyle& l1 = shapeOf(*m).groups[0].lines.at(0);
  EXPECT_EQ(l1.width, 40);
  EXPECT_EQ(l1.color, (Rgba{255, 0, 0, 0x80}));
  EXPECT_EQ(l1.join, JoinStyle::Round);
  EXPECT_FALSE(l1.hasFill);

  m = shapeMovie("version=4",
                 "line 2px #00ff00 startcap=none endcap=square join=miter miter=2.5 nohscale hinting noclose\n"
                 "line 1px join=bevel novscale fill linear stops=0:#000000,255:#ffffff\n"
                 "moveTo 0 0 line=1\nlineTo 100 0\nuse line=2\nlineTo 100 100");
  ASSERT_TRUE(m);
  const auto& lines = shapeOf(*m).groups[0].lines;
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].width, 40);
  EXPECT_EQ(lines[0].startCap, CapStyle::None);
  EXPECT_EQ(lines[0].endCap, CapStyle::Square);
  EXPECT_EQ(lines[0].join, JoinStyle::Miter);
  EXPECT_DOUBLE_EQ(lines[0].miterLimit, 2.5);
  EXPECT_TRUE(lines[0].noHScale);
  EXPECT_FALSE(lines[0].noVScale);
  EXPECT_TRUE(lines[0].pixelHinting);
  EXPECT_TRUE(lines[0].noClose);
  EXPECT_EQ(lines[0].color, (Rgba{0, 255, 0, 255}));
  EXPECT_EQ(lines[1].join, JoinStyle::Bevel);
  EXPECT_TRUE(lines[1].noVScale);
  EXPECT_TRUE(lines[1].hasFill);
  EXPECT_EQ(lines[1].fill.kind, FillKind::LinearGradient);
  EXPECT_EQ(lines[1].fill.gradient.stops.size(), 2u);
}

TEST(ShapeReader, EdgesCarryTheirStylesAndPositions) {
  auto m = shapeMovie("version=2",
                      "fill solid #ff0000\nfill solid #0000ff\nline 20 #000000\n"
                      "moveTo 1px 2px fill0=1 fill1=2 line=1\n"
                      "lineTo 11px 2px\n"        // horizontal
                      "lineTo 11px 12px\n"       // vertical
                      "lineTo 1px 2px\n"         // general
                      "use fill1=0\n"
                      "curveTo 30 -40 -5000 60000");
  ASSERT_TRUE(m);
  const auto& edges = shapeOf(*m).groups[0].edges;
  ASSERT_EQ(edges.size(), 4u);
  EXPECT_EQ(edges[0].from.x, 20);
  EXPECT_EQ(edges[0].from.y, 40);
  EXPECT_EQ(edges[0].to.x, 220);
  EXPECT_EQ(edges[0].to.y, 40);
  EXPECT_EQ(edges[1].to.y, 240);
  EXPECT_EQ(edges[2].to.x, 20);
  EXPECT_EQ(edges[2].to.y, 40);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(edges[i].curved);
    EXPECT_EQ(edges[i].fill0, 1);
    EXPECT_EQ(edges[i].fill1, 2);
    EXPECT_EQ(edges[i].line, 1);
  }
  EXPECT_TRUE(edges[3].curved);
  EXPECT_EQ(edges[3].fill0, 1);
  EXPECT_EQ(edges[3].fill1, 0);
  EXPECT_EQ(edges[3].control.x, 30);
  EXPECT_EQ(edges[3].control.y, -40);
  EXPECT_EQ(edges[3].to.x, -5000);
  EXPECT_EQ(edges[3].to.y, 60000);
}

TEST(ShapeReader, NewStylesStartAGroupAndBoundsComeBack) {
  auto m = shapeMovie("version=4 nonzero scaling bounds=-10,-20,300,400 edgebounds=0,0,200,200",
                      "fill solid #ff0000\nrect 0 0 100 100 fill0=1\n"
                      "newstyles\nfill solid #00ff00\nfill solid #0000ff\nline 20 #000000\n"
                      "moveTo 0 0 fill1=2\nlineTo 50 50\nuse line=1\nlineTo 0 50");
  ASSERT_TRUE(m);
  const Shape& s = shapeOf(*m);
  EXPECT_TRUE(s.nonZeroWinding);
  EXPECT_TRUE(s.usesScalingStrokes);
  EXPECT_FALSE(s.usesNonScalingStrokes);
  EXPECT_EQ(s.bounds.xMin, -10);
  EXPECT_EQ(s.bounds.yMax, 400);
  EXPECT_EQ(s.edgeBounds.xMax, 200);
  ASSERT_EQ(s.groups.size(), 2u);
  EXPECT_EQ(s.groups[0].edges.size(), 4u);
  ASSERT_EQ(s.groups[1].fills.size(), 2u);
  EXPECT_EQ(s.groups[1].fills[1].color, (Rgba{0, 0, 255, 255}));
  ASSERT_EQ(s.groups[1].edges.size(), 2u);
  // Styles of the earlier group do not leak into the new one.
  EXPECT_EQ(s.groups[1].edges[0].fill0, 0);
  EXPECT_EQ(s.groups[1].edges[0].fill1, 2);
  EXPECT_EQ(s.groups[1].edges[0].line, 0);
  EXPECT_EQ(s.groups[1].edges[1].line, 1);
  // The pen keeps its place across groups.
  EXPECT_EQ(s.groups[1].edges[0].from.x, 0);
}

TEST(ShapeReader, StyleIndicesBeyondTheTablesAreDropped) {
  // One fill style and two line styles, so two index bits: the edge names fill 3, which does not
  // exist, and line 2, which does.
  auto m = readClean("movie\n"
                     "raw 2 0100 00 01 00ff0000 02 1400000000 1400000000 22 0B C2 A0 00\n"
                     "raw 2 0200 00 01 00ff0000 02 1400000000 1400000000 22 22 C2 A0 00\n");
  ASSERT_TRUE(m);
  const Shape& bad = character<Shape>(*m, 1);
  ASSERT_EQ(bad.groups.size(), 1u);
  ASSERT_EQ(bad.groups[0].edges.size(), 1u);
  EXPECT_EQ(bad.groups[0].edges[0].fill0, 0);
  EXPECT_EQ(bad.groups[0].edges[0].to.x, 1);
  const Shape& good = character<Shape>(*m, 2);
  ASSERT_EQ(good.groups[0].edges.size(), 1u);
  EXPECT_EQ(good.groups[0].edges[0].line, 2);
}

TEST(MorphShapeReader, StylesAndEdgesOfBothEndsAndTheShapeBetween) {
  auto m = readClean(R"(movie version=8
morph 1 version=2 {
  fill solid #ff000080 #0000ffff
  fill linear stops=0:#000000,255:#ffffff end-stops=64:#ff0000,192:#00ff00 box=0,0,100,100 end-box=0,0,200,200
  line 20 60 #000000 #ffffff join=bevel
  start {
    moveTo 0 0 fill0=1 line=1
    lineTo 100 0
    curveTo 150 50 100 100
  }
  end {
    moveTo 0 100
    curveTo 100 100 200 100
    lineTo 300 300
  }
}
)");
  ASSERT_TRUE(m);
  const MorphShape& ms = character<MorphShape>(*m, 1);
  ASSERT_EQ(ms.startFills.size(), 2u);
  ASSERT_EQ(ms.endFills.size(), 2u);
  EXPECT_EQ(ms.startFills[0].color, (Rgba{255, 0, 0, 0x80}));
  EXPECT_EQ(ms.endFills[0].color, (Rgba{0, 0, 255, 255}));
  EXPECT_EQ(ms.endFills[1].gradient.stops[0].ratio, 64);
  EXPECT_EQ(ms.endFills[1].gradient.stops[1].color, (Rgba{0, 255, 0, 255}));
  EXPECT_NEAR(ms.endFills[1].gradient.matrix.a, 200.0 / 32768, 1e-4);
  ASSERT_EQ(ms.startLines.size(), 1u);
  EXPECT_EQ(ms.startLines[0].width, 20);
  EXPECT_EQ(ms.endLines[0].width, 60);
  EXPECT_EQ(ms.endLines[0].join, JoinStyle::Bevel);
  ASSERT_EQ(ms.startEdges.size(), 2u);
  ASSERT_EQ(ms.endEdges.size(), 2u);
  // A straight edge paired with a curve becomes a curve on both sides.
  EXPECT_TRUE(ms.startEdges[0].curved);
  EXPECT_TRUE(ms.endEdges[0].curved);
  EXPECT_EQ(ms.startEdges[0].control.x, 50);
  EXPECT_EQ(ms.endEdges[1].line, 1);
  EXPECT_EQ(ms.endEdges[1].fill0, 1);

  Shape half = morphShapeAt(ms, 0.5);
  ASSERT_EQ(half.groups.size(), 1u);
  const auto& e = half.groups[0].edges;
  ASSERT_EQ(e.size(), 2u);
  EXPECT_DOUBLE_EQ(e[0].from.y, 50);
  EXPECT_DOUBLE_EQ(e[0].to.x, 150);
  EXPECT_DOUBLE_EQ(e[1].to.x, 200);
  EXPECT_DOUBLE_EQ(e[1].to.y, 200);
  EXPECT_EQ(half.groups[0].lines[0].width, 40);
  EXPECT_EQ(half.groups[0].fills[0].color, (Rgba{128, 0, 128, 0xC0}));
  EXPECT_EQ(half.groups[0].fills[1].gradient.stops[0].ratio, 32);

  Shape atEnd = morphShapeAt(ms, 1.0), pastEnd = morphShapeAt(ms, 7.0), nan = morphShapeAt(ms, std::nan(""));
  EXPECT_EQ(atEnd.groups[0].edges[1].to.x, 300);
  EXPECT_EQ(pastEnd.groups[0].edges[1].to.x, 300);
  EXPECT_EQ(nan.groups[0].edges[1].to.x, 100);
}

TEST(MorphShapeReader, VersionOneHasPlainLineStyles) {
  auto m = readClean(R"(movie
morph 3 {
  fill bitmap 9 clipped scale=20 end-scale=40
  line 20 40 #000000ff #ffffff00
  start { ; moveTo 0 0 fill0=1 ; lineTo 10 0 ; }
  end { ; moveTo 0 0 ; lineTo 20 0 ; }
}
)");
  ASSERT_TRUE(m);
  const MorphShape& ms = character<MorphShape>(*m, 3);
  EXPECT_EQ(ms.startFills[0].kind, FillKind::ClippedBitmap);
  EXPECT_EQ(ms.startFills[0].bitmapId, 9);
  EXPECT_EQ(ms.startFills[0].bitmapMatrix.a, 20);
  EXPECT_EQ(ms.endFills[0].bitmapMatrix.a, 40);
  EXPECT_EQ(ms.endLines[0].color, (Rgba{255, 255, 255, 0}));
  EXPECT_EQ(morphShapeAt(ms, 0.25).groups[0].edges[0].to.x, 12.5);
}

}  // namespace
}  // namespace vorlo::player::testing
