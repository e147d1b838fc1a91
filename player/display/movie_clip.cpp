#include "player/display/movie_clip.h"

#include <algorithm>
#include <cctype>

namespace vorlo::player {

void StageContext::warn(std::string text) {
  // A damaged movie repeats its faults every frame; keep the first few.
  if (warnings.size() < 100) warnings.push_back(std::move(text));
}

MovieClip::MovieClip(StageContext& stage, uint16_t characterId, const Timeline& timeline, int nesting)
    : DisplayObject(characterId), stage_(stage), timeline_(timeline), nesting_(nesting) {}

void MovieClip::enterFirstFrame() {
  if (currentFrame_ != 0 || timeline_.frames.empty()) return;
  currentFrame_ = 1;
  runFrame(1);
}

void MovieClip::advance() {
  // Children that exist now move on first; what this frame places starts at its first frame.
  std::vector<DisplayObject*> existing;
  existing.reserve(children_.size());
  for (auto& [depth, child] : children_) existing.push_back(child.get());
  if (playing_ && frameCount() > 1) {
    if (currentFrame_ < frameCount()) {
      ++currentFrame_;
      runFrame(currentFrame_);
    } else {
      rewindTo(1);
    }
  }
  for (DisplayObject* child : existing) {
    // A child removed by this frame's tags is gone; only those still present advance.
    for (auto& [depth, present] : children_) {
      if (present.get() == child) {
        child->advance();
        break;
      }
    }
  }
}

void MovieClip::gotoFrame(int frame) {
  frame = std::clamp(frame, 1, std::max(1, frameCount()));
  if (frame == currentFrame_) return;
  if (frame < currentFrame_) {
    rewindTo(frame);
    return;
  }
  while (currentFrame_ < frame) runFrame(++currentFrame_);
}

int MovieClip::frameOfLabel(const std::string& label) const {
  auto same = [](const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
  };
  for (size_t i = 0; i < timeline_.frames.size(); ++i)
    for (const std::string& l : timeline_.frames[i].labels)
      if (same(l, label)) return int(i) + 1;
  return 0;
}

void MovieClip::runFrame(int frame) {
  if (frame < 1 || frame > frameCount()) return;
  for (const ControlTag& tag : timeline_.frames[size_t(frame) - 1].tags) {
    if (auto* p = std::get_if<PlaceObject>(&tag)) {
      place(*p, frame);
    } else if (auto* r = std::get_if<RemoveObject>(&tag)) {
      children_.erase(r->depth);
    } else if (auto* bg = std::get_if<SetBackgroundColor>(&tag)) {
      stage_.background = bg->color;
    } else if (auto* raw = std::get_if<RawTag>(&tag)) {
      if (stage_.onTag) stage_.onTag(*this, *raw);
    }
  }
}

namespace {

// Copies the fields a placement gives onto the object.
void applyPlacement(DisplayObject& o, const PlaceObject& p) {
  if (p.matrix) o.matrix = *p.matrix;
  if (p.colorTransform) o.colorTransform = *p.colorTransform;
  if (p.ratio) {
    o.ratio = *p.ratio;
    o.ratioChanged();
  }
  if (p.name) o.name = *p.name;
  if (p.clipDepth) o.clipDepth = *p.clipDepth;
  if (p.blendMode) o.blendMode = *p.blendMode;
  if (p.filters) o.filters = *p.filters;
  if (p.cacheAsBitmap) o.cacheAsBitmap = *p.cacheAsBitmap;
  if (p.visible) o.visible = *p.visible;
}

}  // namespace

void MovieClip::place(const PlaceObject& p, int frame) {
  auto it = children_.find(p.depth);
  if (!p.move) {
    // A new placement at an occupied depth is ignored, as the reference player does.
    if (it != children_.end() || !p.characterId) return;
    auto object = instantiate(stage_, *p.characterId, nesting_ + 1);
    if (!object) return;
    applyPlacement(*object, p);
    object->placedInFrame = frame;
    DisplayObject* raw = object.get();
    children_[p.depth] = std::move(object);
    if (auto* clip = dynamic_cast<MovieClip*>(raw)) clip->enterFirstFrame();
    return;
  }
  if (it == children_.end()) return;
  if (p.characterId && *p.characterId != it->second->characterId()) {
    // Replacing the character keeps the placement's properties unless the tag gives new ones.
    auto object = instantiate(stage_, *p.characterId, nesting_ + 1);
    if (!object) return;
    const DisplayObject& old = *it->second;
    object->matrix = old.matrix;
    object->colorTransform = old.colorTransform;
    object->ratio = old.ratio;
    object->name = old.name;
    object->clipDepth = old.clipDepth;
    object->blendMode = old.blendMode;
    object->filters = old.filters;
    object->visible = old.visible;
    object->placedInFrame = old.placedInFrame;
    applyPlacement(*object, p);
    object->ratioChanged();
    DisplayObject* raw = object.get();
    it->second = std::move(object);
    if (auto* clip = dynamic_cast<MovieClip*>(raw)) clip->enterFirstFrame();
    return;
  }
  applyPlacement(*it->second, p);
}

void MovieClip::rewindTo(int frame) {
  // What frames 1..frame build at each depth: the character, the frame that placed it and the
  // placements since. Objects that the rewound timeline still shows from the same placement are
  // kept (with the properties of that frame); the rest are removed or made anew.
  struct Slot {
    uint16_t characterId = 0;
    int placedInFrame = 0;
    std::vector<const PlaceObject*> placements;
  };
  std::map<int, Slot> slots;
  for (int f = 1; f <= frame && f <= frameCount(); ++f) {
    for (const ControlTag& tag : timeline_.frames[size_t(f) - 1].tags) {
      if (auto* p = std::get_if<PlaceObject>(&tag)) {
        auto it = slots.find(p->depth);
        if (!p->move) {
          if (it != slots.end() || !p->characterId) continue;
          slots[p->depth] = Slot{*p->characterId, f, {p}};
        } else if (it != slots.end()) {
          if (p->characterId && *p->characterId != it->second.characterId) {
            it->second.characterId = *p->characterId;
          }
          it->second.placements.push_back(p);
        }
      } else if (auto* r = std::get_if<RemoveObject>(&tag)) {
        slots.erase(r->depth);
      } else if (auto* bg = std::get_if<SetBackgroundColor>(&tag)) {
        stage_.background = bg->color;
      }
    }
  }
  for (auto it = children_.begin(); it != children_.end();) {
    auto slot = slots.find(it->first);
    bool keep = slot != slots.end() && slot->second.characterId == it->second->characterId() &&
                slot->second.placedInFrame == it->second->placedInFrame;
    it = keep ? std::next(it) : children_.erase(it);
  }
  for (auto& [depth, slot] : slots) {
    auto it = children_.find(depth);
    DisplayObject* object = nullptr;
    bool fresh = false;
    if (it == children_.end()) {
      auto made = instantiate(stage_, slot.characterId, nesting_ + 1);
      if (!made) continue;
      made->placedInFrame = slot.placedInFrame;
      object = made.get();
      children_[depth] = std::move(made);
      fresh = true;
    } else {
      object = it->second.get();
      // A kept object takes the properties the rewound frame gives it.
      object->matrix = Matrix{};
      object->colorTransform = ColorTransform{};
    }
    for (const PlaceObject* p : slot.placements) applyPlacement(*object, *p);
    if (fresh)
      if (auto* clip = dynamic_cast<MovieClip*>(object)) clip->enterFirstFrame();
  }
  currentFrame_ = frame;
  // Actions and sounds of the frame gone to run as when it is reached by playing.
  if (stage_.onTag)
    for (const ControlTag& tag : timeline_.frames[size_t(frame) - 1].tags)
      if (auto* raw = std::get_if<RawTag>(&tag)) stage_.onTag(*this, *raw);
}

}  // namespace vorlo::player
