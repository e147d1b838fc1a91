// The display objects of the definition kinds that are not timelines.
#pragma once
#include "player/display/movie_clip.h"

namespace vorlo::player {

class ShapeObject : public DisplayObject {
 public:
  ShapeObject(uint16_t id, const Shape& shape) : DisplayObject(id), shape_(shape) {}
  void paint(Painter& painter) const override;
  Rect ownBounds() const override { return shape_.bounds; }
  bool ownHit(Point local) const override;

 private:
  const Shape& shape_;
};

class MorphObject : public DisplayObject {
 public:
  MorphObject(uint16_t id, const MorphShape& morph);
  void paint(Painter& painter) const override;
  Rect ownBounds() const override { return current_.bounds; }
  bool ownHit(Point local) const override;
  void ratioChanged() override;

 private:
  const MorphShape& morph_;
  Shape current_;
  int currentRatio_ = -1;
};

class StaticTextObject : public DisplayObject {
 public:
  StaticTextObject(uint16_t id, const StaticText& text, const Movie& movie)
      : DisplayObject(id), text_(text), movie_(movie) {}
  void paint(Painter& painter) const override;
  Rect ownBounds() const override { return text_.matrix.apply(text_.bounds); }
  bool ownHit(Point local) const override;

 private:
  const StaticText& text_;
  const Movie& movie_;
};

// A button shows the children of its current state (up until the pointer comes); the records of
// its hit-test state, never shown, say where the pointer reaches it.
class ButtonObject : public DisplayObject {
 public:
  ButtonObject(StageContext& stage, uint16_t id, const Button& button, int nesting);
  const DisplayList* children() const override { return &children_; }
  void advance() override;
  // Shows the state (kButtonUp, kButtonOver or kButtonDown).
  void setState(uint8_t state);
  uint8_t state() const { return state_; }
  // `local` in the button's own space.
  bool hitAreaContains(Point local) const;
  const Button& definition() const { return button_; }

 private:
  StageContext& stage_;
  const Button& button_;
  int nesting_;
  uint8_t state_ = 0;
  DisplayList children_;
};

}  // namespace vorlo::player
