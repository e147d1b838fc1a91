// Milliseconds per frame for a generated stress scene: 1,000 shapes, each a curved outline with
// a linear or radial gradient round a solid inner panel (the two fills share its edges) and a
// stroke, drawn at 800x600 and (scaled up) at 1920x1080, against a full-frame clear of the same
// buffer. Shapes are 8 to 40 pixels in radius at 800x600 (about 1.9 million pixels painted per
// frame); a second scene of 4 to 20 pixels shows how the time follows the painted area.
#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <cstdint>
#include <vector>

#include "player/render/renderer.h"

namespace vorlo::player {
namespace {

struct Random {  // a fixed sequence, so every run draws the same scene
  uint32_t state = 12345;
  uint32_t next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
  double uniform(double lo, double hi) { return lo + (hi - lo) * (next() & 0xFFFF) / 65535.0; }
  Rgba color(uint8_t alpha = 255) {
    return {uint8_t(next()), uint8_t(next()), uint8_t(next()), alpha};
  }
};

struct Placed {
  Shape shape;
  Matrix matrix;  // shape twips -> 800x600 stage pixels
};

std::vector<Placed> makeScene(double maxRadius) {
  const double pi = 3.14159265358979323846;
  Random rnd;
  std::vector<Placed> scene;
  for (int i = 0; i < 1000; ++i) {
    Placed p;
    StyleGroup g;
    double r = rnd.uniform(maxRadius / 5, maxRadius) * 20;  // twips
    FillStyle grad;
    grad.kind = i % 2 ? FillKind::RadialGradient : FillKind::LinearGradient;
    grad.gradient.matrix = {r / 16384 * std::cos(i), r / 16384 * std::sin(i), -r / 16384 * std::sin(i),
                            r / 16384 * std::cos(i), 0, 0};
    grad.gradient.stops = {{0, rnd.color()}, {128, rnd.color(200)}, {255, rnd.color()}};
    grad.gradient.spread = SpreadMode(i % 3);
    FillStyle solid;
    solid.color = rnd.color(i % 4 ? 255 : 160);
    g.fills = {grad, solid};
    LineStyle line;
    line.width = uint16_t(rnd.uniform(1, 3) * 20);
    line.color = rnd.color();
    line.join = JoinStyle(i % 3);
    g.lines = {line};
    // The outline: 8 quadratic arcs round a wobbly circle, gradient inside, stroked.
    const int n = 8;
    std::vector<Point> pts;
    for (int k = 0; k < n; ++k) {
      double a = 2 * pi * k / n, rr = r * rnd.uniform(0.8, 1.1);
      pts.push_back({rr * std::cos(a), rr * std::sin(a)});
    }
    for (int k = 0; k < n; ++k) {
      Point a = pts[size_t(k)], b = pts[size_t((k + 1) % n)];
      double am = 2 * pi * (k + 0.5) / n;
      Edge e;
      e.from = a, e.to = b, e.curved = true;
      e.control = {r * 1.15 * std::cos(am), r * 1.15 * std::sin(am)};
      e.fill1 = 1, e.line = 1;
      g.edges.push_back(e);
    }
    // A solid panel in the middle: its own fill inside, the gradient's hole outside.
    double h = r * 0.4;
    Point q[4] = {{-h, -h}, {h, -h}, {h, h}, {-h, h}};
    for (int k = 0; k < 4; ++k) {
      Edge e;
      e.from = q[k], e.to = q[(k + 1) % 4];
      e.fill0 = 1, e.fill1 = 2;
      g.edges.push_back(e);
    }
    p.shape.groups.push_back(std::move(g));
    double scale = 1.0 / 20;
    p.matrix = Matrix::translate(rnd.uniform(0, 800), rnd.uniform(0, 600)) * Matrix::scale(scale, scale);
    scene.push_back(std::move(p));
  }
  return scene;
}

void drawScene(Surface& s, const std::vector<Placed>& scene, double zoom, Quality q) {
  s.clear(0xFFFFFFFF);
  ShapeDraw how;
  how.quality = q;
  for (const Placed& p : scene) {
    how.toPixels = Matrix::scale(zoom, zoom) * p.matrix;
    drawShape(s, p.shape, how);
  }
}

void BM_Clear(benchmark::State& state) {
  Surface s(int(state.range(0)), int(state.range(1)));
  for (auto _ : state) {
    s.clear(0xFFFFFFFF);
    benchmark::DoNotOptimize(s.pixels.data());
    benchmark::ClobberMemory();
  }
}

void BM_StressScene(benchmark::State& state) {
  static std::map<int64_t, std::vector<Placed>> scenes;
  auto& scene = scenes[state.range(3)];
  if (scene.empty()) scene = makeScene(double(state.range(3)));
  int w = int(state.range(0)), h = int(state.range(1));
  Quality q = Quality(state.range(2));
  Surface s(w, h);
  double zoom = std::min(w / 800.0, h / 600.0);
  for (auto _ : state) {
    drawScene(s, scene, zoom, q);
    benchmark::DoNotOptimize(s.pixels.data());
    benchmark::ClobberMemory();
  }
}

BENCHMARK(BM_Clear)->Args({800, 600})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StressScene)
    ->ArgNames({"w", "h", "quality", "radius"})
    ->Args({800, 600, 2, 40})
    ->Args({1920, 1080, 2, 40})
    ->Args({800, 600, 1, 40})
    ->Args({800, 600, 0, 40})
    ->Args({800, 600, 2, 20})
    ->Args({1920, 1080, 2, 20})
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vorlo::player
