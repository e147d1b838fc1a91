// Records that many statements share: matrices, colour transforms, gradient stops, filters.
#include <cmath>

#include "tools/swf/assembler_internal.h"

namespace vorlo::swfasm {

using namespace player;

namespace {
constexpr double kPi = 3.14159265358979323846;
}

uint16_t parseId(const Word& w) { return uint16_t(parseInt(w, 0, 65535)); }

bool hasMatrix(Args& a, const std::string& p) {
  return a.has(p + "matrix") || a.has(p + "at") || a.has(p + "scale") || a.has(p + "rotate");
}

Matrix parseMatrix(Args& a, const std::string& p) {
  if (auto m = a.option(p + "matrix")) {
    auto parts = splitList(*m);
    if (parts.size() != 6) a.fail(p + "matrix= takes a,b,c,d,tx,ty");
    return {parseNumber(parts[0]), parseNumber(parts[1]), parseNumber(parts[2]),
            parseNumber(parts[3]), parseTwips(parts[4]),  parseTwips(parts[5])};
  }
  double sx = 1, sy = 1, angle = 0, tx = 0, ty = 0;
  if (auto s = a.option(p + "scale")) {
    auto parts = splitList(*s);
    if (parts.size() > 2) a.fail(p + "scale= takes sx or sx,sy");
    sx = sy = parseNumber(parts[0]);
    if (parts.size() == 2) sy = parseNumber(parts[1]);
  }
  if (auto r = a.option(p + "rotate")) angle = parseNumber(*r) * kPi / 180;
  if (auto t = a.option(p + "at")) {
    auto parts = splitList(*t);
    if (parts.size() != 2) a.fail(p + "at= takes x,y");
    tx = parseTwips(parts[0]);
    ty = parseTwips(parts[1]);
  }
  double c = std::cos(angle), s = std::sin(angle);
  if (angle == 0) c = 1, s = 0;
  return {sx * c, sx * s, -sy * s, sy * c, tx, ty};
}

std::optional<ColorTransform> parseColorTransform(Args& a) {
  auto mult = a.option("mult"), add = a.option("add");
  if (!mult && !add) return std::nullopt;
  ColorTransform c;
  auto read = [&](const Word& w, int32_t* r, int32_t* g, int32_t* b, int32_t* al) {
    auto parts = splitList(w);
    if (parts.size() < 3 || parts.size() > 4) a.fail("colour transforms take r,g,b or r,g,b,a");
    *r = int32_t(parseInt(parts[0], -32768, 32767));
    *g = int32_t(parseInt(parts[1], -32768, 32767));
    *b = int32_t(parseInt(parts[2], -32768, 32767));
    if (parts.size() == 4) *al = int32_t(parseInt(parts[3], -32768, 32767));
  };
  if (mult) read(*mult, &c.rMult, &c.gMult, &c.bMult, &c.aMult);
  if (add) read(*add, &c.rAdd, &c.gAdd, &c.bAdd, &c.aAdd);
  return c;
}

std::vector<GradientStop> parseStops(const Word& w) {
  std::vector<GradientStop> stops;
  for (const Word& part : splitList(w)) {
    auto pair = splitList(part, ':');
    if (pair.size() != 2) throw AsmError(w.line, "a gradient stop is ratio:#colour");
    stops.push_back({uint8_t(parseInt(pair[0], 0, 255)), parseColor(pair[1])});
  }
  return stops;
}

BlendMode parseBlendMode(const Word& w) {
  static const char* kNames[] = {"normal", "normal1", "layer", "multiply", "screen", "lighten", "darken", "difference",
                                 "add", "subtract", "invert", "alpha", "erase", "overlay", "hardlight"};
  for (int i = 0; i < 15; ++i)
    if (w.text == kNames[i]) return BlendMode(i < 2 ? 0 : i);
  return BlendMode(parseInt(w, 0, 255));
}

Filter parseFilter(const Statement& s) {
  Args a(s);
  const Word& kindWord = a.positional("the filter kind");
  static const char* kKinds[] = {"dropshadow", "blur", "glow", "bevel", "gradientglow", "convolution", "colormatrix", "gradientbevel"};
  int kind = -1;
  for (int i = 0; i < 8; ++i)
    if (kindWord.text == kKinds[i]) kind = i;
  if (kind < 0) a.fail("unknown filter '" + kindWord.text + "'");
  Filter f;
  f.kind = FilterKind(kind);
  auto number = [&](const char* key, double def) {
    auto w = a.option(key);
    return w ? parseNumber(*w) : def;
  };
  auto color = [&](const char* key, Rgba def) {
    auto w = a.option(key);
    return w ? parseColor(*w) : def;
  };
  bool shadowLike = f.kind != FilterKind::Convolution && f.kind != FilterKind::ColorMatrix;
  if (shadowLike) {
    f.blurX = number("x", 4);
    f.blurY = number("y", f.blurX);
    f.passes = int(number("passes", 1));
  }
  switch (f.kind) {
    case FilterKind::DropShadow:
    case FilterKind::Glow:
    case FilterKind::Bevel:
    case FilterKind::GradientGlow:
    case FilterKind::GradientBevel:
      f.color = color(f.kind == FilterKind::Bevel ? "shadow" : "color", Rgba{0, 0, 0, 255});
      if (f.kind == FilterKind::Bevel) f.highlight = color("highlight", Rgba{255, 255, 255, 255});
      if (f.kind != FilterKind::Glow) {
        f.angle = number("angle", 45) * kPi / 180;
        f.distance = number("distance", 4);
      }
      f.strength = number("strength", 1);
      f.inner = a.flag("inner");
      f.knockout = a.flag("knockout");
      f.compositeSource = !a.flag("nocomposite");
      f.onTop = a.flag("ontop");
      if (f.kind == FilterKind::GradientGlow || f.kind == FilterKind::GradientBevel) {
        auto stops = a.option("stops");
        if (!stops) a.fail("gradient filters need stops=");
        f.stops = parseStops(*stops);
      }
      break;
    case FilterKind::Convolution: {
      auto size = a.option("size");
      if (!size) a.fail("a convolution needs size=COLUMNSxROWS");
      auto dims = splitList(*size, 'x');
      if (dims.size() != 2) a.fail("size= takes COLUMNSxROWS");
      f.matrixX = int(parseInt(dims[0], 0, 255));
      f.matrixY = int(parseInt(dims[1], 0, 255));
      auto values = a.option("values");
      std::vector<Word> parts = values ? splitList(*values) : std::vector<Word>{};
      if (parts.size() != size_t(f.matrixX) * size_t(f.matrixY)) a.fail("values= needs COLUMNS*ROWS numbers");
      for (auto& p : parts) f.matrix.push_back(float(parseNumber(p)));
      f.divisor = number("divisor", 1);
      f.bias = number("bias", 0);
      f.defaultColor = color("default", Rgba{0, 0, 0, 0});
      f.clamp = !a.flag("noclamp");
      f.preserveAlpha = !a.flag("nopreservealpha");
      break;
    }
    case FilterKind::ColorMatrix: {
      auto values = a.option("values");
      if (!values) a.fail("a colour matrix needs values= (20 numbers)");
      auto parts = splitList(*values);
      if (parts.size() != 20) a.fail("values= needs 20 numbers");
      for (int i = 0; i < 20; ++i) f.colorMatrix[size_t(i)] = float(parseNumber(parts[size_t(i)]));
      break;
    }
    default:
      break;
  }
  a.finish();
  return f;
}

void writeFilter(SwfWriter& w, const Filter& f) {
  w.u8(uint8_t(f.kind));
  auto flags = [&](bool hasOnTop) {
    w.flag(f.inner);
    w.flag(f.knockout);
    w.flag(f.compositeSource);
    if (hasOnTop) {
      w.flag(f.onTop);
      w.ub(4, uint32_t(f.passes));
    } else {
      w.ub(5, uint32_t(f.passes));
    }
  };
  switch (f.kind) {
    case FilterKind::DropShadow:
      w.rgba(f.color);
      w.fixed16(f.blurX);
      w.fixed16(f.blurY);
      w.fixed16(f.angle);
      w.fixed16(f.distance);
      w.fixed8(f.strength);
      flags(false);
      break;
    case FilterKind::Blur:
      w.fixed16(f.blurX);
      w.fixed16(f.blurY);
      w.ub(5, uint32_t(f.passes));
      w.ub(3, 0);
      break;
    case FilterKind::Glow:
      w.rgba(f.color);
      w.fixed16(f.blurX);
      w.fixed16(f.blurY);
      w.fixed8(f.strength);
      flags(false);
      break;
    case FilterKind::Bevel:
      w.rgba(f.highlight);
      w.rgba(f.color);
      w.fixed16(f.blurX);
      w.fixed16(f.blurY);
      w.fixed16(f.angle);
      w.fixed16(f.distance);
      w.fixed8(f.strength);
      flags(true);
      break;
    case FilterKind::GradientGlow:
    case FilterKind::GradientBevel:
      w.u8(uint8_t(f.stops.size()));
      for (auto& s : f.stops) w.rgba(s.color);
      for (auto& s : f.stops) w.u8(s.ratio);
      w.fixed16(f.blurX);
      w.fixed16(f.blurY);
      w.fixed16(f.angle);
      w.fixed16(f.distance);
      w.fixed8(f.strength);
      flags(true);
      break;
    case FilterKind::Convolution:
      w.u8(uint8_t(f.matrixX));
      w.u8(uint8_t(f.matrixY));
      w.f32(float(f.divisor));
      w.f32(float(f.bias));
      for (float v : f.matrix) w.f32(v);
      w.rgba(f.defaultColor);
      w.ub(6, 0);
      w.flag(f.clamp);
      w.flag(f.preserveAlpha);
      break;
    case FilterKind::ColorMatrix:
      for (float v : f.colorMatrix) w.f32(v);
      break;
  }
  w.flush();
}

}  // namespace vorlo::swfasm
