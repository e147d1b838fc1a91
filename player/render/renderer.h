// Drawing into 32-bit premultiplied pixel buffers: shapes with every fill and line style, masks,
// blend modes and filters. The display list decides what goes where; this layer only paints.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "player/swf/bitmap.h"
#include "player/swf/filter.h"
#include "player/swf/geometry.h"
#include "player/swf/movie.h"
#include "player/swf/shape.h"

namespace vorlo::player {

// Pixels are 0xAARRGGBB premultiplied, rows top to bottom without padding.
struct Surface {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;

  Surface() = default;
  Surface(int w, int h, uint32_t fill = 0) : width(w), height(h), pixels(size_t(w) * size_t(h), fill) {}
  uint32_t* row(int y) { return pixels.data() + size_t(y) * size_t(width); }
  const uint32_t* row(int y) const { return pixels.data() + size_t(y) * size_t(width); }
  void clear(uint32_t color) { std::fill(pixels.begin(), pixels.end(), color); }
};

struct IntRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // half-open: [x0, x1) x [y0, y1)
  bool empty() const { return x0 >= x1 || y0 >= y1; }
};

enum class Quality : uint8_t { Low, Medium, High };

class BitmapLibrary {
 public:
  virtual ~BitmapLibrary() = default;
  virtual const Bitmap* findBitmap(uint16_t id) const = 0;
};

struct ShapeDraw {
  Matrix toPixels;                      // shape twips -> surface pixels
  ColorTransform colorTransform;
  Quality quality = Quality::High;
  const BitmapLibrary* bitmaps = nullptr;
  // Paint every fill (and stroke) in this colour: glyphs, masks. The colour transform still
  // applies to it, as to any style colour (pass an identity transform for masks).
  std::optional<Rgba> solidColor;
  std::optional<IntRect> clip;          // pixels outside are left alone
};

void drawShape(Surface& target, const Shape& shape, const ShapeDraw& how);

// Composes `layer` onto `target` with its top-left corner at (x, y).
void compositeLayer(Surface& target, const Surface& layer, int x, int y, BlendMode mode);
// Multiplies every pixel of `content` by the alpha of the same pixel of `mask` (same size).
void applyMask(Surface& content, const Surface& mask);
// How far (in pixels) a filter's result reaches beyond the content on each side, given the
// stage's scale to pixels: x0 left, y0 top, x1 right, y1 bottom (never beyond 4096). Blur sizes
// are stage pixels and do not scale; shadow and bevel offsets do.
IntRect filterReach(const Filter& filter, double scaleX, double scaleY);
// The work of applyFilter on a layer of that size, in pixel passes (the display list bounds a
// frame's filtering by it).
int64_t filterWork(const Filter& filter, int width, int height);
// Applies a filter in place; `layer` already has room for filterReach around its content.
// Low quality blurs with one pass whatever the filter asks.
void applyFilter(Surface& layer, const Filter& filter, double scaleX, double scaleY, Quality quality);

}  // namespace vorlo::player
