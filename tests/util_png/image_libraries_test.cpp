// The image libraries behind vorlo::jpeg and vorlo::tiff work as linked here (Debian's natively, the
// cross-built static ones on Windows): a picture goes through each of their codecs and comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>

namespace vorlo::test {
namespace {

constexpr int kWidth = 24, kHeight = 16;

// Smooth enough that JPEG keeps it close.
std::vector<uint8_t> gradient() {
  std::vector<uint8_t> rgb;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) rgb.insert(rgb.end(), {uint8_t(x * 10), uint8_t(y * 15), uint8_t(128)});
  return rgb;
}

int largestDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  int most = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) most = std::max(most, std::abs(a[i] - b[i]));
  return most;
}

TEST(ImageLibraries, JpegCompressesAndDecompressesInMemory) {
  std::vector<uint8_t> rgb = gradient();
  jpeg_error_mgr errors;
  jpeg_compress_struct c;
  c.err = jpeg_std_error(&errors);
  jpeg_create_compress(&c);
  unsigned char* packed = nullptr;
  unsigned long packedSize = 0;
  jpeg_mem_dest(&c, &packed, &packedSize);
  c.image_width = kWidth;
  c.image_height = kHeight;
  c.input_components = 3;
  c.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 95, TRUE);
  jpeg_start_compress(&c, TRUE);
  while (c.next_scanline < c.image_height) {
    JSAMPROW row = rgb.data() + c.next_scanline * kWidth * 3;
    jpeg_write_scanlines(&c, &row, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  ASSERT_GT(packedSize, 2u);
  EXPECT_EQ(packed[0], 0xFF);
  EXPECT_EQ(packed[1], 0xD8);

  jpeg_decompress_struct d;
  d.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, packed, packedSize);
  ASSERT_EQ(jpeg_read_header(&d, TRUE), JPEG_HEADER_OK);
  jpeg_start_decompress(&d);
  ASSERT_EQ(d.output_width, unsigned(kWidth));
  ASSERT_EQ(d.output_height, unsigned(kHeight));
  ASSERT_EQ(d.output_components, 3);
  std::vector<uint8_t> back(rgb.size());
  while (d.output_scanline < d.output_height) {
    JSAMPROW row = back.data() + d.output_scanline * kWidth * 3;
    jpeg_read_scanlines(&d, &row, 1);
  }
  jpeg_finish_decompress(&d);
  jpeg_destroy_decompress(&d);
  std::free(packed);
  EXPECT_LE(largestDifference(back, rgb), 12);
}

TEST(ImageLibraries, TiffWritesAndReadsWithEachCodec) {
  struct Codec {
    const char* name;
    uint16_t compression;
    int tolerance;
  } codecs[] = {{"none", COMPRESSION_NONE, 0},       {"LZW", COMPRESSION_LZW, 0},
                {"PackBits", COMPRESSION_PACKBITS, 0}, {"Deflate", COMPRESSION_ADOBE_DEFLATE, 0},
                {"JPEG", COMPRESSION_JPEG, 12}};
  TIFFSetWarningHandler(nullptr);
  std::vector<uint8_t> rgb = gradient();
  std::string path = (std::filesystem::temp_directory_path() / "vorlo_codec_test.tif").string();
  for (const Codec& codec : codecs) {
    SCOPED_TRACE(codec.name);
    ASSERT_TRUE(TIFFIsCODECConfigured(codec.compression));
    TIFF* out = TIFFOpen(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(out, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(out, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, kHeight);
    ASSERT_EQ(TIFFSetField(out, TIFFTAG_COMPRESSION, codec.compression), 1);
    ASSERT_GE(TIFFWriteEncodedStrip(out, 0, rgb.data(), tmsize_t(rgb.size())), 0);
    TIFFClose(out);

    TIFF* in = TIFFOpen(path.c_str(), "r");
    ASSERT_NE(in, nullptr);
    std::vector<uint32_t> abgr(kWidth * kHeight);
    // TIFFReadRGBAImage fills bottom row first unless asked for the top-left orientation.
    ASSERT_EQ(TIFFReadRGBAImageOriented(in, kWidth, kHeight, abgr.data(), ORIENTATION_TOPLEFT, 0), 1);
    TIFFClose(in);
    std::vector<uint8_t> back;
    for (uint32_t p : abgr) back.insert(back.end(), {uint8_t(TIFFGetR(p)), uint8_t(TIFFGetG(p)), uint8_t(TIFFGetB(p))});
    EXPECT_LE(largestDifference(back, rgb), codec.tolerance);
  }
  std::remove(path.c_str());
}

}  // namespace
}  // namespace vorlo::test
