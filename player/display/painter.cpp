#include "player/display/painter.h"

#include <algorithm>
#include <cmath>

namespace vorlo::player {

Rect DisplayObject::bounds() const {
  Rect r = ownBounds();
  if (const DisplayList* list = children())
    for (const auto& [depth, child] : *list) r.include(child->matrix.apply(child->bounds()));
  return r;
}

Painter::Painter(Surface& target, const Movie& movie, Quality quality, double stageScaleX, double stageScaleY)
    : target_{&target, 0, 0}, quality_(quality), stageScaleX_(stageScaleX),
      stageScaleY_(stageScaleY),
      maxFilterWork_(std::max(int64_t(1) << 19, int64_t(16) * target.width * target.height)), bitmaps_(movie) {}

void Painter::drawList(const DisplayList& list, const Matrix& toPixels, const ColorTransform& cx) {
  drawRange(list.begin(), list.end(), toPixels, cx);
}

Matrix Painter::onTarget(const Matrix& stage) const {
  return Matrix::translate(-target_.originX, -target_.originY) * stage;
}

void Painter::fillShape(const Shape& shape, const Matrix& toPixels) {
  ShapeDraw how;
  how.toPixels = onTarget(toPixels);
  how.colorTransform = cx_;
  how.quality = quality_;
  how.bitmaps = &bitmaps_;
  if (maskMode_) how.solidColor = Rgba{255, 255, 255, 255};
  drawShape(*target_.surface, shape, how);
}

namespace {

// Layers and masks come and go many times a frame. Fresh buffers of that size come straight from the
// system and cost a page fault per page on first touch; reusing them keeps the pages.
class SurfacePool {
 public:
  Surface take(int width, int height) {
    Surface s;
    s.width = width;
    s.height = height;
    size_t need = size_t(width) * size_t(height);
    for (size_t i = 0; i < free_.size(); ++i) {
      if (free_[i].capacity() >= need) {
        s.pixels = std::move(free_[i]);
        free_.erase(free_.begin() + std::ptrdiff_t(i));
        break;
      }
    }
    s.pixels.assign(need, 0);
    return s;
  }
  void give(Surface&& s) {
    // A few buffers cover the nesting of real movies; keeping more would only hold memory.
    if (free_.size() < 8) free_.push_back(std::move(s.pixels));
  }

 private:
  std::vector<std::vector<uint32_t>> free_;
};

SurfacePool& pool() {
  thread_local SurfacePool p;
  return p;
}

Shape rectShape(const Rect& r, bool fill, Rgba color) {
  Shape s;
  s.bounds = s.edgeBounds = r;
  StyleGroup g;
  Point p[4] = {{r.xMin, r.yMin}, {r.xMax, r.yMin}, {r.xMax, r.yMax}, {r.xMin, r.yMax}};
  for (int i = 0; i < 4; ++i) {
    Edge e;
    e.from = p[i];
    e.to = p[(i + 1) % 4];
    if (fill) e.fill1 = 1;
    else e.line = 1;
    g.edges.push_back(e);
  }
  if (fill) g.fills.push_back(solidFill(color));
  else g.lines.push_back(hairline(color));
  s.groups.push_back(std::move(g));
  return s;
}

}  // namespace

void Painter::fillRect(const Rect& r, Rgba color, const Matrix& toPixels) {
  fillShape(rectShape(r, true, color), toPixels);
}

void Painter::strokeRect(const Rect& r, Rgba color, const Matrix& toPixels) {
  fillShape(rectShape(r, false, color), toPixels);
}

IntRect Painter::pixelBounds(const DisplayObject& object, const Matrix& m) const {
  Rect r = m.apply(object.bounds());
  if (r.empty() || !std::isfinite(r.xMin) || !std::isfinite(r.yMin) || !std::isfinite(r.xMax) ||
      !std::isfinite(r.yMax))
    return {};
  // Generous by a pixel: strokes and anti-aliasing reach just beyond the geometry.
  auto clampInt = [](double v) { return int(std::clamp(v, -1e7, 1e7)); };
  return {clampInt(std::floor(r.xMin)) - 1, clampInt(std::floor(r.yMin)) - 1, clampInt(std::ceil(r.xMax)) + 2,
          clampInt(std::ceil(r.yMax)) + 2};
}

void Painter::drawRange(DisplayList::const_iterator begin, DisplayList::const_iterator end, const Matrix& m,
                        const ColorTransform& cx) {
  for (auto it = begin; it != end; ++it) {
    const DisplayObject& object = *it->second;
    if (object.clipDepth == 0) {
      drawObject(object, m, cx);
      continue;
    }
    // A mask: the objects above it up to its clip depth show only where it is painted.
    auto last = std::next(it);
    while (last != end && last->first <= object.clipDepth) ++last;
    if (maskMode_) {
      // Inside a mask, masked content counts only where both are painted: draw the masked objects
      // as part of the mask (an approximation that nested masks rarely notice).
      drawRange(std::next(it), last, m, cx);
      it = std::prev(last);
      continue;
    }
    IntRect area{0, 0, target_.surface->width, target_.surface->height};
    IntRect maskArea = pixelBounds(object, m * object.matrix);
    maskArea.x0 -= target_.originX;
    maskArea.x1 -= target_.originX;
    maskArea.y0 -= target_.originY;
    maskArea.y1 -= target_.originY;
    area = {std::max(area.x0, maskArea.x0), std::max(area.y0, maskArea.y0), std::min(area.x1, maskArea.x1),
            std::min(area.y1, maskArea.y1)};
    if (!area.empty() && object.visible) {
      Target saved = target_;
      Surface mask = pool().take(area.x1 - area.x0, area.y1 - area.y0);
      target_ = {&mask, saved.originX + area.x0, saved.originY + area.y0};
      maskMode_ = true;
      drawObject(object, m, ColorTransform{});
      maskMode_ = false;
      Surface content = pool().take(mask.width, mask.height);
      target_.surface = &content;
      drawRange(std::next(it), last, m, cx);
      target_ = saved;
      applyMask(content, mask);
      compositeLayer(*target_.surface, content, area.x0, area.y0, BlendMode::Normal);
      pool().give(std::move(content));
      pool().give(std::move(mask));
    }
    it = std::prev(last);
  }
}

void Painter::drawObject(const DisplayObject& object, const Matrix& parent, const ColorTransform& parentCx) {
  if (!object.visible && !maskMode_) return;
  // Nesting is bounded when objects are made; this guards the recursion all the same.
  if (nesting_ > kMaxDrawNesting) return;
  Matrix m = parent * object.matrix;
  ColorTransform cx = maskMode_ ? ColorTransform{} : parentCx * object.colorTransform;
  // Alpha and erase change the alpha of an ancestor's layer; without one they would change the
  // opaque stage's alpha, which shows nothing.
  BlendMode mode = object.blendMode;
  if ((mode == BlendMode::Alpha || mode == BlendMode::Erase) && layerDepth_ == 0 && !maskMode_) return;
  // The layer's area on the stage for a set of filters: the object's bounds widened by their
  // reach, kept to what can reach the target (a blur pulls in colour from just outside).
  auto layerArea = [&](const std::vector<const Filter*>& filters) {
    IntRect area = pixelBounds(object, m);
    int reachLeft = 0, reachTop = 0, reachRight = 0, reachBottom = 0;
    for (const Filter* f : filters) {
      IntRect reach = filterReach(*f, stageScaleX_, stageScaleY_);
      reachLeft += reach.x0;
      reachTop += reach.y0;
      reachRight += reach.x1;
      reachBottom += reach.y1;
    }
    // What a filter pulls in from beyond the stage is bounded (the reference player blurs at most
    // 255 pixels): a movie asking for more must not make the layer, and the time to filter it,
    // unbounded.
    constexpr int kMaxReach = 256;
    reachLeft = std::min(reachLeft, kMaxReach);
    reachTop = std::min(reachTop, kMaxReach);
    reachRight = std::min(reachRight, kMaxReach);
    reachBottom = std::min(reachBottom, kMaxReach);
    area.x0 -= reachLeft;
    area.y0 -= reachTop;
    area.x1 += reachRight;
    area.y1 += reachBottom;
    IntRect visible{target_.originX - reachRight, target_.originY - reachBottom,
                    target_.originX + target_.surface->width + reachLeft,
                    target_.originY + target_.surface->height + reachTop};
    return IntRect{std::max(area.x0, visible.x0), std::max(area.y0, visible.y0), std::min(area.x1, visible.x1),
                   std::min(area.y1, visible.y1)};
  };
  // Filtering costs per pixel and pass; a frame's filtering is bounded so that a movie stacking
  // filters (up to 255 an object, 31 passes each) slows a frame down, never stops the player. The
  // filters that fit are chosen on the layer all of them would need, before it is made: those
  // left out neither widen the layer nor cost anything.
  std::vector<const Filter*> filters;
  if (!maskMode_ && !object.filters.empty()) {
    std::vector<const Filter*> all;
    for (const Filter& f : object.filters) all.push_back(&f);
    IntRect widest = layerArea(all);
    if (widest.empty()) return;
    for (const Filter* f : all) {
      int64_t cost = filterWork(*f, widest.x1 - widest.x0, widest.y1 - widest.y0);
      if (filterWork_ + cost > maxFilterWork_) continue;
      filterWork_ += cost;
      filters.push_back(f);
    }
  }
  bool layered = !maskMode_ && (mode != BlendMode::Normal || !filters.empty());
  if (!layered) {
    ++nesting_;
    drawContent(object, m, cx);
    --nesting_;
    return;
  }
  IntRect area = layerArea(filters);
  if (area.empty()) return;
  Surface layer = pool().take(area.x1 - area.x0, area.y1 - area.y0);
  Target saved = target_;
  target_ = {&layer, area.x0, area.y0};
  // The object's alpha fades the finished layer as a whole, not each of its parts.
  ColorTransform inner = cx;
  double alpha = std::clamp(cx.aMult / 256.0, 0.0, 1.0);
  inner.aMult = 256;
  ++nesting_;
  ++layerDepth_;
  drawContent(object, m, inner);
  --layerDepth_;
  --nesting_;
  target_ = saved;
  for (const Filter* f : filters) applyFilter(layer, *f, stageScaleX_, stageScaleY_, quality_);
  if (alpha < 1) {
    uint32_t k = uint32_t(alpha * 256 + 0.5);
    for (uint32_t& px : layer.pixels) {
      uint32_t rb = (px & 0x00FF00FFu) * k >> 8 & 0x00FF00FFu;
      uint32_t ag = (px >> 8 & 0x00FF00FFu) * k & 0xFF00FF00u;
      px = ag | rb;
    }
  }
  compositeLayer(*target_.surface, layer, area.x0 - target_.originX, area.y0 - target_.originY,
                 mode == BlendMode::Layer ? BlendMode::Normal : mode);
  pool().give(std::move(layer));
}

void Painter::drawContent(const DisplayObject& object, const Matrix& m, const ColorTransform& cx) {
  Matrix savedM = toPixels_;
  ColorTransform savedCx = cx_;
  toPixels_ = m;
  cx_ = cx;
  object.paint(*this);
  toPixels_ = savedM;
  cx_ = savedCx;
  if (const DisplayList* list = object.children()) drawRange(list->begin(), list->end(), m, cx);
}

}  // namespace vorlo::player
