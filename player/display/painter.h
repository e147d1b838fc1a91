// Draws display objects into a surface: transforms and colour transforms down the tree, masks by
// clip depth, and layers for blend modes and filters.
#pragma once
#include "player/display/display_object.h"
#include "player/render/renderer.h"

namespace vorlo::player {

class Painter {
 public:
  Painter(Surface& target, const Movie& movie, Quality quality, double stageScaleX, double stageScaleY);

  // Draws `list` with `toPixels` mapping its space (twips) to the target's pixels.
  void drawList(const DisplayList& list, const Matrix& toPixels, const ColorTransform& cx);

  // For objects' own painting: the current transform, colour transform and the shape drawing call.
  const Matrix& toPixels() const { return toPixels_; }
  const ColorTransform& colorTransform() const { return cx_; }
  void fillShape(const Shape& shape, const Matrix& toPixels);
  // A solid rectangle in the object's space (text field borders and backgrounds).
  void fillRect(const Rect& r, Rgba color, const Matrix& toPixels);
  void strokeRect(const Rect& r, Rgba color, const Matrix& toPixels);

 private:
  struct Target {
    Surface* surface;
    int originX, originY;  // where the surface's pixel (0, 0) lies on the stage
  };
  void drawRange(DisplayList::const_iterator begin, DisplayList::const_iterator end, const Matrix& m,
                 const ColorTransform& cx);
  void drawObject(const DisplayObject& object, const Matrix& parent, const ColorTransform& parentCx);
  void drawContent(const DisplayObject& object, const Matrix& m, const ColorTransform& cx);
  IntRect pixelBounds(const DisplayObject& object, const Matrix& m) const;
  Matrix onTarget(const Matrix& stage) const;

  Target target_;
  Quality quality_;
  double stageScaleX_, stageScaleY_;
  static constexpr int kMaxDrawNesting = 200;
  bool maskMode_ = false;
  int nesting_ = 0;
  int layerDepth_ = 0;  // layers being drawn into, for the blend modes that need one
  // Pixel passes of filtering (filterWork) one drawing may spend: sixteen times the target's
  // pixels (about three full-screen blurs of three passes), at least 512 K (small stages, whose
  // filter layers may reach well beyond them).
  int64_t maxFilterWork_ = 0;
  int64_t filterWork_ = 0;  // spent so far
  Matrix toPixels_;
  ColorTransform cx_;
  class MovieBitmaps : public BitmapLibrary {
   public:
    explicit MovieBitmaps(const Movie& m) : movie_(m) {}
    const Bitmap* findBitmap(uint16_t id) const override { return movie_.find<Bitmap>(id); }

   private:
    const Movie& movie_;
  } bitmaps_;
};

}  // namespace vorlo::player
