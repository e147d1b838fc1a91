#include <gtest/gtest.h>
#include <zlib.h>

#include "projector/error_report.h"
#include "projector/exceptions.h"
#include "projector/packed_block.h"
#include "projector/packed_io.h"
#include "tests/unit/test_support.h"
#include "util/bytes.h"

namespace vorlo {
namespace {

std::vector<uint8_t> sample() { return test::bytesOf("The quick brown fox jumps over the lazy dog, twice: The quick brown fox."); }

std::string decodeError(const std::vector<uint8_t>& block) {
  try {
    decodePackedBlockOrThrow(block);
  } catch (const ZipError& e) {
    return e.what();
  }
  return "(decoded)";
}

TEST(PackedBlock, RoundTripsAndWritesItsHeader) {
  auto data = sample();
  auto block = encodePackedBlock(data);
  ASSERT_GT(block.size(), 16u);
  EXPECT_EQ(std::string(block.begin(), block.begin() + 4), std::string("SM\x01\x00", 4));
  EXPECT_EQ(getLE32(block.data() + 4), data.size());
  EXPECT_EQ(getLE32(block.data() + 8), block.size() - 16);
  EXPECT_EQ(block[16], 0x78);
  EXPECT_EQ(getLE32(block.data() + 12), crc32(0, data.data(), static_cast<uInt>(data.size())));
  EXPECT_EQ(decodePackedBlockOrThrow(block), data);
}

TEST(PackedBlock, SlackAfterTheStreamAndAWrongCrcAreAccepted) {
  auto data = sample();
  auto block = encodePackedBlock(data);
  block.insert(block.end(), {1, 2, 3, 4, 5});
  putLE32(block.data() + 12, 0xDEADBEEF);
  EXPECT_EQ(decodePackedBlockOrThrow(block), data);
}

TEST(PackedBlock, DamagedBlocksGiveTheirMessages) {
  auto good = encodePackedBlock(sample());
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
    const char* message;
  };
  auto with = [&](auto edit) {
    auto b = good;
    edit(b);
    return b;
  };
  std::vector<Case> cases = {
      {"exactly a header", std::vector<uint8_t>(good.begin(), good.begin() + 16), "Bad compressed data length"},
      {"empty", {}, "Bad compressed data length"},
      {"version 2", with([](auto& b) { b[2] = 2; }), "Bad compressed data header"},
      {"reserved byte set", with([](auto& b) { b[3] = 1; }), "Bad compressed data header"},
      {"not SM", with([](auto& b) { b[0] = 'Z'; }), "Bad compressed data header"},
      {"stream runs past the end", with([](auto& b) { putLE32(b.data() + 8, static_cast<uint32_t>(b.size())); }),
       "Bad compressed data length"},
      {"output smaller than the data", with([](auto& b) { putLE32(b.data() + 4, 10); }),
       "There was not enough room in the compress(uncompress) output buffer"},
      {"corrupt stream", with([](auto& b) { b[17] ^= 0xFF; b[18] ^= 0xFF; }),
       "The compress(uncompress) input data was corrupted"},
      // A size no deflate stream of this length can produce is refused before anything is allocated.
      {"absurd uncompressed size", with([](auto& b) { putLE32(b.data() + 4, 0xFFFFFFF0u); }),
       "Bad compressed data length"},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeError(c.block), c.message) << c.what;
}

// Reports made before the main window exists are kept and shown when it installs its sink, so damage
// found early in the start-up is not lost; quiet readers report nothing.
TEST(PackedBlock, TheReadersDecoderReportsNamingWhatIsDamaged) {
  std::vector<std::string> shown;
  std::vector<uint8_t> bad(16, 0);
  takePendingErrors();
  EXPECT_FALSE(decodePackedBlock(bad, ReportMode::ShowErrors, "the package's movie list (resource ML)").has_value());
  EXPECT_FALSE(decodePackedBlock(bad, ReportMode::Quiet, "quiet").has_value());
  setErrorSink([&](const std::string& m) { shown.push_back(m); });
  EXPECT_FALSE(decodePackedBlock(bad).has_value());
  setErrorSink({});
  EXPECT_EQ(shown, (std::vector<std::string>{"The package's movie list (resource ML) is damaged: Bad compressed data length",
                                             "Bad compressed data length"}));
  EXPECT_TRUE(takePendingErrors().empty());
}

TEST(ZipError, MessagesByZlibCodeTravelAsProjectorErrors) {
  EXPECT_STREQ(ZipError::messageFor(Z_MEM_ERROR), "There was not enough memory for compress(uncompress)");
  EXPECT_STREQ(ZipError::messageFor(Z_STREAM_ERROR), "The compress level parameter is invalid");
  EXPECT_STREQ(ZipError::messageFor(Z_ERRNO), "Compression or uncompression failed");
  try {
    throw ZipError(Z_DATA_ERROR);
  } catch (const ProjectorError& e) {
    EXPECT_STREQ(e.what(), "The compress(uncompress) input data was corrupted");
  }
}

TEST(PackedFields, StringsCountUnitsWithTheirNul) {
  PackedWriter w;
  w.writeText(std::string_view(""));
  w.writeText(std::optional<std::string>());
  w.writeText(std::string_view("h\xC3\xA9"));  // UTF-8 "hé"
  std::vector<uint8_t> expected = {1, 0, 0, 0, 0, 0,                          // empty: count 1, NUL
                                   0, 0, 0, 0,                                // absent: count 0
                                   3, 0, 0, 0, 'h', 0, 0xE9, 0, 0, 0};        // two units and NUL
  EXPECT_EQ(w.bytes(), expected);

  PackedReader r(w.bytes());
  std::string fixed = "old";
  std::optional<std::string> allocated = "old";
  r.readFixedText(fixed);
  EXPECT_EQ(fixed, "");
  r.readText(allocated);
  EXPECT_FALSE(allocated.has_value());
  r.readText(allocated);
  EXPECT_EQ(allocated, "h\xC3\xA9");
  EXPECT_FALSE(r.overrun());
}

TEST(PackedFields, ShortAndLyingDataNeverReadsBeyondTheEnd) {
  std::vector<uint8_t> data = {0x34, 0x12, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 0};  // u16, then a count of 2^31-1
  PackedReader r(data);
  uint16_t a = 0;
  r.read2(a);
  EXPECT_EQ(a, 0x1234);
  std::optional<std::string> s;
  r.readText(s);
  EXPECT_EQ(s, "a");
  EXPECT_TRUE(r.overrun());
  uint32_t untouched = 77;
  r.read4(untouched);
  EXPECT_EQ(untouched, 77u);
}

TEST(PackedFields, FixedFieldsKeepAtMost259Characters) {
  PackedWriter w;
  w.writeText(std::string(300, 'x'));
  PackedReader r(w.bytes());
  std::string field;
  r.readFixedText(field);
  EXPECT_EQ(field, std::string(259, 'x'));
}

TEST(PackedFields, FontsRoundTrip) {
  LogFont f;
  f.height = -13;
  f.weight = 700;
  f.italic = 1;
  f.charSet = 204;
  f.pitchAndFamily = 0x22;
  f.faceName = "Tahoma";
  PackedWriter w;
  w.writeFont(f);
  EXPECT_EQ(w.bytes().size(), 20u + 8u + 4u + 7u * 2u);
  LogFont back;
  PackedReader r(w.bytes());
  r.readFont(back);
  EXPECT_EQ(back, f);
}

}  // namespace
}  // namespace vorlo
