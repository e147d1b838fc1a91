// Blend modes and masks on premultiplied pixels. The separable modes (multiply, screen, lighten,
// darken, difference, overlay, hard light) use the premultiplied form of the usual compositing
// equations: result = S*(1-da) + D*(1-sa) + B(S, D), with alpha = sa + da - sa*da, so a mode
// only changes the colour where both layers have coverage. The others act as Flash's do:
// add and subtract saturate, invert turns the backdrop negative under the layer, alpha and erase
// use the layer's alpha on the backdrop alone.
#include <algorithm>
#include <cstdlib>

#include "player/render/pixel.h"
#include "player/render/renderer.h"

namespace vorlo::player {
namespace {

using px::div255;

inline int ch(uint32_t p, int shift) { return int((p >> shift) & 0xFF); }

// Separable modes: B(s, d, sa, da) in 255*255 units.
template <class B>
inline uint32_t separable(uint32_t d, uint32_t s, B blend) {
  int sa = ch(s, 24), da = ch(d, 24);
  if (sa == 0) return d;
  if (da == 0) return s;
  auto one = [&](int shift) {
    int sc = ch(s, shift), dc = ch(d, shift);
    int v = sc * (255 - da) + dc * (255 - sa) + blend(sc, dc, sa, da);
    return uint32_t(std::clamp(int(div255(uint32_t(std::max(v, 0)))), 0, 255));
  };
  uint32_t a = uint32_t(sa + da) - div255(uint32_t(sa * da));
  uint32_t r = std::min(one(16), a), g = std::min(one(8), a), b = std::min(one(0), a);
  return px::pack(a, r, g, b);
}

inline int hardLight(int sc, int dc, int sa, int da) {
  if (2 * sc <= sa) return 2 * sc * dc;
  return sa * da - 2 * (da - dc) * (sa - sc);
}

uint32_t blendPixel(uint32_t d, uint32_t s, BlendMode mode) {
  switch (mode) {
    case BlendMode::Multiply:
      return separable(d, s, [](int sc, int dc, int, int) { return sc * dc; });
    case BlendMode::Screen:
      return separable(d, s, [](int sc, int dc, int sa, int da) { return sc * da + dc * sa - sc * dc; });
    case BlendMode::Lighten:
      return separable(d, s, [](int sc, int dc, int sa, int da) { return std::max(sc * da, dc * sa); });
    case BlendMode::Darken:
      return separable(d, s, [](int sc, int dc, int sa, int da) { return std::min(sc * da, dc * sa); });
    case BlendMode::Difference:
      return separable(d, s, [](int sc, int dc, int sa, int da) { return std::abs(sc * da - dc * sa); });
    case BlendMode::HardLight:
      return separable(d, s, hardLight);
    case BlendMode::Overlay:
      return separable(d, s, [](int sc, int dc, int sa, int da) { return hardLight(dc, sc, da, sa); });
    case BlendMode::Add: {
      auto one = [&](int shift) { return uint32_t(std::min(255, ch(s, shift) + ch(d, shift))); };
      return px::pack(one(24), one(16), one(8), one(0));
    }
    case BlendMode::Subtract: {
      auto one = [&](int shift) { return uint32_t(std::max(0, ch(d, shift) - ch(s, shift))); };
      uint32_t a = uint32_t(std::min(255, ch(s, 24) + ch(d, 24)));
      return px::pack(a, std::min(one(16), a), std::min(one(8), a), std::min(one(0), a));
    }
    case BlendMode::Invert: {
      uint32_t sa = px::alpha(s), da = px::alpha(d);
      auto one = [&](int shift) {
        uint32_t dc = uint32_t(ch(d, shift));
        return div255(dc * (255 - sa) + (da - dc) * sa);
      };
      return px::pack(da, one(16), one(8), one(0));
    }
    case BlendMode::Alpha:
      return px::scale(d, px::alpha(s));
    case BlendMode::Erase:
      return px::scale(d, 255 - px::alpha(s));
    default:
      return px::over(d, s);
  }
}

}  // namespace

void compositeLayer(Surface& target, const Surface& layer, int x, int y, BlendMode mode) {
  if (target.pixels.size() < size_t(target.width) * size_t(target.height) ||
      layer.pixels.size() < size_t(layer.width) * size_t(layer.height))
    return;
  // The overlap, computed in 64 bits so that far-away offsets cannot overflow.
  int64_t x0 = std::max<int64_t>(0, x), y0 = std::max<int64_t>(0, y);
  int64_t x1 = std::min<int64_t>(target.width, int64_t(x) + layer.width);
  int64_t y1 = std::min<int64_t>(target.height, int64_t(y) + layer.height);
  if (x0 >= x1 || y0 >= y1) return;
  for (int64_t ty = y0; ty < y1; ++ty) {
    uint32_t* d = target.row(int(ty));
    const uint32_t* s = layer.row(int(ty - y));
    if (mode == BlendMode::Normal || mode == BlendMode::Layer) {
      for (int64_t tx = x0; tx < x1; ++tx) d[tx] = px::over(d[tx], s[tx - x]);
    } else {
      for (int64_t tx = x0; tx < x1; ++tx) d[tx] = blendPixel(d[tx], s[tx - x], mode);
    }
  }
}

void applyMask(Surface& content, const Surface& mask) {
  size_t n = std::min(content.pixels.size(), mask.pixels.size());
  if (content.width != mask.width || content.height != mask.height) return;
  for (size_t i = 0; i < n; ++i) content.pixels[i] = px::scale(content.pixels[i], px::alpha(mask.pixels[i]));
}

}  // namespace vorlo::player
