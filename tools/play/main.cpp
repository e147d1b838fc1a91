// vorlo-play: plays a movie without a window, writes frames as PNG pictures, times the renderer.
#include <algorithm>
#include <chrono>
#include <new>
#include <cstdio>
#include <string>
#include <vector>

#include "player/swf/local_files.h"
#include "tools/play/play_options.h"
#include "tools/play/picture.h"
#include "util/file.h"
#include "util/platform.h"

#ifdef _WIN32
#include <windows.h>

#include "tools/play/window_player.h"
#include "util/text.h"
#endif

namespace vorlo::play {
namespace {

bool readWhole(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  if (os::isFolder(path)) {
    error = path + ": a folder, not a movie";
    return false;
  }
  File file;
  if (!file.open(path, File::Mode::Read)) {
    error = path + ": " + os::lastErrorText();
    return false;
  }
  // Movies beyond this are not what a player loads; refusing them keeps memory bounded.
  constexpr uint64_t kMaxMovieBytes = 512u << 20;
  uint64_t size = file.size();
  if (size > kMaxMovieBytes) {
    error = path + ": larger than 512 MB";
    return false;
  }
  bytes.resize(size_t(size));
  if (!file.readExact(bytes.data(), bytes.size())) {
    error = path + ": cannot be read";
    return false;
  }
  return true;
}

std::string framePath(const std::string& folder, int frame) {
  char name[32];
  std::snprintf(name, sizeof name, "frame-%04d.png", frame);
  return folder + os::kPathSeparator + name;
}

int run(const std::vector<std::string>& args) {
  Options options;
  if (auto usage = parseOptions(args, options)) {
    std::fprintf(stderr, "vorlo-play: %s\n%s", usage->c_str(), kUsage);
    return 2;
  }
#ifdef _WIN32
  if (options.windowed()) return playInWindow(options.movie);
#endif
  std::vector<uint8_t> bytes;
  std::string error;
  if (!readWhole(options.movie, bytes, error)) {
    std::fprintf(stderr, "vorlo-play: %s\n", error.c_str());
    return 1;
  }
  player::Player player;
  // The movie's imports come from files beside it, never from elsewhere.
  size_t slash = options.movie.find_last_of(os::kPathSeparator == '\\' ? "\\/" : "/");
  player.setMovieSource(player::localFiles(slash == std::string::npos ? "." : options.movie.substr(0, slash == 0 ? 1 : slash)));
  player.setTraceHandler([](const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
  });
  if (!player.load(bytes, &error)) {
    std::fprintf(stderr, "vorlo-play: %s: %s\n", options.movie.c_str(), error.c_str());
    return 1;
  }
  if (!options.pngEvery.empty() && !os::isFolder(options.pngEvery) && !os::createFolder(options.pngEvery)) {
    std::fprintf(stderr, "vorlo-play: cannot make the folder %s\n", options.pngEvery.c_str());
    return 1;
  }
  int width, height;
  if (options.size) {
    std::tie(width, height) = *options.size;
  } else {
    const player::Rect& frame = player.movie().header.frameSize;
    width = std::clamp(int((frame.xMax - frame.xMin) / 20 + 0.5), 1, 16384);
    height = std::clamp(int((frame.yMax - frame.yMin) / 20 + 0.5), 1, 16384);
  }
  player::Surface surface(width, height);
  std::vector<double> times;
  for (int frame = 1; frame <= options.frames; ++frame) {
    if (frame > 1) player.advance();
    bool last = frame == options.frames || player.quitRequested();
    bool draw = options.time || !options.pngEvery.empty() || (last && !options.png.empty());
    if (draw) {
      auto start = std::chrono::steady_clock::now();
      player.render(surface, options.scale, options.quality);
      times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    if (!options.time) {
      std::string out = !options.pngEvery.empty() ? framePath(options.pngEvery, frame) : "";
      if (!out.empty() && !writePicture(out, surface, error)) {
        std::fprintf(stderr, "vorlo-play: %s\n", error.c_str());
        return 1;
      }
      if (last && !options.png.empty() && !writePicture(options.png, surface, error)) {
        std::fprintf(stderr, "vorlo-play: %s\n", error.c_str());
        return 1;
      }
    }
    if (last) break;
  }
  std::fflush(stdout);
  for (const std::string& w : player.warnings()) std::fprintf(stderr, "vorlo-play: warning: %s\n", w.c_str());
  if (options.time && !times.empty()) {
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    std::fprintf(stderr, "%d frames at %dx%d: median %.3f ms, maximum %.3f ms per frame\n", int(times.size()), width,
                 height, sorted[sorted.size() / 2], sorted.back());
  }
  return 0;
}

}  // namespace

// Memory that is not there (a huge stage or movie in a 32-bit process) is an error, not a crash.
int runGuarded(const std::vector<std::string>& args) {
  try {
    return run(args);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "vorlo-play: out of memory\n");
    return 1;
  }
}

}  // namespace vorlo::play

#ifdef _WIN32
// The wide command line: movie and picture names outside the code page arrive intact.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(vorlo::utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
  return vorlo::play::runGuarded(args);
}
#else
int main(int argc, char** argv) { return vorlo::play::runGuarded(std::vector<std::string>(argv + 1, argv + argc)); }
#endif
