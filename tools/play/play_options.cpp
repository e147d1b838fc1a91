#include "tools/play/play_options.h"

#include <charconv>
#include <cstdint>

namespace vorlo::play {

const char* const kUsage =
    "usage: vorlo-play MOVIE.swf [--frames N] [--png OUT.png] [--png-every DIR] [--size WxH]\n"
    "                  [--scale show-all|no-border|exact-fit|no-scale] [--quality low|medium|high] [--time]\n"
    "Plays N frames (frame 1 is the first) without a window. --png writes the last frame, --png-every\n"
    "writes DIR/frame-0001.png and on; --time renders every frame and prints the median and maximum\n"
    "render time per frame on standard error. The stage is the movie's size unless --size gives one.\n"
    "On Windows, without --frames, --png, --png-every and --time the movie plays in a window.\n"
    "The movie's trace output goes to standard output.\n";

namespace {

bool parseInt(const std::string& text, int& out, int low, int high) {
  int v = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < low || v > high) return false;
  out = v;
  return true;
}

}  // namespace

std::optional<std::string> parseOptions(const std::vector<std::string>& args, Options& out) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](std::string& v) -> bool {
      if (i + 1 >= args.size()) return false;
      v = args[++i];
      return true;
    };
    std::string v;
    if (a == "--frames") {
      if (!value(v) || !parseInt(v, out.frames, 1, 1000000)) return "--frames needs a count from 1 to 1000000";
      out.framesGiven = true;
    } else if (a == "--png") {
      if (!value(out.png) || out.png.empty()) return "--png needs a file name";
    } else if (a == "--png-every") {
      if (!value(out.pngEvery) || out.pngEvery.empty()) return "--png-every needs a folder";
    } else if (a == "--size") {
      size_t x = value(v) ? v.find('x') : std::string::npos;
      int w = 0, h = 0;
      if (x == std::string::npos || !parseInt(v.substr(0, x), w, 1, 16384) || !parseInt(v.substr(x + 1), h, 1, 16384))
        return "--size needs WIDTHxHEIGHT, each from 1 to 16384";
      // A stage is one buffer of 4 bytes a pixel; a 32-bit process must be able to hold it.
      if (int64_t(w) * h > (int64_t(1) << 26)) return "--size gives more than 67,108,864 pixels";
      out.size = std::make_pair(w, h);
    } else if (a == "--scale") {
      if (!value(v)) return "--scale needs show-all, no-border, exact-fit or no-scale";
      if (v == "show-all") out.scale = player::ScaleMode::ShowAll;
      else if (v == "no-border") out.scale = player::ScaleMode::NoBorder;
      else if (v == "exact-fit") out.scale = player::ScaleMode::ExactFit;
      else if (v == "no-scale") out.scale = player::ScaleMode::NoScale;
      else return "--scale needs show-all, no-border, exact-fit or no-scale, not \"" + v + "\"";
    } else if (a == "--quality") {
      if (!value(v)) return "--quality needs low, medium or high";
      if (v == "low") out.quality = player::Quality::Low;
      else if (v == "medium") out.quality = player::Quality::Medium;
      else if (v == "high") out.quality = player::Quality::High;
      else return "--quality needs low, medium or high, not \"" + v + "\"";
    } else if (a == "--time") {
      out.time = true;
    } else if (!a.empty() && a[0] == '-') {
      return "unknown option " + a;
    } else if (out.movie.empty()) {
      out.movie = a;
    } else {
      return "one movie at a time (" + out.movie + ", " + a + ")";
    }
  }
  if (out.movie.empty()) return "no movie given";
  return std::nullopt;
}

}  // namespace vorlo::play
