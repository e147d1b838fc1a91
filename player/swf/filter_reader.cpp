// The filter lists of PlaceObject3 and DefineButton2 records.
#include <cmath>

#include "player/swf/read_context.h"

namespace vorlo::player {

namespace {


// The flags byte that closes shadows, glows and bevels: inner, knockout, composite source,
// [on top,] passes.
void readFlags(SwfReader& r, Filter& f, bool hasOnTop) {
  f.inner = r.flag();
  f.knockout = r.flag();
  f.compositeSource = r.flag();
  if (hasOnTop) {
    f.onTop = r.flag();
    f.passes = int(r.ub(4));
  } else {
    f.passes = int(r.ub(5));
  }
}

bool readFilter(SwfReader& r, Filter& f) {
  uint8_t id = r.u8();
  if (id > 7) {
    r.fail();
    return false;
  }
  f.kind = FilterKind(id);
  switch (f.kind) {
    case FilterKind::DropShadow:
      f.color = r.rgba();
      f.blurX = r.fixed16();
      f.blurY = r.fixed16();
      f.angle = r.fixed16();
      f.distance = r.fixed16();
      f.strength = r.fixed8();
      readFlags(r, f, false);
      break;
    case FilterKind::Blur:
      f.blurX = r.fixed16();
      f.blurY = r.fixed16();
      f.passes = int(r.ub(5));
      r.ub(3);
      break;
    case FilterKind::Glow:
      f.color = r.rgba();
      f.blurX = r.fixed16();
      f.blurY = r.fixed16();
      f.strength = r.fixed8();
      readFlags(r, f, false);
      break;
    case FilterKind::Bevel:
      // Files written by Flash hold the highlight colour first, whatever older documents say.
      f.highlight = r.rgba();
      f.color = r.rgba();
      f.blurX = r.fixed16();
      f.blurY = r.fixed16();
      f.angle = r.fixed16();
      f.distance = r.fixed16();
      f.strength = r.fixed8();
      readFlags(r, f, true);
      break;
    case FilterKind::GradientGlow:
    case FilterKind::GradientBevel: {
      uint8_t n = r.u8();
      f.stops.resize(n);
      for (auto& s : f.stops) s.color = r.rgba();
      for (auto& s : f.stops) s.ratio = r.u8();
      f.blurX = r.fixed16();
      f.blurY = r.fixed16();
      f.angle = r.fixed16();
      f.distance = r.fixed16();
      f.strength = r.fixed8();
      readFlags(r, f, true);
      break;
    }
    case FilterKind::Convolution: {
      f.matrixX = r.u8();
      f.matrixY = r.u8();
      f.divisor = r.f32();
      f.bias = r.f32();
      size_t n = size_t(f.matrixX) * size_t(f.matrixY);
      if (n * 4 > r.remaining()) {
        r.fail();
        return false;
      }
      f.matrix.resize(n);
      for (auto& v : f.matrix) v = r.f32();
      f.defaultColor = r.rgba();
      r.ub(6);
      f.clamp = r.flag();
      f.preserveAlpha = r.flag();
      break;
    }
    case FilterKind::ColorMatrix:
      for (auto& v : f.colorMatrix) v = r.f32();
      break;
  }
  if (!std::isfinite(f.angle)) f.angle = 0;
  return r.ok();
}

}  // namespace

bool readFilterList(SwfReader& r, std::vector<Filter>& out) {
  uint8_t n = r.u8();
  out.reserve(n);
  for (unsigned i = 0; i < n && r.ok(); ++i) {
    Filter f;
    if (!readFilter(r, f)) return false;
    out.push_back(std::move(f));
  }
  return r.ok();
}

}  // namespace vorlo::player
