// A timeline on the stage: the movie's main timeline or a sprite's. It owns its children and runs
// its frames' control tags as the playhead moves.
#pragma once
#include <functional>
#include <string>

#include "player/display/display_object.h"
#include "player/display/input_state.h"

namespace vorlo::player {

struct StageContext;

class MovieClip : public DisplayObject {
 public:
  MovieClip(StageContext& stage, uint16_t characterId, const Timeline& timeline, int nesting);

  const DisplayList* children() const override { return &children_; }
  DisplayList& mutableChildren() { return children_; }
  Rect ownBounds() const override { return {}; }
  void advance() override;

  int currentFrame() const { return currentFrame_; }  // 1-based; 0 before the first frame ran
  int frameCount() const { return int(timeline_.frames.size()); }
  bool playing() const { return playing_; }
  void play() { playing_ = true; }
  void stop() { playing_ = false; }
  // Moves the playhead; frames are 1-based and clamped to the timeline.
  void gotoFrame(int frame);
  // The frame that carries `label` (compared without regard to case), or 0.
  int frameOfLabel(const std::string& label) const;
  // The frames this clip plays (scripts call a frame's actions and find what placed a child).
  const Timeline& timeline() const { return timeline_; }
  int nesting() const { return nesting_; }
  // Runs the first frame: called once when the clip is placed (or the movie starts).
  void enterFirstFrame();

 private:
  void runFrame(int frame);  // the control tags of one frame (1-based), in order
  void place(const PlaceObject& tag, int frame);
  void rewindTo(int frame);

  StageContext& stage_;
  const Timeline& timeline_;
  int nesting_;
  int currentFrame_ = 0;
  bool playing_ = true;
  DisplayList children_;
};

// What every timeline on one stage shares: the movie, the background colour and the tags that the
// display layer does not interpret itself (actions, sounds), handed to whoever listens.
struct StageContext {
  const Movie* movie = nullptr;
  Rgba background{255, 255, 255, 255};
  std::vector<std::string> warnings;
  std::function<void(MovieClip& clip, const RawTag& tag)> onTag;  // may be empty
  InputState input;
  // Refuses runaway structures: timelines nested deeper than this are not instantiated.
  static constexpr int kMaxNesting = 64;
  void warn(std::string text);
};

// Makes the object that a placement of character `id` shows, or null (unknown id, a character
// that cannot be placed, nesting beyond the limit).
std::unique_ptr<DisplayObject> instantiate(StageContext& stage, uint16_t id, int nesting);

}  // namespace vorlo::player
