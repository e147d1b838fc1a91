// Field encoding of packaged records: untagged little-endian integers, raw runs, counted UTF-16
// strings (count of units including the NUL; 0 = absent) and fonts.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo {

// Size of the fixed text fields of packaged records, in characters including the terminator.
inline constexpr size_t kFixedTextSize = 260;

struct LogFont {
  int32_t height = 0, width = 0, escapement = 0, orientation = 0, weight = 0;
  uint8_t italic = 0, underline = 0, strikeOut = 0, charSet = 0, outPrecision = 0, clipPrecision = 0,
          quality = 0, pitchAndFamily = 0;
  std::string faceName;  // at most 31 characters
  bool operator==(const LogFont&) const = default;
};

// Reads fields in order. Reading past the end reads nothing further: the target keeps what it held.
class PackedReader {
 public:
  explicit PackedReader(std::span<const uint8_t> data) : data_(data) {}

  void read4(uint32_t& v);
  void read4(int32_t& v);
  void read2(uint16_t& v);
  void read1(uint8_t& v);
  void readBytes(void* target, size_t n);
  // A fixed text field: cleared, then filled with at most maxChars - 1 characters.
  void readFixedText(std::string& target, size_t maxChars = kFixedTextSize);
  // An allocated text: an absent string leaves it empty (nullopt).
  void readText(std::optional<std::string>& target);
  void readFont(LogFont& font);

  size_t remaining() const { return data_.size() - pos_; }
  // True once a read wanted more bytes than were left.
  bool overrun() const { return overrun_; }

 private:
  bool take(size_t n, const uint8_t*& p);
  // The units of one string, or nullopt when absent. Cut short at the end of the data.
  std::optional<std::u16string> readUnits();

  std::span<const uint8_t> data_;
  size_t pos_ = 0;
  bool overrun_ = false;
};

class PackedWriter {
 public:
  void write4(uint32_t v);
  void write2(uint16_t v);
  void write1(uint8_t v);
  void writeBytes(const void* data, size_t n);
  void writeText(std::string_view text);  // an empty text still writes its NUL (count 1)
  void writeText(const std::string& text) { writeText(std::string_view(text)); }
  void writeText(const char* text) { writeText(std::string_view(text)); }
  void writeText(const std::optional<std::string>& text);  // absent: count 0
  void writeFont(const LogFont& font);

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  std::vector<uint8_t> take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace vorlo
