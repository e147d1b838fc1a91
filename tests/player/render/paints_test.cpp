// Gradient and bitmap fills: colours at known positions for every spread mode, radial and focal
// geometry, linear-RGB interpolation, colour transforms, bitmap repeat / clip and smoothing.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "player/render/paint.h"
#include "tests/player/render/render_fixtures.h"

namespace vorlo::player::test {
namespace {

// A gradient whose square (-16384..16384 twips) covers `size` pixels from (x0, y0).
Gradient grayGradient(double x0, double y0, double size, SpreadMode spread) {
  Gradient g;
  double s = size * 20 / 32768;
  g.matrix = {s, 0, 0, s, (x0 + size / 2) * 20, (y0 + size / 2) * 20};
  g.spread = spread;
  g.stops = {{0, kBlack}, {255, kWhite}};
  return g;
}

Surface drawFill(const FillStyle& f, int w, int h, ShapeDraw how = pixelsDraw()) {
  ShapeBuilder b;
  b.rect(0, 0, w, h, b.fill(f));
  return draw(b.shape, w, h, how);
}

TEST(Gradients, LinearAtKnownPositionsForEverySpreadMode) {
  // The gradient runs over pixels 0.125..64.125: pixel x's centre is at t = (x + 0.375) / 64,
  // inside table entry 4x + 1 (the grey level of a black-to-white ramp). Past the end, each
  // spread mode folds the position back in its own way.
  struct Case {
    SpreadMode spread;
    int x;
    int expected;
  } cases[] = {
      {SpreadMode::Pad, 0, 1},        {SpreadMode::Pad, 31, 125},     {SpreadMode::Pad, 63, 253},
      {SpreadMode::Pad, 64, 255},     {SpreadMode::Pad, 200, 255},    {SpreadMode::Repeat, 64, 1},
      {SpreadMode::Repeat, 100, 145}, {SpreadMode::Repeat, 130, 9},   {SpreadMode::Reflect, 64, 254},
      {SpreadMode::Reflect, 100, 110}, {SpreadMode::Reflect, 130, 9}, {SpreadMode::Reflect, 10, 41},
  };
  std::map<SpreadMode, Surface> drawn;
  for (SpreadMode m : {SpreadMode::Pad, SpreadMode::Repeat, SpreadMode::Reflect}) {
    FillStyle f;
    f.kind = FillKind::LinearGradient;
    f.gradient = grayGradient(0.125, 0, 64, m);
    drawn[m] = drawFill(f, 256, 4);
  }
  for (const Case& c : cases) {
    uint32_t p = drawn[c.spread].row(2)[c.x];
    EXPECT_EQ(p, premultiply(uint8_t(c.expected), uint8_t(c.expected), uint8_t(c.expected), 255))
        << "spread " << int(c.spread) << " x " << c.x;
  }
  // Pad before the start keeps the first colour.
  FillStyle f;
  f.kind = FillKind::LinearGradient;
  f.gradient = grayGradient(100, 0, 64, SpreadMode::Pad);
  EXPECT_EQ(drawFill(f, 256, 4).row(1)[50], 0xFF000000u);
}

TEST(Gradients, RadialAndFocalGeometry) {
  // A circle of radius 32 around (32.6, 32.6) (off pixel centres, so no sample sits on a table
  // entry's boundary). With a focus, the level at P is |P - F| / |Q - F|, Q being where the ray
  // from the focus F through P leaves the circle.
  const double cx = 32.6, cy = 32.6, r = 32;
  auto level = [&](double focal, int x, int y) {
    double fx = cx + focal * r, fy = cy;
    double dx = x + 0.5 - fx, dy = y + 0.5 - fy, len = std::hypot(dx, dy);
    if (len == 0) return 0;
    dx /= len, dy /= len;
    // |F + s*d - C| = r along the unit direction d.
    double ox = fx - cx, oy = fy - cy, b = ox * dx + oy * dy, c = ox * ox + oy * oy - r * r;
    double s = -b + std::sqrt(b * b - c);
    return std::min(255, int(std::floor(len / s * 256)));
  };
  struct At {
    int x, y;
  } points[] = {{32, 32}, {40, 32}, {33, 50}, {45, 20}, {55, 33}, {60, 60}, {70, 32}, {20, 40}, {48, 32}};
  for (double focal : {0.0, 0.5, -0.7}) {
    FillStyle f;
    f.kind = focal == 0 ? FillKind::RadialGradient : FillKind::FocalGradient;
    f.gradient = grayGradient(cx - r, cy - r, 2 * r, SpreadMode::Pad);
    f.gradient.focalPoint = focal;
    Surface s = drawFill(f, 72, 72);
    for (const At& a : points) {
      int v = level(focal, a.x, a.y);
      EXPECT_EQ(s.row(a.y)[a.x], premultiply(uint8_t(v), uint8_t(v), uint8_t(v), 255))
          << "focal " << focal << " at " << a.x << "," << a.y;
    }
  }
}

TEST(Gradients, InterpolationModesAndColourTransform) {
  // Pixel 32 of a 0.125..64.125 ramp is table entry 129: 129/255 of the way from the first stop.
  auto srgbToLinear = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
  auto linearToSrgb = [](double l) { return l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055; };
  const double w = 129.0 / 255;
  struct Case {
    Rgba from, to;
    InterpolationMode mode;
  } cases[] = {{kBlack, kWhite, InterpolationMode::Normal},
               {kBlack, kWhite, InterpolationMode::LinearRgb},
               {kRed, kBlue, InterpolationMode::LinearRgb},
               {{255, 0, 0, 0}, {0, 0, 255, 255}, InterpolationMode::Normal}};
  for (const Case& c : cases) {
    FillStyle f;
    f.kind = FillKind::LinearGradient;
    f.gradient = grayGradient(0.125, 0, 64, SpreadMode::Pad);
    f.gradient.stops = {{0, c.from}, {255, c.to}};
    f.gradient.interpolation = c.mode;
    uint32_t p = drawFill(f, 64, 2).row(1)[32];
    auto mix = [&](uint8_t a, uint8_t b) {
      if (c.mode == InterpolationMode::Normal) return a + (b - a) * w;
      double l = srgbToLinear(a / 255.0) + (srgbToLinear(b / 255.0) - srgbToLinear(a / 255.0)) * w;
      return linearToSrgb(l) * 255;
    };
    double alpha = c.from.a + (c.to.a - c.from.a) * w;
    Rgba straight = px_straight(p);
    SCOPED_TRACE(testing::Message() << "mode " << int(c.mode) << " pixel " << std::hex << p);
    EXPECT_NEAR(alphaOf(p), alpha, 1);
    EXPECT_NEAR(straight.r, mix(c.from.r, c.to.r), 2);
    EXPECT_NEAR(straight.g, mix(c.from.g, c.to.g), 2);
    EXPECT_NEAR(straight.b, mix(c.from.b, c.to.b), 2);
  }
  // The colour transform applies to the stops before they are interpolated: red removed, blue
  // raised (and the white stop's blue clamped at 255).
  FillStyle f;
  f.kind = FillKind::LinearGradient;
  f.gradient = grayGradient(0.125, 0, 64, SpreadMode::Pad);
  ShapeDraw how = pixelsDraw();
  how.colorTransform.rMult = 0;
  how.colorTransform.bAdd = 100;
  uint32_t p = drawFill(f, 64, 2, how).row(1)[10];  // entry 41
  EXPECT_EQ(p, premultiply(0, 41, uint8_t(std::lround(100 + 155 * 41 / 255.0)), 255));
  // The same gradient again without the transform: its own colours, not the transformed ones
  // kept from the draw before.
  EXPECT_EQ(drawFill(f, 64, 2).row(1)[10], premultiply(41, 41, 41, 255));
  f.gradient.stops[1].color.g = 0;
  EXPECT_EQ(drawFill(f, 64, 2).row(1)[10], premultiply(41, 0, 41, 255));
}

// Stops sharing a ratio: the first ends the segment before at that ratio, each middle one takes
// one entry after it, the last starts the next segment (from the shared ratio); at the end of the
// table the last one pads. Out-of-order ratios count as the ratio before them.
TEST(Gradients, StopsWithEqualRatiosShowOneEntryEach) {
  const Rgba green{0, 255, 0, 255}, gray{128, 128, 128, 255};
  struct Case {
    std::vector<GradientStop> stops;
    std::map<int, Rgba> entries;
  } cases[] = {
      {{{0, kBlack}, {100, kRed}, {100, green}, {100, kBlue}, {200, kWhite}},
       {{100, kRed}, {101, green}, {150, {128, 128, 255, 255}}, {200, kWhite}}},
      {{{0, kBlack}, {250, kRed}, {250, green}, {250, gray}, {250, kBlue}},
       {{250, kRed}, {251, green}, {252, gray}, {253, kBlue}, {255, kBlue}}},
      {{{10, kRed}, {10, green}, {10, kBlue}, {255, kBlue}}, {{0, kRed}, {10, kRed}, {11, green}, {12, kBlue}}},
      {{{0, kBlack}, {200, kRed}, {150, green}, {255, kBlue}}, {{200, kRed}, {201, {0, 250, 5, 255}}}},
  };
  for (const Case& c : cases) {
    render::GradientTable table;
    render::buildGradientTable(c.stops, InterpolationMode::Normal, ColorTransform{}, table);
    for (const auto& [at, color] : c.entries) {
      SCOPED_TRACE(testing::Message() << "entry " << at);
      Rgba got = px_straight(table[size_t(at)]);
      EXPECT_NEAR(got.r, color.r, 1);
      EXPECT_NEAR(got.g, color.g, 1);
      EXPECT_NEAR(got.b, color.b, 1);
    }
  }
}

// A 2x2 bitmap: red, green / blue, white (translucent white, to see premultiplied maths).
struct Bitmaps : BitmapLibrary {
  Bitmap bitmap;
  Bitmaps() {
    bitmap.width = 2, bitmap.height = 2;
    bitmap.pixels = {premultiply(255, 0, 0, 255), premultiply(0, 255, 0, 255), premultiply(0, 0, 255, 255),
                     premultiply(255, 255, 255, 255)};
    bitmap.opaque = true;
  }
  const Bitmap* findBitmap(uint16_t id) const override { return id == 7 ? &bitmap : nullptr; }
};

FillStyle bitmapFill(FillKind kind, double pixelsPerTexel, uint16_t id = 7) {
  FillStyle f;
  f.kind = kind;
  f.bitmapId = id;
  f.bitmapMatrix = Matrix::scale(pixelsPerTexel * 20, pixelsPerTexel * 20);  // bitmap pixels to twips
  return f;
}

TEST(BitmapFills, RepeatAndClipWithoutSmoothing) {
  Bitmaps lib;
  ShapeDraw how = pixelsDraw();
  how.bitmaps = &lib;
  struct Case {
    FillKind kind;
    int x, y;
    int texelX, texelY;
  } cases[] = {
      {FillKind::RepeatingBitmapHard, 1, 1, 0, 0}, {FillKind::RepeatingBitmapHard, 5, 1, 1, 0},
      {FillKind::RepeatingBitmapHard, 9, 6, 0, 1}, {FillKind::RepeatingBitmapHard, 13, 13, 1, 1},
      {FillKind::ClippedBitmapHard, 1, 1, 0, 0},   {FillKind::ClippedBitmapHard, 9, 1, 1, 0},
      {FillKind::ClippedBitmapHard, 15, 15, 1, 1}, {FillKind::ClippedBitmapHard, 2, 14, 0, 1},
      // Smoothed kinds are drawn unsmoothed below high quality.
      {FillKind::RepeatingBitmap, 9, 6, 0, 1},
  };
  for (const Case& c : cases) {
    ShapeDraw h = how;
    h.quality = c.kind == FillKind::RepeatingBitmap ? Quality::Medium : Quality::High;
    Surface s = drawFill(bitmapFill(c.kind, 4), 16, 16, h);
    EXPECT_EQ(s.row(c.y)[c.x], lib.bitmap.at(c.texelX, c.texelY)) << int(c.kind) << " " << c.x << "," << c.y;
  }
}

TEST(BitmapFills, SmoothingMixesNeighboursBilinearly) {
  Bitmaps lib;
  ShapeDraw how = pixelsDraw();
  how.bitmaps = &lib;
  // Five pixels per texel: pixel 2's centre is texel 0's centre (exact colour); pixel 5's centre is
  // 0.6 of the way to texel 1 (153/256 in the sampler's 8-bit weights).
  Surface s = drawFill(bitmapFill(FillKind::ClippedBitmap, 5), 10, 10, how);
  EXPECT_EQ(s.row(2)[2], lib.bitmap.at(0, 0));
  uint32_t p = s.row(2)[5];
  EXPECT_NEAR(redOf(p), 255 * 103 / 256.0, 1);
  EXPECT_NEAR(greenOf(p), 255 * 153 / 256.0, 1);
  EXPECT_EQ(alphaOf(p), 255);
  // Repeating: pixel 0's centre lies between the last texel (wrapped) and the first.
  Surface r = drawFill(bitmapFill(FillKind::RepeatingBitmap, 5), 10, 10, how);
  uint32_t q = r.row(2)[0];
  EXPECT_GT(greenOf(q), 64);  // green comes from texel 1 of the row, wrapped round
  EXPECT_GT(redOf(q), 64);
}

TEST(BitmapFills, ColourTransformPerPixelAndMissingBitmaps) {
  Bitmaps lib;
  lib.bitmap.pixels[0] = premultiply(200, 100, 50, 128);
  lib.bitmap.opaque = false;
  ShapeDraw how = pixelsDraw();
  how.bitmaps = &lib;
  how.colorTransform.gMult = 512;  // on straight colour: 100 -> 200
  how.colorTransform.aAdd = 64;
  Surface s = drawFill(bitmapFill(FillKind::ClippedBitmapHard, 4), 8, 8, how);
  EXPECT_NEAR(alphaOf(s.row(1)[1]), 192, 1);
  Rgba c = px_straight(s.row(1)[1]);
  EXPECT_NEAR(c.r, 200, 2);
  EXPECT_NEAR(c.g, 200, 2);
  EXPECT_NEAR(c.b, 50, 2);
  // An unknown id, or no library at all, paints nothing.
  for (const BitmapLibrary* l : {static_cast<const BitmapLibrary*>(&lib), static_cast<const BitmapLibrary*>(nullptr)}) {
    how.bitmaps = l;
    Surface m = drawFill(bitmapFill(FillKind::RepeatingBitmap, 4, 99), 8, 8, how);
    for (uint32_t v : m.pixels) ASSERT_EQ(v, 0u);
  }
}

}  // namespace
}  // namespace vorlo::player::test
