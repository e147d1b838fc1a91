// Milliseconds per frame for real movies: each movie named on the command line (or every .swf in
// a folder named there) plays FRAMES frames (scripts included, untimed), and every frame is drawn
// at 800x600 and at 1920x1080; the table gives the median and the maximum render time per frame
// (process CPU time) next to the floor: a full-frame clear of the same buffer, measured in the
// same run just before each movie's frames.
//
//   player_movie_bench [--frames N] [--repeat R] MOVIE.swf|FOLDER...
//
// Each frame is drawn R times (default 3) and its fastest time kept: the machine is shared, and
// the fastest of a few is the least disturbed.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "player/player.h"

namespace {

double cpuMillis() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

template <class F>
double fastest(int repeat, F&& f) {
  double best = 1e300;
  for (int i = 0; i < repeat; ++i) {
    double start = cpuMillis();
    f();
    best = std::min(best, cpuMillis() - start);
  }
  return best;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Size {
  int w, h;
};

}  // namespace

int main(int argc, char** argv) {
  using namespace vorlo::player;
  int frames = 10, repeat = 3;
  std::vector<std::filesystem::path> movies;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--frames" && i + 1 < argc) {
      frames = std::max(1, std::atoi(argv[++i]));
    } else if (a == "--repeat" && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else if (std::filesystem::is_directory(a)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(a))
        if (e.path().extension() == ".swf") movies.push_back(e.path());
    } else {
      movies.emplace_back(a);
    }
  }
  if (movies.empty()) {
    std::fprintf(stderr, "usage: player_movie_bench [--frames N] [--repeat R] MOVIE.swf|FOLDER...\n");
    return 1;
  }
  std::sort(movies.begin(), movies.end());
  const Size sizes[] = {{800, 600}, {1920, 1080}};
  std::printf("| movie | 800x600 median | max | floor | 1920x1080 median | max | floor |\n");
  std::printf("|---|---|---|---|---|---|---|\n");
  for (const auto& path : movies) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string name = path.filename().string();
    if (name == "test.swf") name = path.parent_path().filename().string();
    std::printf("| %s", name.c_str());
    for (const Size& size : sizes) {
      Player player;
      std::string error;
      if (!player.load(bytes, &error)) {
        std::printf(" | unreadable | | ");
        continue;
      }
      Surface surface(size.w, size.h);
      double floor = fastest(repeat * 3, [&] { surface.clear(0xFF000000u); });
      std::vector<double> times;
      for (int f = 0; f < frames; ++f) {
        if (f > 0) player.advance();
        times.push_back(fastest(repeat, [&] { player.render(surface, ScaleMode::ShowAll, Quality::High); }));
      }
      std::printf(" | %.3f | %.3f | %.3f", median(times), *std::max_element(times.begin(), times.end()), floor);
    }
    std::printf(" |\n");
    std::fflush(stdout);
  }
  return 0;
}
