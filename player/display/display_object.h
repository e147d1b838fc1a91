// Objects on the stage: what a placement made of a character, with the properties placements set.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "player/swf/movie.h"

namespace vorlo::player {

class DisplayObject;
class Painter;

inline FillStyle solidFill(Rgba color) {
  FillStyle f;
  f.color = color;
  return f;
}
inline LineStyle hairline(Rgba color) {
  LineStyle l;
  l.width = 0;
  l.color = color;
  return l;
}

// Children by depth, drawn from the lowest depth up.
using DisplayList = std::map<int, std::unique_ptr<DisplayObject>>;

class DisplayObject {
 public:
  explicit DisplayObject(uint16_t characterId) : characterId_(characterId) {}
  virtual ~DisplayObject() {
    if (scriptPeer) scriptPeer->displayObjectGone(*this);
  }
  DisplayObject(const DisplayObject&) = delete;
  DisplayObject& operator=(const DisplayObject&) = delete;

  uint16_t characterId() const { return characterId_; }

  // Properties that placements set.
  Matrix matrix;
  ColorTransform colorTransform;
  uint16_t ratio = 0;
  std::string name;
  uint16_t clipDepth = 0;  // non-zero: this object masks the depths above it up to clipDepth
  BlendMode blendMode = BlendMode::Normal;
  std::vector<Filter> filters;
  bool cacheAsBitmap = false;
  bool visible = true;
  int placedInFrame = 0;  // the parent's frame whose tags placed it (rewinds keep older objects)

  // The script layer's object for this one (may be null); told when this object goes away, so
  // that scripts holding it see a removed clip instead of freed memory.
  class ScriptPeer {
   public:
    virtual void displayObjectGone(DisplayObject& gone) = 0;

   protected:
    ~ScriptPeer() = default;
  };
  ScriptPeer* scriptPeer = nullptr;

  // Children drawn in this object's space, if it has any.
  virtual const DisplayList* children() const { return nullptr; }
  // Paints what the object itself draws (not its children).
  virtual void paint(Painter& painter) const {}
  // The object's own bounds without its children, in its own space (twips).
  virtual Rect ownBounds() const { return {}; }
  // Whether what the object itself draws covers `local` (its own space, twips).
  virtual bool ownHit(Point local) const { return false; }
  // One frame of time: timelines move on. Objects without a timeline ignore it.
  virtual void advance() {}
  // A placement changed the ratio (morph shapes follow it).
  virtual void ratioChanged() {}

  // Bounds with children, in this object's space.
  Rect bounds() const;

 private:
  uint16_t characterId_;
};

}  // namespace vorlo::player
