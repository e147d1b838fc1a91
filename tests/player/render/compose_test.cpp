// Layer composition: every blend mode against its formula on straight colour, placement of the
// layer, and masks.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "player/render/pixel.h"
#include "tests/player/render/render_fixtures.h"

namespace vorlo::player::test {
namespace {

struct Color {
  double r, g, b, a;  // straight, 0..1
};

Color fromRgba(Rgba c) { return {c.r / 255.0, c.g / 255.0, c.b / 255.0, c.a / 255.0}; }

// The separable modes: result = (1-da)*S + (1-sa)*D + sa*da*B(cs, cd), premultiplied, with
// alpha = sa + da - sa*da.
using Mix = std::function<double(double cs, double cd)>;
double hardLight(double cs, double cd) { return cs <= 0.5 ? 2 * cs * cd : 1 - 2 * (1 - cs) * (1 - cd); }

std::array<double, 4> separable(Color s, Color d, const Mix& mix) {
  auto ch = [&](double cs, double cd) {
    return (1 - d.a) * cs * s.a + (1 - s.a) * cd * d.a + s.a * d.a * mix(cs, cd);
  };
  return {s.a + d.a - s.a * d.a, ch(s.r, d.r), ch(s.g, d.g), ch(s.b, d.b)};
}

// Expected premultiplied result (a, r, g, b in 0..1) of `mode` with source s over backdrop d.
std::array<double, 4> expected(BlendMode mode, Color s, Color d) {
  auto perChannel = [&](const std::function<double(double sc, double dc)>& f, double alpha) {
    return std::array<double, 4>{alpha, f(s.r * s.a, d.r * d.a), f(s.g * s.a, d.g * d.a), f(s.b * s.a, d.b * d.a)};
  };
  switch (mode) {
    case BlendMode::Multiply:
      return separable(s, d, [](double a, double b) { return a * b; });
    case BlendMode::Screen:
      return separable(s, d, [](double a, double b) { return a + b - a * b; });
    case BlendMode::Lighten:
      return separable(s, d, [](double a, double b) { return std::max(a, b); });
    case BlendMode::Darken:
      return separable(s, d, [](double a, double b) { return std::min(a, b); });
    case BlendMode::Difference:
      return separable(s, d, [](double a, double b) { return std::fabs(a - b); });
    case BlendMode::HardLight:
      return separable(s, d, hardLight);
    case BlendMode::Overlay:
      return separable(s, d, [](double a, double b) { return hardLight(b, a); });
    case BlendMode::Add:
      return perChannel([](double a, double b) { return std::min(1.0, a + b); }, std::min(1.0, s.a + d.a));
    case BlendMode::Subtract:
      return perChannel([](double a, double b) { return std::max(0.0, b - a); }, std::min(1.0, s.a + d.a));
    case BlendMode::Invert:
      return perChannel([&](double, double b) { return b * (1 - s.a) + (d.a - b) * s.a; }, d.a);
    case BlendMode::Alpha:
      return perChannel([&](double, double b) { return b * s.a; }, d.a * s.a);
    case BlendMode::Erase:
      return perChannel([&](double, double b) { return b * (1 - s.a); }, d.a * (1 - s.a));
    default:  // normal, layer: source over
      return perChannel([&](double a, double b) { return a + b * (1 - s.a); }, s.a + d.a * (1 - s.a));
  }
}

TEST(Compose, EveryBlendModeFollowsItsFormula) {
  const BlendMode modes[] = {BlendMode::Normal,   BlendMode::Layer,      BlendMode::Multiply, BlendMode::Screen,
                             BlendMode::Lighten,  BlendMode::Darken,     BlendMode::Difference, BlendMode::Add,
                             BlendMode::Subtract, BlendMode::Invert,     BlendMode::Alpha,    BlendMode::Erase,
                             BlendMode::Overlay,  BlendMode::HardLight};
  struct Pair {
    Rgba src, dst;
  } pairs[] = {
      {{200, 100, 30, 255}, {50, 160, 220, 255}},   // opaque on opaque
      {{240, 20, 130, 128}, {90, 200, 60, 255}},    // translucent on opaque
      {{30, 220, 100, 255}, {180, 40, 240, 96}},    // opaque on translucent
      {{100, 120, 250, 64}, {250, 130, 10, 200}},   // translucent on translucent
      {{10, 10, 10, 0}, {120, 70, 200, 255}},       // nothing on opaque
      {{255, 255, 255, 255}, {0, 0, 0, 0}},         // on nothing
  };
  for (BlendMode mode : modes)
    for (const Pair& p : pairs) {
      Surface target(3, 1, premultiply(p.dst.r, p.dst.g, p.dst.b, p.dst.a));
      Surface layer(1, 1, premultiply(p.src.r, p.src.g, p.src.b, p.src.a));
      compositeLayer(target, layer, 1, 0, mode);
      // The exact formula on the colours the premultiplied pixels really hold.
      std::array<double, 4> e =
          expected(mode, fromRgba(px_straight(layer.pixels[0])), fromRgba(px_straight(target.pixels[0])));
      uint32_t got = target.pixels[1];
      SCOPED_TRACE(testing::Message() << "mode " << int(mode) << " src " << std::hex << layer.pixels[0] << " dst "
                                      << target.pixels[0] << " got " << got);
      EXPECT_NEAR(alphaOf(got), e[0] * 255, 1.5);
      EXPECT_NEAR(redOf(got), e[1] * 255, 2.5);
      EXPECT_NEAR(greenOf(got), e[2] * 255, 2.5);
      EXPECT_NEAR(blueOf(got), e[3] * 255, 2.5);
      EXPECT_EQ(target.pixels[0], target.pixels[2]) << "outside the layer";
    }
}

TEST(Compose, LayerPlacementAndClipping) {
  struct Case {
    int x, y;
  } cases[] = {{0, 0}, {3, 2}, {-2, -1}, {6, 4}, {-100, 3}, {2000000000, 0}, {-2000000000, -2000000000}};
  for (const Case& c : cases) {
    Surface target(8, 6, 0xFF000000);
    Surface layer(4, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) layer.row(y)[x] = 0xFF000000u | uint32_t(y * 16 + x);
    compositeLayer(target, layer, c.x, c.y, BlendMode::Normal);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        int lx = x - c.x, ly = y - c.y;
        bool inside = int64_t(x) - c.x >= 0 && int64_t(x) - c.x < 4 && int64_t(y) - c.y >= 0 && int64_t(y) - c.y < 3;
        ASSERT_EQ(target.row(y)[x], inside ? 0xFF000000u | uint32_t(ly * 16 + lx) : 0xFF000000u)
            << c.x << "," << c.y << " at " << x << "," << y;
      }
  }
}

TEST(Compose, MaskMultipliesByItsAlpha) {
  Surface content(3, 1, premultiply(200, 100, 50, 255));
  content.pixels[2] = premultiply(200, 100, 50, 128);
  Surface mask(3, 1);
  mask.pixels = {0xFF123456, 0x80000000, 0x80FFFFFF};
  applyMask(content, mask);
  EXPECT_EQ(content.pixels[0], premultiply(200, 100, 50, 255));
  EXPECT_EQ(alphaOf(content.pixels[1]), 128);
  EXPECT_NEAR(redOf(content.pixels[1]), 100, 1);
  EXPECT_EQ(alphaOf(content.pixels[2]), 64);
  EXPECT_NEAR(redOf(content.pixels[2]), 50, 1);
  // A mask of another size changes nothing.
  Surface other(2, 2, 0);
  Surface before = content;
  applyMask(content, other);
  EXPECT_EQ(content.pixels, before.pixels);
}

// The run compositor (four pixels at a time) gives the bits of the pixel formula: every kind of
// coverage run (none, whole, partial, mixed), opaque and translucent sources, and lengths that
// leave a remainder.
TEST(Compose, SpanCompositingMatchesThePixelFormula) {
  uint32_t seed = 7;
  auto next = [&] { return seed = seed * 1664525u + 1013904223u, seed >> 8; };
  auto pixel = [&](bool opaque) {
    uint32_t a = opaque ? 255 : next() & 255;
    auto ch = [&] { return a ? next() % (a + 1) : 0; };
    return px::pack(a, ch(), ch(), ch());
  };
  for (int len : {1, 3, 4, 7, 16, 37}) {
    for (int kind = 0; kind < 5; ++kind) {
      std::vector<uint32_t> src(size_t(len) + 1), dst(size_t(len) + 1);
      std::vector<uint8_t> cover(size_t(len) + 1);
      for (int i = 0; i < len; ++i) {
        src[size_t(i)] = pixel(kind % 2 == 0);
        dst[size_t(i)] = pixel(next() % 3 == 0);
        cover[size_t(i)] = uint8_t(kind == 0 ? 0 : kind == 1 ? 255 : kind == 2 ? next() & 255
                                                                                : (next() % 3 ? 255 : next() & 255));
      }
      std::vector<uint32_t> expect = dst;
      for (int i = 0; i < len; ++i)
        expect[size_t(i)] = px::over(dst[size_t(i)], px::scale(src[size_t(i)], cover[size_t(i)]));
      px::overSpan(dst.data(), src.data(), cover.data(), len);
      EXPECT_EQ(dst, expect) << "length " << len << ", coverage kind " << kind;
    }
  }
}

}  // namespace
}  // namespace vorlo::player::test
