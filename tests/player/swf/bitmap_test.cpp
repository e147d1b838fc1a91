// Bitmaps: every lossless format decoded to exact premultiplied pixels, JPEG images within the
// codec's tolerance, with tables, alpha planes and the stray marker pair of old files.
#include <png.h>
#include <zlib.h>

#include <cstdlib>

#include "tests/player/swf/swf_fixture.h"

namespace vorlo::player::testing {
namespace {

struct LosslessCase {
  const char* name;
  const char* bitmap;  // the statement, character 1
  int width, height;
  std::vector<uint32_t> pixels;
  bool opaque;
};

TEST(BitmapReader, LosslessFormatsDecodeToExactPixels) {
  const LosslessCase cases[] = {
      {"24-bit", "bitmap 1 format=24 width=2 height=2 { ; row #ff0000 #00ff00 ; row #0000ff #123456 ; }", 2, 2,
       {argb(255, 255, 0, 0), argb(255, 0, 255, 0), argb(255, 0, 0, 255), argb(255, 0x12, 0x34, 0x56)}, true},
      {"15-bit with row padding", "bitmap 1 format=15 width=3 height=2 { ; row #ff0000 #808080 #0000ff ; row #000000 #ffffff #00ff00 ; }",
       3, 2,
       {argb(255, 255, 0, 0), argb(255, 132, 132, 132), argb(255, 0, 0, 255), argb(255, 0, 0, 0),
        argb(255, 255, 255, 255), argb(255, 0, 255, 0)},
       true},
      {"colour-mapped with row padding", "bitmap 1 format=8 width=3 height=2 { ; row #ff0000 #00ff00 #ff0000 ; row #0000ff #0000ff #00ff00 ; }",
       3, 2,
       {argb(255, 255, 0, 0), argb(255, 0, 255, 0), argb(255, 255, 0, 0), argb(255, 0, 0, 255),
        argb(255, 0, 0, 255), argb(255, 0, 255, 0)},
       true},
      {"colour-mapped with alpha", "bitmap 1 format=8 version=2 width=2 height=1 { ; row #ff000080 #00000000 ; }", 2, 1,
       {argb(128, 128, 0, 0), 0}, false},
      {"32-bit premultiplied from straight colours", "bitmap 1 format=32 width=3 height=1 { ; row #ff000080 #ffffffff #00000000 ; }",
       3, 1, {argb(128, 128, 0, 0), argb(255, 255, 255, 255), 0}, false},
      {"32-bit stored colour above its alpha is clamped",
       "bitmap 1 format=32 width=2 height=1 premultiplied { ; row #ff800080 #40404040 ; }", 2, 1,
       {argb(128, 128, 128, 0), argb(0x40, 0x40, 0x40, 0x40)}, false},
      {"pattern", "bitmap 1 format=24 width=4 height=1 pattern=checker:#000000,#ffffff,2", 4, 1,
       {argb(255, 0, 0, 0), argb(255, 0, 0, 0), argb(255, 255, 255, 255), argb(255, 255, 255, 255)}, true},
  };
  for (const LosslessCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = readClean(std::string("movie\n") + c.bitmap + "\n");
    ASSERT_TRUE(m);
    const Bitmap& b = character<Bitmap>(*m, 1);
    EXPECT_EQ(b.width, c.width);
    EXPECT_EQ(b.height, c.height);
    EXPECT_EQ(b.pixels, c.pixels);
    EXPECT_EQ(b.opaque, c.opaque);
  }
}

// Within `tolerance` per channel of the straight colour `expected`.
void expectNear(uint32_t pixel, uint32_t expected, int tolerance) {
  for (int shift = 0; shift < 32; shift += 8) {
    int a = int(pixel >> shift & 0xFF), b = int(expected >> shift & 0xFF);
    EXPECT_LE(std::abs(a - b), tolerance) << std::hex << "pixel " << pixel << " expected " << expected;
  }
}

TEST(BitmapReader, JpegImagesOfEveryTag) {
  struct Case {
    const char* name;
    const char* statements;
  };
  const Case cases[] = {
      {"DefineBitsJPEG2", "jpeg 1 version=2 width=16 height=16 pattern=checker:#ff0000,#0000ff,8 quality=95"},
      {"DefineBits with JPEGTables",
       "jpeg 2 version=1 width=8 height=8 pattern=solid:#00ff00\n"
       "jpeg 1 version=1 width=16 height=16 pattern=checker:#ff0000,#0000ff,8"},
      {"stray end and start markers", "jpeg 1 version=2 straypair width=16 height=16 pattern=checker:#ff0000,#0000ff,8"},
      {"DefineBitsJPEG3 without alpha", "jpeg 1 version=3 width=16 height=16 pattern=checker:#ff0000,#0000ff,8"},
      {"DefineBitsJPEG4", "jpeg 1 version=4 deblock=256 width=16 height=16 pattern=checker:#ff0000,#0000ff,8"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto m = readClean(std::string("movie\n") + c.statements + "\n");
    ASSERT_TRUE(m);
    const Bitmap& b = character<Bitmap>(*m, 1);
    ASSERT_EQ(b.width, 16);
    ASSERT_EQ(b.height, 16);
    EXPECT_TRUE(b.opaque);
    expectNear(b.at(2, 2), argb(255, 255, 0, 0), 24);
    expectNear(b.at(12, 3), argb(255, 0, 0, 255), 24);
    expectNear(b.at(12, 12), argb(255, 255, 0, 0), 24);
  }
}

TEST(BitmapReader, JpegAlphaPlaneIsPremultiplied) {
  auto m = readClean(R"(movie
jpeg 1 version=3 width=2 height=2 pattern=solid:#ffffff quality=100 {
  alpha 255 128
  alpha 0 64
}
jpeg 2 version=3 width=4 height=4 pattern=solid:#ff0000 alpha=128
)");
  ASSERT_TRUE(m);
  const Bitmap& b = character<Bitmap>(*m, 1);
  EXPECT_FALSE(b.opaque);
  expectNear(b.at(0, 0), argb(255, 255, 255, 255), 2);
  expectNear(b.at(1, 0), argb(128, 128, 128, 128), 2);
  EXPECT_EQ(b.at(0, 1), 0u);
  expectNear(b.at(1, 1), argb(64, 64, 64, 64), 2);
  expectNear(character<Bitmap>(*m, 2).at(3, 3), argb(128, 128, 0, 0), 6);
}

// A PNG file of `width` x `height` straight RGBA pixels, written by libpng.
std::vector<uint8_t> pngFile(int width, int height, const std::vector<uint8_t>& rgba) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = uint32_t(width);
  image.height = uint32_t(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr));
  std::vector<uint8_t> out(size);
  EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr));
  out.resize(size);
  return out;
}

std::string hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  for (uint8_t b : bytes) {
    out += "0123456789abcdef"[b >> 4];
    out += "0123456789abcdef"[b & 15];
  }
  return out;
}

TEST(BitmapReader, PngImagesInJpegTags) {
  auto png = pngFile(2, 1, {255, 0, 0, 128, 0, 0, 255, 255});
  auto m = readClean("movie\nraw 21 0100 " + hex(png) + "\nraw 35 0200 " +
                     hex({uint8_t(png.size()), uint8_t(png.size() >> 8), 0, 0}) + hex(png) + "\n");
  ASSERT_TRUE(m);
  for (uint16_t id : {1, 2}) {
    const Bitmap& b = character<Bitmap>(*m, id);
    EXPECT_EQ(b.pixels, (std::vector<uint32_t>{argb(128, 128, 0, 0), argb(255, 0, 0, 255)}));
    EXPECT_FALSE(b.opaque);
  }
  // Damaged and oversized PNG data: a warning, no bitmap.
  auto big = pngFile(1, 1, {0, 0, 0, 0});
  big[16] = 0x00, big[17] = 0x00, big[18] = 0x23, big[19] = 0x28;  // IHDR width 9000
  uint32_t crc = uint32_t(crc32(0, big.data() + 12, 17));             // the chunk's type and data
  for (int i = 0; i < 4; ++i) big[29 + i] = uint8_t(crc >> (24 - 8 * i));
  auto bad = read(assemble("movie\nraw 21 0100 " + hex(big) + "\nraw 21 0200 " + hex(png).substr(0, 60) + "\n"));
  ASSERT_TRUE(bad);
  EXPECT_FALSE(bad->find<Bitmap>(1));
  EXPECT_FALSE(bad->find<Bitmap>(2));
  ASSERT_EQ(bad->warnings.size(), 2u) << warningsOf(*bad);
  EXPECT_NE(bad->warnings[0].find("9000 x 1 pixels, beyond the limit"), std::string::npos) << bad->warnings[0];
}

TEST(BitmapReader, GifImagesInJpegTags) {
  // 4x4, transparent but for two orange pixels at 0,0 and 3,3 (written by ImageMagick).
  const std::string gif = "47494638396104000400f00000ff800000000021f90401000001002c0000000004000400000204448e9950003b";
  auto m = readClean("movie\nraw 21 0100 " + gif + "\n");
  ASSERT_TRUE(m);
  const Bitmap& b = character<Bitmap>(*m, 1);
  ASSERT_EQ(b.width, 4);
  ASSERT_EQ(b.pixels.size(), 16u);
  EXPECT_EQ(b.pixels[0], argb(255, 255, 128, 0));
  EXPECT_EQ(b.pixels[15], argb(255, 255, 128, 0));
  EXPECT_EQ(b.pixels[1], 0u);
  EXPECT_FALSE(b.opaque);
  // Cut short inside its picture data: a warning, and the picture is incomplete or left out.
  auto cut = read(assemble("movie\nraw 21 0200 " + gif.substr(0, gif.size() - 12) + "\n"));
  ASSERT_TRUE(cut);
  EXPECT_NE(warningsOf(*cut).find("GIF picture data ends early"), std::string::npos) << warningsOf(*cut);
}

}  // namespace
}  // namespace vorlo::player::testing
