// Strokes, measured by where pixels are painted: width and its scaling, hairlines, caps, joins,
// the miter limit, closed paths, fills on strokes and translucent self-overlap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "tests/player/render/render_fixtures.h"

namespace vorlo::player::test {
namespace {

LineStyle lineOf(double widthPixels, Rgba color = kRed) {
  LineStyle l;
  l.width = uint16_t(widthPixels * 20);
  l.color = color;
  return l;
}

// The rightmost column with any paint on row y.
int rightmost(const Surface& s, int y) {
  for (int x = s.width - 1; x >= 0; --x)
    if (alphaOf(s.row(y)[x])) return x;
  return -1;
}

TEST(Strokes, CapsExtendTheEnds) {
  // A 4-pixel line from x = 5 to x = 25 along the middle of row 10: no cap stops at the ends;
  // round and square caps reach 2 pixels further; only the square one fills its corners.
  struct Case {
    CapStyle cap;
    int left, right;  // painted columns (at least half covered) on row 10
    bool cornerFull;  // pixel (3, 8): inside a square cap, outside a round one
  } cases[] = {{CapStyle::None, 5, 24, false}, {CapStyle::Round, 3, 26, false}, {CapStyle::Square, 3, 26, true}};
  for (const Case& c : cases) {
    ShapeBuilder b;
    LineStyle l = lineOf(4);
    l.startCap = l.endCap = c.cap;
    b.path({{5, 10}, {25, 10}}, 0, 0, b.line(l), false);
    Surface s = draw(b.shape, 32, 20);
    SCOPED_TRACE(int(c.cap));
    EXPECT_EQ(paintedWidthAtRow(s, 10), c.right - c.left + 1);
    EXPECT_GE(alphaOf(s.row(10)[c.left]), 128);
    EXPECT_GE(alphaOf(s.row(10)[c.right]), 128);
    EXPECT_EQ(paintedHeightAtColumn(s, 15), 4);
    EXPECT_EQ(s.row(9)[15], 0xFFFF0000u);
    EXPECT_EQ(alphaOf(s.row(7)[15]), 0);
    EXPECT_EQ(alphaOf(s.row(8)[3]) == 255, c.cornerFull);
  }
}

TEST(Strokes, WidthFollowsTheMatrixUnlessAxesAreUnscaled) {
  // A horizontal 2-pixel line (its thickness runs along y) drawn through different matrices.
  struct Case {
    const char* name;
    Matrix scale;
    bool noH, noV;
    uint16_t widthTwips;
    double expectedWidth;
  } cases[] = {
      {"identity", Matrix::scale(1, 1), false, false, 40, 2},
      {"uniform x3", Matrix::scale(3, 3), false, false, 40, 6},
      {"x3 y1: the mean", Matrix::scale(3, 1), false, false, 40, 4},
      {"no h scale: y's", Matrix::scale(3, 2), true, false, 40, 4},
      {"no v scale: x's", Matrix::scale(3, 2), false, true, 40, 6},
      {"neither scales", Matrix::scale(3, 3), true, true, 40, 2},
      {"hairline", Matrix::scale(5, 5), false, false, 0, 1},
      {"thinner than a pixel", Matrix::scale(1, 1), false, false, 6, 1},
  };
  for (const Case& c : cases) {
    ShapeBuilder b;
    LineStyle l = lineOf(0);
    l.width = c.widthTwips;
    l.noHScale = c.noH, l.noVScale = c.noV;
    l.startCap = l.endCap = CapStyle::None;
    // The line runs through the middle of pixel row 20 after the matrix.
    b.path({{1, 0}, {9, 0}}, 0, 0, b.line(l), false);
    ShapeDraw how = pixelsDraw();
    how.toPixels = Matrix::translate(0, 20.5) * c.scale * how.toPixels;
    Surface s = draw(b.shape, 40, 40, how);
    SCOPED_TRACE(c.name);
    double across = 0;
    for (int y = 0; y < s.height; ++y) across += alphaOf(s.row(y)[5]) / 255.0;
    EXPECT_NEAR(across, c.expectedWidth, 0.02);
    if (c.expectedWidth == 1) {
      EXPECT_EQ(s.row(20)[5], 0xFFFF0000u);
    }
  }
}

TEST(Strokes, JoinsAndTheMiterLimit) {
  // An L turning at (25, 5) with a 6-pixel pen: the outer corner is square for a miter, cut for
  // a bevel, rounded for a round join.
  struct Corner {
    JoinStyle join;
    bool at27_2, at26_3;  // pixel (27,2) lies only inside a miter; (26,3) inside miter and round
  } corners[] = {{JoinStyle::Miter, true, true}, {JoinStyle::Round, false, true}, {JoinStyle::Bevel, false, false}};
  for (const Corner& c : corners) {
    ShapeBuilder b;
    LineStyle l = lineOf(6);
    l.join = c.join;
    b.path({{5, 5}, {25, 5}, {25, 25}}, 0, 0, b.line(l), false);
    Surface s = draw(b.shape, 32, 32);
    SCOPED_TRACE(int(c.join));
    EXPECT_EQ(alphaOf(s.row(2)[27]) >= 192, c.at27_2);
    EXPECT_EQ(alphaOf(s.row(3)[26]) == 255, c.at26_3);
    EXPECT_EQ(alphaOf(s.row(2)[27]) == 0, !c.at27_2 && c.join != JoinStyle::Round);
    EXPECT_EQ(s.row(4)[24], 0xFFFF0000u);  // the inside of the corner is always painted
  }
  // A sharp V turning at (40.25, 20), 4-pixel pen: the miter tip would reach 2/cos(turn/2) =
  // 6.32 pixels (3.16 half-widths) further, x = 46.57. A limit above that keeps it; below, the tip
  // is cut at limit times the half width; a bevel stops at 40.88 and a round join at 42.25.
  struct Tip {
    JoinStyle join;
    double limit;
    int lastColumn;
  } tips[] = {{JoinStyle::Miter, 10, 46}, {JoinStyle::Miter, 2.5, 45}, {JoinStyle::Miter, 1.5, 43},
              {JoinStyle::Bevel, 10, 40}, {JoinStyle::Round, 10, 42}};
  for (const Tip& t : tips) {
    ShapeBuilder b;
    LineStyle l = lineOf(4);
    l.join = t.join;
    l.miterLimit = t.limit;
    b.path({{10.25, 10}, {40.25, 20}, {10.25, 30}}, 0, 0, b.line(l), false);
    Surface s = draw(b.shape, 60, 40);
    EXPECT_EQ(std::max(rightmost(s, 19), rightmost(s, 20)), t.lastColumn)
        << "join " << int(t.join) << " limit " << t.limit;
  }
}

TEST(Strokes, ClosedPathsJoinAtTheirStart) {
  // A square outline with miter joins and no caps, starting at its top-left corner: closed, that
  // corner is mitred like the others; marked noClose it is two bare ends; left open (the last
  // edge missing) the bottom-left corner is bare as well.
  struct Case {
    const char* name;
    bool close, noClose;
    bool topLeft, bottomLeft;
  } cases[] = {{"closed", true, false, true, true}, {"noClose", true, true, false, true},
               {"open", false, false, false, false}};
  for (const Case& c : cases) {
    ShapeBuilder b;
    LineStyle l = lineOf(4);
    l.join = JoinStyle::Miter;
    l.startCap = l.endCap = CapStyle::None;
    l.noClose = c.noClose;
    b.path({{6, 6}, {26, 6}, {26, 26}, {6, 26}}, 0, 0, b.line(l), c.close);
    Surface s = draw(b.shape, 32, 32);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(alphaOf(s.row(4)[4]) == 255, c.topLeft);
    EXPECT_EQ(alphaOf(s.row(27)[4]) == 255, c.bottomLeft);
    EXPECT_EQ(alphaOf(s.row(4)[27]), 255);
  }
}

TEST(Strokes, SeparateRunsGetTheirOwnCaps) {
  // Two edges of one line style that do not meet are two strokes, each with its caps.
  ShapeBuilder b;
  LineStyle l = lineOf(2);
  l.startCap = l.endCap = CapStyle::Square;
  uint16_t ls = b.line(l);
  b.path({{4, 5}, {10, 5}}, 0, 0, ls, false);
  b.path({{14, 5}, {20, 5}}, 0, 0, ls, false);
  Surface s = draw(b.shape, 24, 10);
  EXPECT_EQ(alphaOf(s.row(5)[10]), 255);
  EXPECT_EQ(alphaOf(s.row(5)[12]), 0);
  EXPECT_EQ(alphaOf(s.row(5)[13]), 255);
}

TEST(Strokes, TranslucentStrokeCoversItsOwnOverlapOnce) {
  ShapeBuilder b;
  b.path({{2, 10}, {18, 10}, {10, 2}, {10, 18}}, 0, 0, b.line(lineOf(2, {0, 0, 255, 128})), false);
  Surface s = draw(b.shape, 20, 20);
  EXPECT_EQ(alphaOf(s.row(10)[10]), 128);  // where the path crosses itself
  EXPECT_EQ(alphaOf(s.row(10)[5]), 128);
}

TEST(Strokes, FillsOnStrokesAndColourTransforms) {
  ShapeBuilder b;
  LineStyle l = lineOf(4);
  l.hasFill = true;
  l.fill.kind = FillKind::LinearGradient;
  l.fill.gradient.matrix = {64.0 * 20 / 32768, 0, 0, 1, 32 * 20, 0};  // black at x 0, white at x 64
  l.fill.gradient.stops = {{0, kBlack}, {255, kWhite}};
  l.startCap = l.endCap = CapStyle::None;
  b.path({{0, 10}, {64, 10}}, 0, 0, b.line(l), false);
  Surface s = draw(b.shape, 64, 20);
  EXPECT_LT(redOf(s.row(10)[4]), 24);
  EXPECT_NEAR(redOf(s.row(10)[32]), 130, 2);
  EXPECT_GT(redOf(s.row(10)[60]), 232);
  // A plain stroke colour goes through the colour transform; solidColor replaces it.
  ShapeBuilder p;
  p.path({{0, 10}, {64, 10}}, 0, 0, p.line(lineOf(4, {100, 100, 100, 255})), false);
  ShapeDraw how = pixelsDraw();
  how.colorTransform.rAdd = 50;
  EXPECT_EQ(draw(p.shape, 64, 20, how).row(10)[30], premultiply(150, 100, 100, 255));
  how.solidColor = Rgba{0, 0, 0, 255};
  EXPECT_EQ(draw(p.shape, 64, 20, how).row(10)[30], premultiply(50, 0, 0, 255));
}

TEST(Strokes, DegenerateStrokes) {
  // A zero-length stroke shows its round cap as a dot; no caps show nothing; curves stroke.
  for (CapStyle cap : {CapStyle::Round, CapStyle::None}) {
    ShapeBuilder b;
    LineStyle l = lineOf(6);
    l.startCap = l.endCap = cap;
    b.path({{10, 10}, {10, 10}}, 0, 0, b.line(l), false);
    Surface s = draw(b.shape, 20, 20);
    EXPECT_NEAR(coveredArea(s), cap == CapStyle::Round ? 3.14159 * 9 : 0, 0.3) << int(cap);
  }
  ShapeBuilder c;
  c.curve({2, 18}, {10, -14}, {18, 18}, 0, 0, c.line(lineOf(2)));
  Surface s = draw(c.shape, 20, 20);
  EXPECT_EQ(alphaOf(s.row(2)[10]), 255);  // the curve's apex is at y = 2
  EXPECT_EQ(alphaOf(s.row(10)[10]), 0);
}

TEST(Strokes, ThickStrokesOnTightCurvesHaveNoHoles) {
  // A pen much wider than the curve's radius: every pixel whose centre lies well within the pen's
  // reach of the curve is painted whole, for every join style (inner corners must not cancel).
  for (JoinStyle join : {JoinStyle::Round, JoinStyle::Bevel, JoinStyle::Miter}) {
    ShapeBuilder b;
    LineStyle l = lineOf(16);
    l.join = join;
    uint16_t ls = b.line(l);
    b.curve({10, 40}, {30, -10}, {50, 40}, 0, 0, ls);
    b.curve({50, 40}, {60, 50}, {45, 52}, 0, 0, ls);
    Surface s = draw(b.shape, 64, 64);
    auto at = [](Point p0, Point p1, Point p2, double t) {
      double u = 1 - t;
      return Point{u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x, u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y};
    };
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) {
        double best = 1e9;
        for (int i = 0; i <= 200; ++i) {
          Point a = at({10, 40}, {30, -10}, {50, 40}, i / 200.0), c = at({50, 40}, {60, 50}, {45, 52}, i / 200.0);
          best = std::min({best, std::hypot(a.x - x - 0.5, a.y - y - 0.5), std::hypot(c.x - x - 0.5, c.y - y - 0.5)});
        }
        if (best < 8 - 1) {
          ASSERT_EQ(alphaOf(s.row(y)[x]), 255) << "join " << int(join) << " at " << x << "," << y;
        }
        if (best > 8 + 1 && join == JoinStyle::Round) {
          ASSERT_EQ(alphaOf(s.row(y)[x]), 0) << x << "," << y;
        }
      }
  }
}

}  // namespace
}  // namespace vorlo::player::test
