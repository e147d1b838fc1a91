// The command line of vorlo-play.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "player/player.h"

namespace vorlo::play {

struct Options {
  std::string movie;
  int frames = 1;
  bool framesGiven = false;
  std::string png;       // the last frame's picture
  std::string pngEvery;  // a folder for every frame's picture
  std::optional<std::pair<int, int>> size;
  player::ScaleMode scale = player::ScaleMode::ShowAll;
  player::Quality quality = player::Quality::High;
  bool time = false;
  // Nothing asks for frames without a window: on Windows the movie plays in one.
  bool windowed() const { return !framesGiven && png.empty() && pngEvery.empty() && !time; }
};

// Reads the arguments (without the program name). Returns an error text for a usage error.
std::optional<std::string> parseOptions(const std::vector<std::string>& args, Options& out);
extern const char* const kUsage;

}  // namespace vorlo::play
