// The visual conformance cases: each movie played for its frames and drawn at its stage size, compared
// with the expected picture. The pictures come from another player's GPU renderer, so the rule
// accepts anti-aliasing differences at edges: at least 99 % of pixels within 24 per channel.
// expected.tsv says which cases pass; a case that changes either way fails the test, so the table
// stays true. Our pictures are written beside the build for looking at the differences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "player/player.h"
#include "tools/play/picture.h"

namespace vorlo::player {
namespace {

namespace fs = std::filesystem;

const fs::path kCases = VORLO_VISUAL_CASES;
const fs::path kActual = VORLO_VISUAL_ACTUAL;

struct CaseSettings {
  int frames = 1;
  int width = 0, height = 0;  // the movie's size unless the case gives a viewport
  Quality quality = Quality::High;
};

std::string readText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The few settings the cases use, read from their TOML text.
CaseSettings readSettings(const std::string& toml) {
  CaseSettings s;
  auto number = [&](const std::string& key, int& out) {
    size_t at = toml.find(key);
    if (at == std::string::npos) return;
    at = toml.find_first_of("0123456789", at + key.size());
    if (at != std::string::npos) out = std::atoi(toml.c_str() + at);
  };
  number("num_frames", s.frames);
  number("num_ticks", s.frames);
  number("width", s.width);
  number("height", s.height);
  if (toml.find("quality = \"low\"") != std::string::npos) s.quality = Quality::Low;
  if (toml.find("quality = \"medium\"") != std::string::npos) s.quality = Quality::Medium;
  return s;
}

struct Comparison {
  double closeShare = 0;  // pixels within the tolerance, 0..1
  int worst = 0;
};

Comparison compare(const RgbaImage& actual, const RgbaImage& expected) {
  Comparison c;
  if (actual.width != expected.width || actual.height != expected.height) return c;
  size_t close = 0, count = size_t(actual.width) * size_t(actual.height);
  if (count == 0) return c;
  for (size_t i = 0; i < count; ++i) {
    int diff = 0;
    for (size_t k = 0; k < 4; ++k)
      diff = std::max(diff, std::abs(int(actual.pixels[i * 4 + k]) - int(expected.pixels[i * 4 + k])));
    c.worst = std::max(c.worst, diff);
    if (diff <= 24) ++close;
  }
  c.closeShare = count ? double(close) / double(count) : 0;
  return c;
}

std::map<std::string, bool> expectedTable() {
  std::map<std::string, bool> table;
  std::istringstream in(readText(fs::path(VORLO_VISUAL_TABLE)));
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    size_t tab = line.find('\t');
    if (tab == std::string::npos) continue;
    table[line.substr(0, tab)] = line.compare(tab + 1, 4, "pass") == 0;
  }
  return table;
}

TEST(VisualCases, MatchTheTableOfPassingCases) {
  auto table = expectedTable();
  std::vector<fs::path> cases;
  for (const auto& entry : fs::directory_iterator(kCases))
    if (entry.is_directory()) cases.push_back(entry.path());
  std::sort(cases.begin(), cases.end());
  ASSERT_FALSE(cases.empty());
  fs::create_directories(kActual);
  for (const fs::path& dir : cases) {
    std::string name = dir.filename().string();
    SCOPED_TRACE(name);
    auto listed = table.find(name);
    ASSERT_NE(listed, table.end()) << "not in expected.tsv";
    std::string bytes = readText(dir / "test.swf");
    CaseSettings settings = readSettings(readText(dir / "test.toml"));
    Player player;
    std::string error;
    ASSERT_TRUE(player.load(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), &error))
        << error;
    for (int f = 1; f < settings.frames && !player.quitRequested(); ++f) player.advance();
    const Rect& frame = player.movie().header.frameSize;
    int width = settings.width ? settings.width : int((frame.xMax - frame.xMin) / 20 + 0.5);
    int height = settings.height ? settings.height : int((frame.yMax - frame.yMin) / 20 + 0.5);
    Surface surface(width, height);
    player.render(surface, ScaleMode::ShowAll, settings.quality);
    ASSERT_TRUE(play::writePicture((kActual / (name + ".png")).string(), surface, error)) << error;
    RgbaImage expected;
    ASSERT_TRUE(readPngFile((dir / "output.expected.png").string(), &expected, &error)) << error;
    Comparison c = compare(play::pictureOf(surface), expected);
    bool passes = c.closeShare >= 0.99;
    std::printf("%-58s %6.2f %% close, worst %3d  %s\n", name.c_str(), c.closeShare * 100, c.worst,
                passes ? "pass" : "FAIL");
    EXPECT_EQ(passes, listed->second) << (passes ? "passes now: mark it so in expected.tsv"
                                                 : "no longer passes");
  }
}

}  // namespace
}  // namespace vorlo::player
