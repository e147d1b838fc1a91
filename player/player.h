// The movie player's core as one object: load a movie's bytes, advance one frame at a time, and
// render the stage into a pixel buffer of any size.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "player/display/movie_clip.h"
#include "player/render/renderer.h"
#include "player/swf/imports.h"
#include "player/swf/movie.h"

namespace vorlo::player {

enum class ScaleMode : uint8_t { ShowAll, NoBorder, ExactFit, NoScale };

namespace avm1 {
class Vm;
class ClipObject;
struct Code;
}  // namespace avm1

class Player {
 public:
  Player();
  ~Player();

  // Where the movie's imports (and, through the scripts, the movies and data it loads) come from;
  // without a source nothing is loaded. Set before `load`.
  void setMovieSource(MovieSource source) { source_ = std::move(source); }
  // Reads the movie and runs its first frame. False, with `error` set, when nothing could be read.
  bool load(std::span<const uint8_t> bytes, std::string* error);
  bool loaded() const { return movie_ != nullptr; }

  // One frame of time.
  void advance();
  // Draws the stage into `target` (its size is the stage size): the background, then the movie
  // placed by the scale mode, centred.
  void render(Surface& target, ScaleMode scale, Quality quality);
  // The matrix from the movie's twips to the stage's pixels for a stage of this size.
  Matrix stageMatrix(int width, int height, ScaleMode scale) const;

  const Movie& movie() const { return *movie_; }
  MovieClip& root() { return *root_; }
  int frameRateMillis() const;
  // Damage met while reading and playing, in order, without repeats.
  std::vector<std::string> warnings() const;
  // Called for every tag the display layer does not interpret (actions, sounds).
  void setTagHandler(std::function<void(MovieClip&, const RawTag&)> handler) { tagHandler_ = std::move(handler); }
  Rgba backgroundColor() const { return stage_.background; }

  // Where the movie's trace() output goes (one call per trace, UTF-8, without a line end).
  void setTraceHandler(std::function<void(const std::string& utf8)> handler) { traceHandler_ = std::move(handler); }
  // fscommand(command, args) calls (getURL of "FSCommand:command"); "quit" also ends the run.
  void setFsCommandHandler(std::function<void(const std::string& command, const std::string& args)> handler) {
    fsCommandHandler_ = std::move(handler);
  }
  // True once the movie asked to quit; the frame that asked ran to its end.
  bool quitRequested() const { return quit_; }
  // The script machine, once a movie is loaded (null before).
  avm1::Vm* scripts() { return vm_.get(); }

 private:
  void onTag(MovieClip& clip, const RawTag& tag);
  void initNewClips(DisplayObject& object, DisplayObject* parent, int depth);
  void runScripts();
  void runEnterFrame(DisplayObject& object);
  void runClipEvent(avm1::ClipObject* clip, uint32_t event);
  double elapsedMillis() const;

  struct QueuedCode;
  std::unique_ptr<Movie> movie_;
  StageContext stage_;
  std::unique_ptr<MovieClip> root_;
  std::unique_ptr<avm1::Vm> vm_;
  std::vector<QueuedCode> queue_;
  std::vector<QueuedCode> initQueue_;
  std::vector<uint16_t> initDone_;
  MovieSource source_;
  std::function<void(MovieClip&, const RawTag&)> tagHandler_;
  std::function<void(const std::string&)> traceHandler_;
  std::function<void(const std::string&, const std::string&)> fsCommandHandler_;
  bool quit_ = false;
  long frames_ = 0;
  int instanceCount_ = 0;
};

}  // namespace vorlo::player
