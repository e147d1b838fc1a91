// PNG reading and writing: every colour type and depth read as straight 8-bit RGBA, round trips
// through the writer, and damaged, truncated and oversized input refused with a message.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "png_builder.h"
#include "util/png/png_io.h"

namespace vorlo::test {
namespace {

using Pixels = std::vector<uint8_t>;

RgbaImage pattern(uint32_t width, uint32_t height) {
  RgbaImage image{width, height, {}};
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      // Every channel different and the alpha running through 0 (a transparent pixel keeps its colour).
      image.pixels.insert(image.pixels.end(), {uint8_t(x * 7 + y), uint8_t(255 - x), uint8_t(y * 13 + 5),
                                               uint8_t((x + y * width) * 37)});
    }
  }
  return image;
}

TEST(PngRoundTrip, WrittenPicturesReadBackUnchanged) {
  struct Size {
    uint32_t width, height;
  } sizes[] = {{1, 1}, {3, 2}, {17, 5}, {1, 40}, {64, 64}, {300, 2}};
  for (const Size& size : sizes) {
    SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
    RgbaImage original = pattern(size.width, size.height);
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(writePng(original, &png, &error)) << error;
    EXPECT_EQ(std::vector<uint8_t>(png.begin(), png.begin() + 4), (std::vector<uint8_t>{0x89, 'P', 'N', 'G'}));
    RgbaImage back;
    ASSERT_TRUE(readPng(png.data(), png.size(), &back, &error)) << error;
    EXPECT_EQ(back.width, size.width);
    EXPECT_EQ(back.height, size.height);
    EXPECT_EQ(back.pixels, original.pixels);
  }
}

TEST(PngRoundTrip, ThroughAFile) {
  std::string path = (std::filesystem::temp_directory_path() / "vorlo_png_round_trip.png").string();
  RgbaImage original = pattern(9, 4);
  std::string error;
  ASSERT_TRUE(writePngFile(path, original, &error)) << error;
  RgbaImage back;
  EXPECT_TRUE(readPngFile(path, &back, &error)) << error;
  EXPECT_EQ(back.pixels, original.pixels);
  std::remove(path.c_str());

  EXPECT_FALSE(readPngFile(path, &back, &error));
  EXPECT_NE(error.find(path), std::string::npos) << error;
  EXPECT_TRUE(back.pixels.empty());
  std::string nowhere = (std::filesystem::temp_directory_path() / "vorlo-no-such-folder" / "x.png").string();
  EXPECT_FALSE(writePngFile(nowhere, original, &error));
  EXPECT_NE(error.find(nowhere), std::string::npos) << error;
}

TEST(PngWrite, PicturesThatCannotBeWrittenAreRefused) {
  struct Case {
    const char* name;
    uint32_t width, height;
    size_t bytes;
    const char* message;
  } cases[] = {
      {"no width", 0, 4, 0, "empty"},
      {"no height", 4, 0, 0, "empty"},
      {"buffer too short", 2, 2, 15, "needs 16 bytes"},
      {"buffer too long", 2, 2, 17, "needs 16 bytes"},
      {"beyond the pixel limit", 1u << 14, (1u << 12) + 1, 0, "too large"},
      {"wider than libpng writes", 2000000, 1, 8000000, "cannot write the PNG"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RgbaImage image{c.width, c.height, Pixels(c.bytes, 0x55)};
    std::vector<uint8_t> png = {1, 2, 3};
    std::string error;
    EXPECT_FALSE(writePng(image, &png, &error));
    EXPECT_TRUE(png.empty());
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

// Pictures of every colour type and bit depth, built byte by byte, and the RGBA they read as.
struct Decoded {
  const char* name;
  PngSpec spec;
  Pixels rgba;
};

std::vector<Decoded> decodedCases() {
  std::vector<Decoded> cases = {
      {"grey 1-bit across a byte boundary", {9, 1, 1, 0, {1, 0, 1, 1, 0, 0, 1, 0, 1}},
       {255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0, 255, 0, 0, 0, 255,
        255, 255, 255, 255, 0, 0, 0, 255, 255, 255, 255, 255}},
      {"grey 2-bit", {4, 1, 2, 0, {0, 1, 2, 3}},
       {0, 0, 0, 255, 85, 85, 85, 255, 170, 170, 170, 255, 255, 255, 255, 255}},
      {"grey 4-bit", {3, 1, 4, 0, {0, 5, 15}}, {0, 0, 0, 255, 85, 85, 85, 255, 255, 255, 255, 255}},
      {"grey 8-bit over two rows", {2, 2, 8, 0, {0, 18, 200, 255}},
       {0, 0, 0, 255, 18, 18, 18, 255, 200, 200, 200, 255, 255, 255, 255, 255}},
      {"grey 16-bit", {3, 1, 16, 0, {0x0000, 0x1212, 0xFFFF}},
       {0, 0, 0, 255, 0x12, 0x12, 0x12, 255, 255, 255, 255, 255}},
      {"grey 16-bit rounds to the nearest", {2, 1, 16, 0, {0x12F0, 0x1280}},
       {0x13, 0x13, 0x13, 255, 0x12, 0x12, 0x12, 255}},
      {"grey 8-bit with a transparent value", {2, 1, 8, 0, {18, 19}, {}, {0, 18}},
       {18, 18, 18, 0, 19, 19, 19, 255}},
      {"grey 2-bit with a transparent value", {2, 1, 2, 0, {1, 2}, {}, {0, 1}},
       {85, 85, 85, 0, 170, 170, 170, 255}},
      {"grey and alpha 8-bit", {2, 1, 8, 4, {18, 0x80, 255, 0}}, {18, 18, 18, 0x80, 255, 255, 255, 0}},
      {"grey and alpha 16-bit", {1, 1, 16, 4, {0x3434, 0xFFFF}}, {0x34, 0x34, 0x34, 255}},
      {"RGB 8-bit", {2, 1, 8, 2, {1, 2, 3, 250, 128, 0}}, {1, 2, 3, 255, 250, 128, 0, 255}},
      {"RGB 8-bit with a transparent colour", {2, 1, 8, 2, {1, 2, 3, 1, 2, 4}, {}, {0, 1, 0, 2, 0, 3}},
       {1, 2, 3, 0, 1, 2, 4, 255}},
      {"RGB 16-bit", {1, 1, 16, 2, {0x0101, 0x8080, 0xFEFE}}, {1, 0x80, 0xFE, 255}},
      {"RGBA 8-bit keeps the colour of transparent pixels", {2, 1, 8, 6, {9, 8, 7, 0, 1, 2, 3, 4}},
       {9, 8, 7, 0, 1, 2, 3, 4}},
      {"RGBA 16-bit", {1, 1, 16, 6, {0x1111, 0x2222, 0x3333, 0x4444}}, {0x11, 0x22, 0x33, 0x44}},
      {"palette 8-bit", {3, 1, 8, 3, {2, 0, 1}, {10, 20, 30, 40, 50, 60, 70, 80, 90}},
       {70, 80, 90, 255, 10, 20, 30, 255, 40, 50, 60, 255}},
      {"palette 1-bit", {3, 1, 1, 3, {1, 0, 1}, {0, 0, 0, 255, 0, 0}},
       {255, 0, 0, 255, 0, 0, 0, 255, 255, 0, 0, 255}},
      {"palette 2-bit with alpha for the first entries",
       {3, 1, 2, 3, {0, 1, 2}, {10, 20, 30, 40, 50, 60, 70, 80, 90}, {0, 0x80}},
       {10, 20, 30, 0, 40, 50, 60, 0x80, 70, 80, 90, 255}},
  };
  // Adam7: a picture larger than one 8x8 block in both directions, odd sizes so every pass is partial.
  Decoded interlaced{"RGBA 8-bit interlaced", {11, 10, 8, 6}, {}};
  interlaced.spec.interlaced = true;
  for (uint32_t i = 0; i < 11 * 10; ++i) {
    Pixels px = {uint8_t(i), uint8_t(i * 3), uint8_t(255 - i), uint8_t(i * 5 + 1)};
    interlaced.spec.samples.insert(interlaced.spec.samples.end(), px.begin(), px.end());
    interlaced.rgba.insert(interlaced.rgba.end(), px.begin(), px.end());
  }
  cases.push_back(interlaced);
  Decoded greyInterlaced{"grey 4-bit interlaced", {5, 3, 4, 0}, {}};
  greyInterlaced.spec.interlaced = true;
  for (uint8_t i = 0; i < 15; ++i) {
    greyInterlaced.spec.samples.push_back(i);
    greyInterlaced.rgba.insert(greyInterlaced.rgba.end(), {uint8_t(i * 17), uint8_t(i * 17), uint8_t(i * 17), 255});
  }
  cases.push_back(greyInterlaced);
  return cases;
}

TEST(PngRead, EveryColourTypeAndDepthReadsAsStraightRgba) {
  for (const Decoded& c : decodedCases()) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> png = buildPng(c.spec);
    RgbaImage image;
    std::string error;
    ASSERT_TRUE(readPng(png.data(), png.size(), &image, &error)) << error;
    EXPECT_EQ(image.width, c.spec.width);
    EXPECT_EQ(image.height, c.spec.height);
    EXPECT_EQ(image.pixels, c.rgba);
  }
}

// A valid 4x3 RGB picture, to damage.
std::vector<uint8_t> sample() {
  PngSpec spec{4, 3, 8, 2};
  for (int i = 0; i < 4 * 3 * 3; ++i) spec.samples.push_back(uint16_t(i * 7));
  return buildPng(spec);
}

void setIhdr(std::vector<uint8_t>* png, size_t offset, uint8_t value) {
  size_t at = findChunk(*png, "IHDR");
  (*png)[at + 8 + offset] = value;
  fixChunkCrc(png, at);
}

void setIhdrSize(std::vector<uint8_t>* png, uint32_t width, uint32_t height) {
  for (int i = 0; i < 4; ++i) {
    setIhdr(png, i, uint8_t(width >> (24 - 8 * i)));
    setIhdr(png, 4 + i, uint8_t(height >> (24 - 8 * i)));
  }
}

std::vector<uint8_t> without(std::vector<uint8_t> png, const std::string& type) {
  size_t at = findChunk(png, type);
  size_t length = size_t(png[at]) << 24 | size_t(png[at + 1]) << 16 | size_t(png[at + 2]) << 8 | png[at + 3];
  png.erase(png.begin() + at, png.begin() + at + 12 + length);
  return png;
}

TEST(PngRead, DamagedFilesAreRefusedWithAReason) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* message;
  };
  std::vector<Case> cases;
  const std::vector<uint8_t> good = sample();
  cases.push_back({"nothing", {}, "not a PNG"});
  cases.push_back({"text", {'h', 'e', 'l', 'l', 'o', ' ', 'p', 'n', 'g', '\n'}, "not a PNG"});
  {
    auto png = good;
    png[1] = 'p';
    cases.push_back({"wrong signature", png, "not a PNG"});
  }
  {
    auto png = good;
    png[findChunk(png, "IHDR") + 8 + 13] ^= 1;
    cases.push_back({"IHDR checksum", png, "CRC"});
  }
  {
    auto png = good;
    size_t at = findChunk(png, "IDAT");
    png[png.size() - 13] ^= 0x40;  // the last byte of IDAT's checksum
    cases.push_back({"IDAT checksum", png, "CRC"});
    png = good;
    png[at + 8] ^= 0xFF;  // the zlib stream's header
    fixChunkCrc(&png, at);
    cases.push_back({"IDAT not a zlib stream", png, "damaged PNG"});
  }
  {
    auto png = good;
    size_t at = findChunk(png, "IDAT");
    for (size_t i = at + 10; i < png.size() - 16; ++i) png[i] = 0xFF;  // the compressed scanlines
    fixChunkCrc(&png, at);
    cases.push_back({"IDAT data destroyed", png, "damaged PNG"});
  }
  {
    auto png = good;
    setIhdrSize(&png, 0, 3);
    cases.push_back({"zero width", png, "damaged PNG"});
  }
  {
    auto png = good;
    setIhdr(&png, 8, 4);  // RGB has no 4-bit form
    cases.push_back({"bit depth the colour type lacks", png, "damaged PNG"});
  }
  {
    auto png = good;
    setIhdr(&png, 9, 5);
    cases.push_back({"unknown colour type", png, "damaged PNG"});
  }
  {
    auto png = good;
    setIhdr(&png, 9, 3);  // palette, without a PLTE chunk
    cases.push_back({"palette picture without a palette", png, "damaged PNG"});
  }
  cases.push_back({"no image data", without(good, "IDAT"), "damaged PNG"});
  {
    auto png = good;
    setIhdrSize(&png, 4, 300);  // more rows than the data holds
    cases.push_back({"image data too short", png, "damaged PNG"});
  }
  {
    auto png = good;
    setIhdrSize(&png, 30000, 30000);
    cases.push_back({"beyond the pixel limit", png, "too large"});
  }
  {
    auto png = good;
    setIhdrSize(&png, 0x7FFFFFFF, 1);
    cases.push_back({"wider than libpng reads", png, "damaged PNG"});
  }

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RgbaImage image = pattern(2, 2);  // a failed read leaves nothing of this behind
    std::string error;
    EXPECT_FALSE(readPng(c.bytes.data(), c.bytes.size(), &image, &error));
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(image.width, 0u);
    EXPECT_EQ(image.height, 0u);
    EXPECT_TRUE(image.pixels.empty());
  }
}

TEST(PngRead, EveryTruncationIsRefused) {
  // Interlaced and written in two IDAT chunks, so that cuts fall in every kind of place.
  PngSpec spec{6, 5, 8, 6};
  spec.interlaced = true;
  for (int i = 0; i < 6 * 5 * 4; ++i) spec.samples.push_back(uint16_t(i * 11 % 256));
  std::vector<uint8_t> png = buildPng(spec);
  size_t idat = findChunk(png, "IDAT");
  size_t length = size_t(png[idat + 2]) << 8 | png[idat + 3];
  std::vector<uint8_t> data(png.begin() + idat + 8, png.begin() + idat + 8 + length);
  std::vector<uint8_t> first = pngChunk("IDAT", {data.begin(), data.begin() + length / 2});
  std::vector<uint8_t> second = pngChunk("IDAT", {data.begin() + length / 2, data.end()});
  png.erase(png.begin() + idat, png.begin() + idat + 12 + length);
  png.insert(png.begin() + idat, second.begin(), second.end());
  png.insert(png.begin() + idat, first.begin(), first.end());

  RgbaImage whole;
  std::string error;
  ASSERT_TRUE(readPng(png.data(), png.size(), &whole, &error)) << error;
  for (size_t cut = 0; cut < png.size(); ++cut) {
    SCOPED_TRACE("first " + std::to_string(cut) + " bytes");
    // A copy of exactly the kept bytes, so that reading one past them is a fault the tools can see.
    std::vector<uint8_t> part(png.begin(), png.begin() + cut);
    RgbaImage image;
    EXPECT_FALSE(readPng(part.data(), part.size(), &image, &error));
    EXPECT_NE(error.find(cut < 8 ? "not a PNG" : "truncated"), std::string::npos) << error;
    EXPECT_TRUE(image.pixels.empty());
  }
}

}  // namespace
}  // namespace vorlo::test
