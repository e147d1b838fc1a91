// The GIF reader: pictures written by another program decode to that program's own pixels;
// damaged and hostile files give what could be decoded, or a reason, never a crash.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "util/gif/gif_reader.h"

namespace vorlo::gif {
namespace {

std::vector<uint8_t> picture(const std::string& name) {
  std::ifstream in(std::string(GIF_PICTURES) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint64_t digest(const std::vector<uint8_t>& rgba) {
  uint64_t h = 14695981039346656037ull;
  for (uint8_t b : rgba) h = (h ^ b) * 1099511628211ull;
  return h;
}

TEST(GifReader, DecodesAsTheWritingProgramDoes) {
  const struct {
    const char* file;
    int width, height;
    uint64_t digest;
  } cases[] = {
      {"plain.gif", 5, 3, 0xa044906a742e8de9ull},
      {"interlaced.gif", 40, 23, 0x09a246b30c0580daull},
      {"transparent.gif", 4, 4, 0x482491fcf2d60a01ull},
      {"offset.gif", 6, 5, 0x2d3ebdfb3205e589ull},  // a 3x2 image at 2,1 of a 6x5 screen
      {"big.gif", 160, 100, 0x91137fe95f637616ull},  // 256 colours: the code table fills and is cleared
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    auto bytes = picture(c.file);
    ASSERT_FALSE(bytes.empty());
    Image image;
    std::string problem;
    ASSERT_EQ(decode(bytes, 8191, 1u << 24, image, problem), Status::Ok) << problem;
    EXPECT_EQ(image.width, c.width);
    EXPECT_EQ(image.height, c.height);
    EXPECT_EQ(digest(image.rgba), c.digest);
  }
  // The plain picture read by hand: red, a blue pixel at 1,1 and a green one at 4,2.
  Image image;
  std::string problem;
  ASSERT_EQ(decode(picture("plain.gif"), 8191, 1u << 24, image, problem), Status::Ok);
  auto at = [&](int x, int y) { return std::vector<uint8_t>(&image.rgba[(y * 5 + x) * 4], &image.rgba[(y * 5 + x) * 4 + 4]); };
  EXPECT_EQ(at(0, 0), (std::vector<uint8_t>{255, 0, 0, 255}));
  EXPECT_EQ(at(1, 1), (std::vector<uint8_t>{0, 0, 255, 255}));
  EXPECT_EQ(at(4, 2), (std::vector<uint8_t>{0, 255, 0, 255}));
}

TEST(GifReader, DamagedAndHostilePicturesAreRefusedOrPartial) {
  auto big = picture("big.gif");
  ASSERT_GT(big.size(), 10000u);
  Image image;
  std::string problem;
  // Cut short: the rows before the cut are there.
  std::vector<uint8_t> cut(big.begin(), big.begin() + std::ptrdiff_t(big.size() / 2));
  EXPECT_EQ(decode(cut, 8191, 1u << 24, image, problem), Status::Partial);
  EXPECT_EQ(problem, "the GIF picture data ends early or is damaged");
  ASSERT_EQ(image.rgba.size(), 160u * 100u * 4u);
  EXPECT_EQ(image.rgba[3], 255) << "the first row was decoded";
  EXPECT_EQ(image.rgba.back(), 0) << "the last row was not";
  // Every cut and many corruptions: no crash, and a reason whenever the answer is not Ok.
  for (size_t n = 0; n < big.size(); n += 97) {
    std::vector<uint8_t> part(big.begin(), big.begin() + std::ptrdiff_t(n));
    problem.clear();
    if (decode(part, 8191, 1u << 24, image, problem) != Status::Ok) {
      EXPECT_FALSE(problem.empty()) << n;
    }
  }
  for (size_t k = 13; k < big.size(); k += 131) {
    std::vector<uint8_t> bad = big;
    bad[k] ^= 0xA5;
    decode(bad, 8191, 1u << 24, image, problem);
  }
  // A screen of 60000 x 60000 pixels is refused before anything is allocated.
  std::vector<uint8_t> huge = picture("plain.gif");
  huge[6] = huge[8] = 0x60;
  huge[7] = huge[9] = 0xEA;
  EXPECT_EQ(decode(huge, 8191, 1u << 24, image, problem), Status::TooLarge);
  EXPECT_EQ(image.width, 60000);
  EXPECT_TRUE(image.rgba.empty());
  EXPECT_EQ(decode(std::vector<uint8_t>(64, 'G'), 8191, 1u << 24, image, problem), Status::Failed);
  EXPECT_EQ(problem, "not a GIF picture");
}

}  // namespace
}  // namespace vorlo::gif
