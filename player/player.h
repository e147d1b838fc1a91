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
#include "player/swf/movie.h"

namespace vorlo::player {

enum class ScaleMode : uint8_t { ShowAll, NoBorder, ExactFit, NoScale };

class Player {
 public:
  Player();
  ~Player();

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
  void setTagHandler(std::function<void(MovieClip&, const RawTag&)> handler) { stage_.onTag = std::move(handler); }
  Rgba backgroundColor() const { return stage_.background; }

 private:
  std::unique_ptr<Movie> movie_;
  StageContext stage_;
  std::unique_ptr<MovieClip> root_;
};

}  // namespace vorlo::player
