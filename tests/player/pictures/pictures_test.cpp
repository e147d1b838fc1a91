// Movies written as assembler texts, played and drawn, against pictures reviewed by eye and kept
// beside them: each fill, line style, morph, bitmap format, font and text kind, colour transform,
// mask, blend mode, filter and scale mode. The same pictures hold for the Linux and Windows builds;
// a difference of 2 per channel is allowed for the system maths libraries' last bits.
// VORLO_WRITE_PICTURES=1 writes the pictures anew (then look at them before committing).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "player/player.h"
#include "tools/play/picture.h"
#include "tools/swf/assembler.h"

namespace vorlo::player {
namespace {

const std::string kDir = VORLO_PICTURES_DIR;

struct Case {
  const char* text;     // NAME.txt
  const char* picture;  // PICTURE.png
  int frames, width, height;
  ScaleMode scale;
  Quality quality;
};

const Case kCases[] = {
    {"fills", "fills", 1, 320, 240, ScaleMode::ShowAll, Quality::High},
    {"fills", "fills-low", 1, 320, 240, ScaleMode::ShowAll, Quality::Low},
    {"fills", "scale-show-all", 1, 240, 120, ScaleMode::ShowAll, Quality::High},
    {"fills", "scale-no-border", 1, 240, 120, ScaleMode::NoBorder, Quality::High},
    {"fills", "scale-exact-fit", 1, 240, 120, ScaleMode::ExactFit, Quality::High},
    {"fills", "scale-no-scale", 1, 240, 120, ScaleMode::NoScale, Quality::Medium},
    {"lines", "lines", 1, 320, 240, ScaleMode::ShowAll, Quality::High},
    {"morph_bitmaps", "morph_bitmaps", 1, 320, 240, ScaleMode::ShowAll, Quality::High},
    {"text", "text", 1, 320, 200, ScaleMode::ShowAll, Quality::High},
    {"compose", "compose", 1, 320, 240, ScaleMode::ShowAll, Quality::High},
    {"filters", "filters", 1, 320, 240, ScaleMode::ShowAll, Quality::High},
};

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(Pictures, MoviesDrawAsReviewed) {
  bool write = std::getenv("VORLO_WRITE_PICTURES") != nullptr;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.picture);
    std::string error;
    std::vector<uint8_t> swf;
    ASSERT_TRUE(swfasm::assembleSwf(readText(kDir + "/" + c.text + ".txt"), swf, error)) << c.text << ": " << error;
    Player player;
    ASSERT_TRUE(player.load(swf, &error)) << error;
    EXPECT_TRUE(player.warnings().empty()) << player.warnings().front();
    for (int f = 1; f < c.frames; ++f) player.advance();
    Surface surface(c.width, c.height);
    player.render(surface, c.scale, c.quality);
    std::string expectedPath = kDir + "/" + c.picture + ".png";
    if (write) {
      ASSERT_TRUE(play::writePicture(expectedPath, surface, error)) << error;
      continue;
    }
    RgbaImage expected;
    ASSERT_TRUE(readPngFile(expectedPath, &expected, &error)) << error;
    RgbaImage actual = play::pictureOf(surface);
    ASSERT_EQ(actual.width, expected.width);
    ASSERT_EQ(actual.height, expected.height);
    size_t off = 0, worst = 0;
    for (size_t i = 0; i < actual.pixels.size(); i += 4) {
      int diff = 0;
      for (size_t k = 0; k < 4; ++k) diff = std::max(diff, std::abs(actual.pixels[i + k] - expected.pixels[i + k]));
      worst = std::max(worst, size_t(diff));
      if (diff > 2) ++off;
    }
    EXPECT_EQ(off, 0u) << "pixels off by more than 2 (worst " << worst << ")";
  }
}

}  // namespace
}  // namespace vorlo::player
