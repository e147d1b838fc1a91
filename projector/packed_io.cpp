#include "projector/packed_io.h"

#include <cstring>

#include "util/bytes.h"
#include "util/text.h"

namespace vorlo {
namespace {

constexpr size_t kFaceNameSize = 32;

// A font's fields in their stored order, for reading (LogFont) and writing (const LogFont).
template <typename Font, typename Fields>
void walkFont(Font& f, Fields& x) {
  for (auto* v : {&f.height, &f.width, &f.escapement, &f.orientation, &f.weight}) x.i32(*v);
  for (auto* v : {&f.italic, &f.underline, &f.strikeOut, &f.charSet, &f.outPrecision, &f.clipPrecision, &f.quality,
                  &f.pitchAndFamily}) {
    x.u8(*v);
  }
  x.face(f.faceName);
}

}  // namespace

bool PackedReader::take(size_t n, const uint8_t*& p) {
  if (remaining() < n) {
    pos_ = data_.size();
    overrun_ = true;
    return false;
  }
  p = data_.data() + pos_;
  pos_ += n;
  return true;
}

void PackedReader::read4(uint32_t& v) {
  const uint8_t* p;
  if (take(4, p)) v = getLE32(p);
}

void PackedReader::read4(int32_t& v) {
  const uint8_t* p;
  if (take(4, p)) v = static_cast<int32_t>(getLE32(p));
}

void PackedReader::read2(uint16_t& v) {
  const uint8_t* p;
  if (take(2, p)) v = getLE16(p);
}

void PackedReader::read1(uint8_t& v) {
  const uint8_t* p;
  if (take(1, p)) v = *p;
}

void PackedReader::readBytes(void* target, size_t n) {
  const uint8_t* p;
  size_t avail = std::min(n, remaining());
  if (avail > 0 && take(avail, p)) std::memcpy(target, p, avail);
  if (avail < n) overrun_ = true;
}

std::optional<std::u16string> PackedReader::readUnits() {
  const uint8_t* p;
  if (!take(4, p)) return std::nullopt;
  uint32_t count = getLE32(p);
  if (count == 0) return std::nullopt;
  // A count larger than the data is cut to what is there instead of reading beyond it.
  size_t avail = std::min<size_t>(count, remaining() / 2);
  if (avail < count) overrun_ = true;
  std::u16string units(avail, u'\0');
  for (size_t i = 0; i < avail; ++i) units[i] = static_cast<char16_t>(getLE16(data_.data() + pos_ + 2 * i));
  pos_ += avail * 2;
  if (avail < count) pos_ = data_.size();
  size_t nul = units.find(u'\0');
  if (nul != std::u16string::npos) units.resize(nul);
  return units;
}

void PackedReader::readFixedText(std::string& target, size_t maxChars) {
  if (remaining() < 4) {  // nothing left: the field keeps what it held
    overrun_ = true;
    pos_ = data_.size();
    return;
  }
  auto units = readUnits();
  target.clear();
  if (!units) return;
  if (maxChars > 0 && units->size() > maxChars - 1) units->resize(maxChars - 1);
  target = utf16ToUtf8(*units);
}

void PackedReader::readText(std::optional<std::string>& target) {
  if (remaining() < 4) {
    overrun_ = true;
    pos_ = data_.size();
    return;
  }
  auto units = readUnits();
  if (!units) {
    target.reset();
    return;
  }
  target = utf16ToUtf8(*units);
}

void PackedReader::readFont(LogFont& f) {
  struct Reader {
    PackedReader& r;
    void i32(int32_t& v) { r.read4(v); }
    void u8(uint8_t& v) { r.read1(v); }
    void face(std::string& t) { r.readFixedText(t, kFaceNameSize); }
  } reader{*this};
  walkFont(f, reader);
}

void PackedWriter::write4(uint32_t v) {
  uint8_t b[4];
  putLE32(b, v);
  writeBytes(b, 4);
}

void PackedWriter::write2(uint16_t v) {
  uint8_t b[2];
  putLE16(b, v);
  writeBytes(b, 2);
}

void PackedWriter::write1(uint8_t v) { bytes_.push_back(v); }

void PackedWriter::writeBytes(const void* data, size_t n) {
  if (bytes_.capacity() < bytes_.size() + n) bytes_.reserve(bytes_.size() + n + 1024);
  auto* p = static_cast<const uint8_t*>(data);
  bytes_.insert(bytes_.end(), p, p + n);
}

void PackedWriter::writeText(std::string_view text) {
  std::u16string units = utf8ToUtf16(text);
  write4(static_cast<uint32_t>(units.size() + 1));
  for (char16_t u : units) write2(static_cast<uint16_t>(u));
  write2(0);
}

void PackedWriter::writeText(const std::optional<std::string>& text) {
  if (!text) {
    write4(0);
    return;
  }
  writeText(std::string_view(*text));
}

void PackedWriter::writeFont(const LogFont& f) {
  struct Writer {
    PackedWriter& w;
    void i32(int32_t v) { w.write4(static_cast<uint32_t>(v)); }
    void u8(uint8_t v) { w.write1(v); }
    void face(const std::string& t) { w.writeText(std::string_view(t)); }
  } writer{*this};
  walkFont(f, writer);
}

}  // namespace vorlo
