// Solid fills: coverage, both winding rules, shared edges, clipping, quality levels, colour
// transforms and input that must not hurt.
#include <gtest/gtest.h>

#include <limits>

#include "tests/player/render/render_fixtures.h"

namespace vorlo::player::test {
namespace {

TEST(Fills, RectangleOnPixelBoundariesIsExactInsideAndUntouchedOutside) {
  // Every way of writing the same rectangle: either orientation, the fill on either side.
  struct Case {
    const char* name;
    bool clockwise;
    bool fillOnLeft;
  } cases[] = {{"cw right", true, false}, {"cw left", true, true}, {"ccw right", false, false},
               {"ccw left", false, true}};
  const uint32_t background = 0xFF102030;
  for (const Case& c : cases) {
    ShapeBuilder b;
    uint16_t red = b.solid(kRed);
    uint16_t f0 = c.fillOnLeft ? red : 0, f1 = c.fillOnLeft ? 0 : red;
    if (c.clockwise)
      b.path({{2, 3}, {12, 3}, {12, 9}, {2, 9}}, f0, f1);
    else
      b.path({{2, 3}, {2, 9}, {12, 9}, {12, 3}}, f0, f1);
    Surface s = draw(b.shape, 16, 12, pixelsDraw(), background);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 16; ++x) {
        bool inside = x >= 2 && x < 12 && y >= 3 && y < 9;
        ASSERT_EQ(s.row(y)[x], inside ? 0xFFFF0000u : background) << c.name << " at " << x << "," << y;
      }
  }
}

TEST(Fills, EdgesCoverByArea) {
  // A rectangle with half-pixel borders: border pixels half covered, corners a quarter.
  ShapeBuilder b;
  b.rect(2.5, 2.5, 7.5, 7.5, b.solid(kWhite));
  Surface s = draw(b.shape, 10, 10);
  EXPECT_EQ(alphaOf(s.row(4)[4]), 255);
  EXPECT_NEAR(alphaOf(s.row(4)[2]), 128, 1);
  EXPECT_NEAR(alphaOf(s.row(4)[7]), 128, 1);
  EXPECT_NEAR(alphaOf(s.row(2)[4]), 128, 1);
  EXPECT_NEAR(alphaOf(s.row(2)[2]), 64, 1);
  EXPECT_EQ(s.row(4)[1], 0u);
  EXPECT_EQ(s.row(4)[8], 0u);
  EXPECT_NEAR(coveredArea(s), 25.0, 0.1);
}

TEST(Fills, AreaOfSlantedAndCurvedOutlines) {
  struct Case {
    const char* name;
    ShapeBuilder shape;
    double area;
  };
  ShapeBuilder triangle;
  triangle.path({{1.3, 1.1}, {30.7, 4.2}, {9.4, 27.9}}, 0, triangle.solid(kBlue));
  // A circle of radius 12 as eight quadratic arcs (control points on the tangent intersections).
  ShapeBuilder circle;
  uint16_t f = circle.solid(kBlue);
  const double cx = 16, cy = 16, r = 12, pi = 3.14159265358979323846;
  for (int i = 0; i < 8; ++i) {
    double a0 = i * pi / 4, a1 = (i + 1) * pi / 4, am = (a0 + a1) / 2, rc = r / std::cos(pi / 8);
    circle.curve({cx + r * std::cos(a0), cy + r * std::sin(a0)}, {cx + rc * std::cos(am), cy + rc * std::sin(am)},
                 {cx + r * std::cos(a1), cy + r * std::sin(a1)}, f, 0);
  }
  // The triangle's area by the shoelace formula; the circle's quadratic arcs enclose a little more
  // than the circle (each arc bulges by under 0.1 px), so allow for it.
  double tri = 0.5 * std::fabs((30.7 - 1.3) * (27.9 - 1.1) - (9.4 - 1.3) * (4.2 - 1.1));
  Case cases[] = {{"triangle", triangle, tri}, {"circle", circle, pi * r * r}};
  for (const Case& c : cases) {
    Surface s = draw(c.shape.shape, 32, 32);
    EXPECT_NEAR(coveredArea(s), c.area, c.area * 0.006) << c.name;
  }
}

TEST(Fills, WindingRules) {
  // One path around two overlapping squares; the second loop turns the same way as the first,
  // or the other way. The even-odd rule (SWF's own) leaves the overlap empty; the nonzero rule of
  // DefineShape4 fills it when both loops turn the same way.
  struct Case {
    bool nonZero;
    bool sameTurn;
    int overlapAlpha;
  } cases[] = {{false, true, 0}, {false, false, 0}, {true, true, 255}, {true, false, 0}};
  for (const Case& c : cases) {
    ShapeBuilder b;
    uint16_t f = b.solid(kGreen);
    b.path({{2, 2}, {12, 2}, {12, 12}, {2, 12}}, 0, f);
    if (c.sameTurn)
      b.path({{7, 7}, {17, 7}, {17, 17}, {7, 17}}, 0, f);
    else
      b.path({{7, 7}, {7, 17}, {17, 17}, {17, 7}}, 0, f);
    b.shape.nonZeroWinding = c.nonZero;
    Surface s = draw(b.shape, 20, 20);
    SCOPED_TRACE(testing::Message() << "nonZero " << c.nonZero << " sameTurn " << c.sameTurn);
    EXPECT_EQ(alphaOf(s.row(9)[9]), c.overlapAlpha);
    EXPECT_EQ(s.row(4)[4], 0xFF00FF00u);
    EXPECT_EQ(s.row(15)[15], 0xFF00FF00u);
    EXPECT_EQ(s.row(4)[15], 0u);
  }
}

TEST(Fills, SharedEdgesLeaveNoSeam) {
  // Two fills meet along an edge through the middle of pixels: once as SWF stores it (one edge
  // carrying both fills) and once as two closed outlines that share the edge. Either way the
  // join is fully opaque and its colour is the area-weighted mix.
  for (bool oneEdge : {true, false}) {
    ShapeBuilder b;
    uint16_t red = b.solid(kRed), blue = b.solid(kBlue);
    if (oneEdge) {
      // Going down the screen, the left of travel is the screen's right.
      b.path({{10.5, 2}, {10.5, 18}}, blue, red, 0, false);
      b.path({{10.5, 18}, {2, 18}, {2, 2}, {10.5, 2}}, 0, red, 0, false);
      b.path({{10.5, 2}, {19, 2}, {19, 18}, {10.5, 18}}, 0, blue, 0, false);
    } else {
      b.rect(2, 2, 10.5, 18, red);
      b.rect(10.5, 2, 19, 18, blue);
    }
    // A diagonal shared edge as well, in a second group of its own.
    b.newGroup();
    uint16_t green = b.solid(kGreen), white = b.solid(kWhite);
    b.path({{2, 22}, {19, 37}, {2, 37}}, 0, green);
    b.path({{2, 22}, {19, 22}, {19, 37}}, 0, white);
    Surface s = draw(b.shape, 21, 40);
    SCOPED_TRACE(oneEdge ? "one edge" : "two outlines");
    for (int y = 3; y < 17; ++y) {
      uint32_t p = s.row(y)[10];
      ASSERT_EQ(alphaOf(p), 255) << y;
      EXPECT_NEAR(redOf(p), 128, 1);
      EXPECT_NEAR(blueOf(p), 127, 1);
      EXPECT_EQ(s.row(y)[9], 0xFFFF0000u);
      EXPECT_EQ(s.row(y)[11], 0xFF0000FFu);
    }
    for (int y = 23; y < 36; ++y)
      for (int x = 3; x < 18; ++x) ASSERT_EQ(alphaOf(s.row(y)[x]), 255) << x << "," << y;
  }
}

TEST(Fills, SameFillOnBothSidesDrawsNoBoundary) {
  ShapeBuilder b;
  uint16_t f = b.solid(kRed);
  b.rect(2, 2, 18, 18, f);
  b.path({{10.5, 2}, {10.5, 18}}, f, f, 0, false);
  Surface s = draw(b.shape, 20, 20);
  EXPECT_EQ(s.row(9)[10], 0xFFFF0000u);
}

TEST(Fills, QualityLevelsQuantiseCoverage) {
  struct Case {
    Quality q;
    std::vector<int> allowed;  // the alpha values any pixel may take
  } cases[] = {{Quality::Low, {0, 255}}, {Quality::Medium, {0, 64, 128, 192, 255}}};
  for (const Case& c : cases) {
    ShapeBuilder b;
    b.path({{1.3, 1.1}, {30.7, 4.2}, {9.4, 27.9}}, 0, b.solid(kWhite));
    ShapeDraw how = pixelsDraw();
    how.quality = c.q;
    Surface s = draw(b.shape, 32, 32, how);
    for (uint32_t p : s.pixels)
      ASSERT_NE(std::find(c.allowed.begin(), c.allowed.end(), alphaOf(p)), c.allowed.end()) << alphaOf(p);
    EXPECT_NEAR(coveredArea(s), 0.5 * std::fabs(29.4 * 26.8 - 8.1 * 3.1), 6.0);
  }
}

TEST(Fills, TransformClipColourTransformAndSolidColour) {
  ShapeBuilder b;
  b.rect(0, 0, 10, 10, b.solid({200, 100, 50, 255}));
  {
    // Scaled by 2 and moved by (1, 1) pixel.
    ShapeDraw how = pixelsDraw();
    how.toPixels = Matrix::translate(1, 1) * Matrix::scale(2, 2) * how.toPixels;
    Surface s = draw(b.shape, 24, 24, how);
    EXPECT_EQ(alphaOf(s.row(1)[1]), 255);
    EXPECT_EQ(alphaOf(s.row(20)[20]), 255);
    EXPECT_EQ(alphaOf(s.row(21)[21]), 0);
    EXPECT_EQ(alphaOf(s.row(0)[5]), 0);
  }
  {
    ShapeDraw how = pixelsDraw();
    how.clip = IntRect{3, 4, 6, 8};
    Surface s = draw(b.shape, 12, 12, how);
    for (int y = 0; y < 12; ++y)
      for (int x = 0; x < 12; ++x)
        ASSERT_EQ(alphaOf(s.row(y)[x]), x >= 3 && x < 6 && y >= 4 && y < 8 ? 255 : 0) << x << "," << y;
  }
  {
    // Colour transform on straight colour: r*0.5+10, g+20, b unchanged, alpha 255*128/256.
    ShapeDraw how = pixelsDraw();
    how.colorTransform.rMult = 128, how.colorTransform.rAdd = 10, how.colorTransform.gAdd = 20;
    how.colorTransform.aMult = 128;
    Surface s = draw(b.shape, 12, 12, how);
    EXPECT_EQ(s.row(5)[5], premultiply(110, 120, 50, 127));
    how.solidColor = Rgba{0, 0, 255, 255};
    s = draw(b.shape, 12, 12, how);
    EXPECT_EQ(s.row(5)[5], premultiply(10, 20, 255, 127));
  }
}

TEST(Fills, TranslucentFillBlendsOverTheBackground) {
  ShapeBuilder b;
  b.rect(0, 0, 4, 4, b.solid({255, 255, 255, 128}));
  Surface s = draw(b.shape, 4, 4, pixelsDraw(), 0xFF000000);
  EXPECT_EQ(s.row(1)[1], 0xFF808080u);
}

TEST(Fills, BadInputDrawsWhatItCanAndNeverCrashes) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  {
    // Coordinates far beyond any surface still cover the surface.
    ShapeBuilder b;
    b.rect(-1e12, -1e12, 1e12, 1e12, b.solid(kRed));
    Surface s = draw(b.shape, 8, 8);
    for (uint32_t p : s.pixels) ASSERT_EQ(p, 0xFFFF0000u);
  }
  {
    // A NaN edge spoils its group; the next group is still drawn.
    ShapeBuilder b;
    b.path({{1, 1}, {nan, 3}, {3, inf}}, 0, b.solid(kRed));
    b.newGroup();
    b.rect(4, 4, 6, 6, b.solid(kBlue));
    Surface s = draw(b.shape, 8, 8);
    EXPECT_EQ(s.row(5)[5], 0xFF0000FFu);
    EXPECT_EQ(alphaOf(s.row(1)[1]) + alphaOf(s.row(2)[2]), 0);
  }
  {
    // Style numbers beyond the tables, an empty shape, an empty surface, a NaN matrix.
    ShapeBuilder b;
    b.path({{1, 1}, {7, 1}, {7, 7}}, 9, 40000);
    Surface s = draw(b.shape, 8, 8);
    for (uint32_t p : s.pixels) ASSERT_EQ(p, 0u);
    Surface empty;
    drawShape(empty, b.shape, pixelsDraw());
    drawShape(s, Shape{}, pixelsDraw());
    ShapeDraw how = pixelsDraw();
    how.toPixels.a = nan;
    ShapeBuilder r;
    r.rect(0, 0, 8, 8, r.solid(kRed));
    drawShape(s, r.shape, how);
    for (uint32_t p : s.pixels) ASSERT_EQ(p, 0u);
    how = pixelsDraw();
    how.clip = IntRect{5, 5, 2, 2};
    drawShape(s, r.shape, how);
    for (uint32_t p : s.pixels) ASSERT_EQ(p, 0u);
  }
}

}  // namespace
}  // namespace vorlo::player::test
