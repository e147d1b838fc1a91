// Filters, each by its visible effect: blurs spread (and keep the total), shadows move by angle
// and distance, inner effects stay inside, knockout and hidden objects remove the source,
// bevels light one side and shade the other, convolution and colour matrices change colours.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/player/render/render_fixtures.h"

namespace vorlo::player::test {
namespace {

constexpr double kPi = 3.14159265358979323846;
const uint32_t kSquareColor = premultiply(255, 200, 0, 255);

// A w x h layer with an opaque square [x0, x1) x [y0, y1).
Surface squareLayer(int w, int h, int x0, int y0, int x1, int y1) {
  Surface s(w, h);
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) s.row(y)[x] = kSquareColor;
  return s;
}

// The bounding box of pixels with any alpha, as [x0, x1) x [y0, y1).
IntRect painted(const Surface& s) {
  IntRect r{s.width, s.height, 0, 0};
  for (int y = 0; y < s.height; ++y)
    for (int x = 0; x < s.width; ++x)
      if (alphaOf(s.row(y)[x])) {
        r.x0 = std::min(r.x0, x), r.y0 = std::min(r.y0, y);
        r.x1 = std::max(r.x1, x + 1), r.y1 = std::max(r.y1, y + 1);
      }
  return r;
}

// A stage drawn at twice its size blurs with the same boxes (the reference player does).
TEST(Filters, BlurSpreadsByItsReachAndKeepsTheTotal) {
  struct Case {
    double blurX, blurY;
    int passes;
    double scale;
    int reachX, reachY;
  } cases[] = {{4, 4, 1, 1, 2, 2}, {4, 4, 2, 1, 4, 4}, {8, 2, 3, 1, 12, 3}, {4, 0, 1, 2, 2, 0}, {10, 10, 0, 1, 0, 0}};
  for (const Case& c : cases) {
    Filter f;
    f.kind = FilterKind::Blur;
    f.blurX = c.blurX, f.blurY = c.blurY, f.passes = c.passes;
    IntRect reach = filterReach(f, c.scale, c.scale);
    EXPECT_EQ(reach.x0, c.reachX);
    EXPECT_EQ(reach.x1, c.reachX);
    EXPECT_EQ(reach.y0, c.reachY);
    EXPECT_EQ(reach.y1, c.reachY);
    Surface s = squareLayer(40, 40, 18, 18, 22, 22);
    applyFilter(s, f, c.scale, c.scale, Quality::High);
    IntRect r = painted(s);
    SCOPED_TRACE(testing::Message() << c.blurX << "x" << c.blurY << " passes " << c.passes);
    // One pass reaches exactly its radius; more passes reach no further than their sum (the
    // faintest tail rounds away).
    if (c.passes <= 1) {
      EXPECT_EQ(r.x0, 18 - c.reachX);
      EXPECT_EQ(r.x1, 22 + c.reachX);
      EXPECT_EQ(r.y0, 18 - c.reachY);
      EXPECT_EQ(r.y1, 22 + c.reachY);
    } else {
      EXPECT_GE(r.x0, 18 - c.reachX);
      EXPECT_LT(r.x0, 18 - c.reachX / c.passes);
      EXPECT_LE(r.x1, 22 + c.reachX);
      EXPECT_GE(r.y0, 18 - c.reachY);
      EXPECT_LT(r.y0, 18 - c.reachY / c.passes);
    }
    EXPECT_NEAR(coveredArea(s), 16, 0.6);
    if (c.reachX || c.reachY) {
      EXPECT_LT(alphaOf(s.row(20)[20]), 255);
    }
  }
}

// Blurs beyond three passes are done as three wider boxes of the same spread: on a bar the
// result's variance matches that of the passes asked for (each box of radius r adds r(r+1)/3) and
// its total and centre stay; the work reckoned for
// it is that of three passes, however many are asked.
TEST(Filters, ManyPassesKeepTheirSpreadAtTheCostOfThree) {
  struct Case {
    double blur;
    int passes;
  } cases[] = {{4, 4}, {6, 9}, {10, 15}, {3, 31}, {20, 7}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "blur " << c.blur << " passes " << c.passes);
    Filter f;
    f.kind = FilterKind::Blur;
    f.blurX = c.blur, f.blurY = 0, f.passes = c.passes;
    IntRect reach = filterReach(f, 1, 1);
    const int bar = 15;  // opaque pixels, variance (bar^2 - 1) / 12 before the blur
    int w = 2 * reach.x0 + bar;
    Surface s(w, 1);
    for (int x = 0; x < bar; ++x) s.row(0)[reach.x0 + x] = 0xFFFFFFFFu;
    applyFilter(s, f, 1, 1, Quality::High);
    double total = 0, mean = 0, var = 0;
    for (int x = 0; x < w; ++x) total += alphaOf(s.row(0)[x]), mean += x * double(alphaOf(s.row(0)[x]));
    mean /= total;
    for (int x = 0; x < w; ++x) var += (x - mean) * (x - mean) * alphaOf(s.row(0)[x]);
    var /= total;
    int r = int(c.blur / 2);
    double asked = c.passes * r * (r + 1) / 3.0 + (bar * bar - 1) / 12.0;
    EXPECT_NEAR(total, 255 * bar, 255 * bar * 0.03);
    EXPECT_NEAR(mean, reach.x0 + bar / 2, 0.05);
    EXPECT_NEAR(var, asked, asked * 0.12);
    Filter three = f;
    three.passes = 3;
    EXPECT_EQ(filterWork(f, 100, 50), filterWork(three, 100, 50));
  }
}

Filter shadow(double angle, double distance) {
  Filter f;
  f.kind = FilterKind::DropShadow;
  f.color = {0, 0, 255, 255};
  f.angle = angle;
  f.distance = distance;
  f.blurX = f.blurY = 0;
  return f;
}

TEST(Filters, DropShadowMovesByAngleAndDistance) {
  const uint32_t blue = 0xFF0000FF;
  struct Case {
    double angle, distance, scale;
    int dx, dy;
  } cases[] = {{0, 6, 1, 6, 0}, {kPi / 2, 6, 1, 0, 6}, {kPi, 4, 1, -4, 0}, {kPi / 4, 5.657, 1, 4, 4}, {0, 3, 2, 6, 0}};
  for (const Case& c : cases) {
    Filter f = shadow(c.angle, c.distance);
    IntRect reach = filterReach(f, c.scale, c.scale);
    EXPECT_EQ(reach.x1 - reach.x0, c.dx);
    EXPECT_EQ(reach.y1 - reach.y0, c.dy);
    Surface s = squareLayer(40, 40, 16, 16, 24, 24);
    applyFilter(s, f, c.scale, c.scale, Quality::High);
    SCOPED_TRACE(testing::Message() << "angle " << c.angle << " distance " << c.distance);
    EXPECT_EQ(s.row(20)[20], kSquareColor) << "the object stays on top";
    int cornerX = c.dx >= 0 ? 23 + c.dx : 16 + c.dx, cornerY = c.dy >= 0 ? 23 + c.dy : 16 + c.dy;
    EXPECT_EQ(s.row(cornerY)[cornerX], blue) << "the shadow's far corner";
    IntRect r = painted(s);
    EXPECT_EQ(r.x0, 16 + std::min(0, c.dx));
    EXPECT_EQ(r.x1, 24 + std::max(0, c.dx));
    EXPECT_EQ(r.y0, 16 + std::min(0, c.dy));
    EXPECT_EQ(r.y1, 24 + std::max(0, c.dy));
  }
}

TEST(Filters, ShadowPlacements) {
  // An 8x8 square, a shadow 3 pixels to the right. Pixel (17,20) is object only, (25,20) shadow
  // only, (22,20) both.
  const uint32_t blue = 0xFF0000FF;
  struct Case {
    const char* name;
    bool inner, knockout, composite;
    uint32_t objectOnly, shadowOnly, both;
  } cases[] = {
      {"outer", false, false, true, kSquareColor, blue, kSquareColor},
      {"outer knockout", false, true, true, 0, blue, 0},
      {"outer hidden object", false, false, false, 0, blue, blue},
      // Inner: the inverted alpha moved right shades the object's left 3 columns.
      {"inner", true, false, true, blue, 0, kSquareColor},
      {"inner knockout", true, true, true, blue, 0, 0},
  };
  for (const Case& c : cases) {
    Filter f = shadow(0, 3);
    f.inner = c.inner, f.knockout = c.knockout, f.compositeSource = c.composite;
    Surface s = squareLayer(40, 40, 16, 16, 24, 24);
    applyFilter(s, f, 1, 1, Quality::High);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(s.row(20)[17], c.objectOnly);
    EXPECT_EQ(s.row(20)[25], c.shadowOnly);
    EXPECT_EQ(s.row(20)[22], c.both);
  }
}

TEST(Filters, GlowsSurroundOrLineTheObject) {
  for (bool inner : {false, true}) {
    Filter f;
    f.kind = FilterKind::Glow;
    f.color = {255, 0, 0, 255};
    f.blurX = f.blurY = 6;
    f.strength = 2;
    f.inner = inner;
    Surface s = squareLayer(40, 40, 12, 12, 28, 28);
    applyFilter(s, f, 1, 1, Quality::High);
    SCOPED_TRACE(inner ? "inner" : "outer");
    EXPECT_EQ(s.row(20)[20], kSquareColor) << "far from the edge nothing glows";
    uint32_t outside = s.row(20)[11], edge = s.row(20)[12];
    if (inner) {
      EXPECT_EQ(outside, 0u);
      EXPECT_GT(redOf(edge), 200);
      EXPECT_LT(greenOf(edge), 150);  // the object's green is covered by red glow
    } else {
      EXPECT_GT(alphaOf(outside), 100);
      EXPECT_EQ(outside & 0x00FFFFu, 0u);  // pure red
      EXPECT_EQ(edge, kSquareColor);
      EXPECT_EQ(s.row(20)[8], 0u);  // beyond the glow's reach (3 pixels)
    }
  }
}

TEST(Filters, BevelsLightOneSideAndShadeTheOther) {
  // Light from the top left (angle 45 degrees points to the shadow side), 2 pixels, no blur.
  const uint32_t white = 0xFFFFFFFF, black = 0xFF000000;
  struct Case {
    const char* name;
    bool inner, onTop, knockout;
    uint32_t insideTopLeft, insideBottomRight, outsideTopLeft, outsideBottomRight, centre;
  } cases[] = {
      {"inner", true, false, false, white, black, 0, 0, kSquareColor},
      {"outer", false, false, false, kSquareColor, kSquareColor, white, black, kSquareColor},
      {"full", false, true, false, white, black, white, black, kSquareColor},
      {"inner knockout", true, false, true, white, black, 0, 0, 0},
  };
  for (const Case& c : cases) {
    Filter f;
    f.kind = FilterKind::Bevel;
    f.color = {0, 0, 0, 255};
    f.highlight = {255, 255, 255, 255};
    f.angle = kPi / 4;
    f.distance = 2 * std::sqrt(2.0);
    f.blurX = f.blurY = 0;
    f.inner = c.inner, f.onTop = c.onTop, f.knockout = c.knockout;
    Surface s = squareLayer(40, 40, 12, 12, 28, 28);
    applyFilter(s, f, 1, 1, Quality::High);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(s.row(12)[12], c.insideTopLeft);
    EXPECT_EQ(s.row(27)[27], c.insideBottomRight);
    EXPECT_EQ(s.row(11)[11], c.outsideTopLeft);
    EXPECT_EQ(s.row(28)[28], c.outsideBottomRight);
    EXPECT_EQ(s.row(20)[20], c.centre);
  }
}

TEST(Filters, GradientGlowAndBevelTakeTheirColoursFromTheGradient) {
  std::vector<GradientStop> stops = {{0, {255, 0, 0, 255}}, {128, {0, 0, 0, 0}}, {255, {0, 255, 0, 255}}};
  {
    // Gradient bevel, full, 1 pixel to the right: the lit left edge takes ratio 255, the shaded
    // right edge ratio 0, the flat middle ratio 128 (transparent: the object shows).
    Filter f;
    f.kind = FilterKind::GradientBevel;
    f.stops = stops;
    f.distance = 1, f.angle = 0, f.blurX = f.blurY = 0, f.onTop = true;
    Surface s = squareLayer(30, 30, 10, 10, 20, 20);
    applyFilter(s, f, 1, 1, Quality::High);
    EXPECT_EQ(s.row(15)[10], 0xFF00FF00u);
    EXPECT_EQ(s.row(15)[19], 0xFFFF0000u);
    EXPECT_EQ(s.row(15)[15], kSquareColor);
  }
  {
    // Gradient glow with the object hidden: where the glow is full (the object's own area) the
    // last stop; far outside the first; at the blurred edge something between.
    Filter f;
    f.kind = FilterKind::GradientGlow;
    f.stops = {{0, {0, 0, 255, 0}}, {255, {0, 0, 255, 255}}};
    f.blurX = f.blurY = 4;
    f.compositeSource = false;
    Surface s = squareLayer(30, 30, 10, 10, 20, 20);
    applyFilter(s, f, 1, 1, Quality::High);
    EXPECT_EQ(s.row(15)[15], 0xFF0000FFu);
    EXPECT_EQ(s.row(15)[3], 0u);
    uint32_t edge = s.row(15)[9];
    EXPECT_GT(alphaOf(edge), 0);
    EXPECT_LT(alphaOf(edge), 255);
    EXPECT_EQ(blueOf(edge), alphaOf(edge));
  }
}

TEST(Filters, ConvolutionAndColourMatrix) {
  Surface base(4, 1);
  base.pixels = {premultiply(10, 20, 30, 255), premultiply(40, 50, 60, 255), premultiply(70, 80, 90, 255),
                 premultiply(100, 110, 120, 255)};
  {
    // Taking the right neighbour moves the row left; the last pixel clamps to itself or takes
    // the default colour.
    Filter f;
    f.kind = FilterKind::Convolution;
    f.matrixX = 3, f.matrixY = 1;
    f.matrix = {0, 0, 1};
    for (bool clamp : {true, false}) {
      f.clamp = clamp;
      f.defaultColor = {1, 2, 3, 255};
      Surface s = base;
      applyFilter(s, f, 1, 1, Quality::High);
      EXPECT_EQ(s.pixels[0], base.pixels[1]);
      EXPECT_EQ(s.pixels[2], base.pixels[3]);
      EXPECT_EQ(s.pixels[3], clamp ? base.pixels[3] : premultiply(1, 2, 3, 255));
    }
    // Divisor and bias: the average of the pair, plus 5.
    f.matrix = {0, 1, 1};
    f.divisor = 2, f.bias = 5, f.clamp = true;
    Surface s = base;
    applyFilter(s, f, 1, 1, Quality::High);
    EXPECT_EQ(s.pixels[1], premultiply(60, 70, 80, 255));
  }
  {
    // Swap red and blue, add 10 to green, halve alpha.
    Filter f;
    f.kind = FilterKind::ColorMatrix;
    f.colorMatrix = {0, 0, 1, 0, 0, 0, 1, 0, 0, 10, 1, 0, 0, 0, 0, 0, 0, 0, 0.5f, 0};
    Surface s = base;
    applyFilter(s, f, 1, 1, Quality::High);
    EXPECT_EQ(s.pixels[1], premultiply(60, 60, 40, 128));
  }
}

TEST(Filters, AbsurdParametersStayBounded) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Filter huge;
  huge.kind = FilterKind::DropShadow;
  huge.blurX = huge.blurY = 1e12;
  huge.passes = 1000;
  huge.distance = 1e15;
  IntRect r = filterReach(huge, 1e6, 1e6);
  EXPECT_LE(std::max({r.x0, r.x1, r.y0, r.y1}), 4096);
  Surface s = squareLayer(16, 16, 4, 4, 12, 12);
  applyFilter(s, huge, 1e6, 1e6, Quality::High);
  Filter odd;
  odd.kind = FilterKind::Bevel;
  odd.blurX = nan, odd.angle = nan, odd.distance = nan, odd.strength = nan;
  applyFilter(s, odd, 1, 1, Quality::High);
  r = filterReach(odd, nan, 1);
  EXPECT_EQ(r.x0, 0);
  Filter conv;
  conv.kind = FilterKind::Convolution;
  conv.matrixX = 200, conv.matrixY = 200;  // beyond what is convolved: left alone
  Surface before = s;
  applyFilter(s, conv, 1, 1, Quality::High);
  EXPECT_EQ(s.pixels, before.pixels);
  conv.matrixX = 3, conv.matrixY = 3;  // matrix shorter than its size
  applyFilter(s, conv, 1, 1, Quality::High);
  EXPECT_EQ(s.pixels, before.pixels);
  Surface empty;
  applyFilter(empty, huge, 1, 1, Quality::High);
}

}  // namespace
}  // namespace vorlo::player::test
