#include "projector/settings.h"

#include <cctype>

namespace vorlo {
namespace {

// The record's layout, walked in order by both directions: Fields supplies u32, u16, text (allocated),
// fixedText, bytes, font, reserved and zero (a u32 written as 0 and skipped on reading). Record is
// ProjectorSettings for reading and const ProjectorSettings for writing.
template <typename Record, typename Fields>
void walkFields(Record& s, Fields& f) {
  // 1. Product texts.
  for (auto* t : {&s.productName, &s.infoText2, &s.companyName, &s.rightsNotice, &s.infoText5, &s.infoText6, &s.version}) f.text(*t);
  // 2. Appearance.
  for (auto* v : {&s.windowShape, &s.borderStyle, &s.borderIcons, &s.scaleMode}) f.u32(*v);
  for (auto* t : {&s.shapeMaskName, &s.caption}) f.fixedText(*t);
  // 3. Size and position.
  f.u32(s.windowSize);
  for (auto* v : {&s.customWidth, &s.customHeight}) f.u16(*v);
  f.u32(s.pos);
  for (auto* v : {&s.customX, &s.customY}) f.u16(*v);
  f.u32(s.bKeepRatio);
  // 4. Interaction.
  for (auto* v : {&s.lBtnClk, &s.rBtnClk, &s.keyPress, &s.exitKeys, &s.systemKeys}) f.u32(*v);
  for (auto* v : {&s.hotKeyCode, &s.hotKeyModifiers}) f.u16(*v);
  // 5. Menu and behaviour, then the reserved block.
  for (auto* v : {&s.contextMenu, &s.behaviour}) f.u32(*v);
  f.reserved(s.reserved);
  // 6. Miscellaneous.
  for (auto* v : {&s.miscFlags, &s.backgroundColor}) f.u32(*v);
  f.fixedText(s.helpFile);
  f.zero();
  // 7. About box.
  for (auto* t : {&s.webLinkText, &s.webLinkUrl, &s.mailLinkText, &s.mailAddress}) f.text(*t);
  for (auto* v : {&s.webLinkColor, &s.mailLinkColor}) f.u32(*v);
  for (auto* v : {&s.webLinkFont, &s.mailLinkFont}) f.font(*v);
  for (auto* v : {&s.aboutFlags, &s.aboutSpare}) f.u32(*v);
  f.fixedText(s.aboutPicture);
  f.zero();
  f.fixedText(s.aboutText2);
  // 8. Spare group.
  f.u32(s.spare1);
  f.text(s.spare2);
  f.u32(s.spare3);
  f.bytes(s.spareTime);
  f.u32(s.spare4);
  f.fixedText(s.spare5);
  for (auto* v : {&s.spare6, &s.spare7}) f.u16(*v);
}

struct FieldReader {
  PackedReader& r;
  void u32(uint32_t& v) { r.read4(v); }
  void u16(uint16_t& v) { r.read2(v); }
  void text(std::optional<std::string>& t) { r.readText(t); }
  void fixedText(std::string& t) { r.readFixedText(t); }
  void bytes(std::array<uint8_t, 16>& b) { r.readBytes(b.data(), b.size()); }
  void font(LogFont& font) { r.readFont(font); }
  void zero() {
    uint32_t skipped = 0;
    r.read4(skipped);
  }
  // The reserved block: a u32 byte count and that many bytes, carried as read.
  void reserved(std::vector<uint8_t>& block) {
    if (r.remaining() < 4) {
      zero();  // marks the record as cut short
      return;
    }
    uint32_t n = 0;
    r.read4(n);
    size_t take = std::min<size_t>(n, r.remaining());
    block.assign(take, 0);
    r.readBytes(block.data(), take);
    if (take < n) {
      uint8_t past = 0;
      r.readBytes(&past, 1);  // marks the record as cut short
    }
  }
};

struct FieldWriter {
  PackedWriter& w;
  void u32(uint32_t v) { w.write4(v); }
  void u16(uint16_t v) { w.write2(v); }
  void text(const std::optional<std::string>& t) { w.writeText(t); }
  void fixedText(const std::string& t) { w.writeText(t); }
  void bytes(const std::array<uint8_t, 16>& b) { w.writeBytes(b.data(), b.size()); }
  void font(const LogFont& font) { w.writeFont(font); }
  void zero() { w.write4(0); }
  void reserved(const std::vector<uint8_t>& block) {
    w.write4(static_cast<uint32_t>(block.size()));
    w.writeBytes(block.data(), block.size());
  }
};

bool startsWithIgnoringCase(const std::string& text, const char* word) {
  size_t n = std::char_traits<char>::length(word);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(word[i]))) return false;
  }
  return true;
}

}  // namespace

void readSettings(PackedReader& r, ProjectorSettings& s) {
  FieldReader reader{r};
  walkFields(s, reader);
}

void writeSettings(PackedWriter& w, const ProjectorSettings& s) {
  FieldWriter writer{w};
  walkFields(s, writer);
}

std::vector<uint8_t> serializeSettings(const ProjectorSettings& s) {
  PackedWriter w;
  writeSettings(w, s);
  return w.take();
}

std::string aboutVersionText(const ProjectorSettings& s) {
  std::string v = s.version.value_or("");
  return startsWithIgnoringCase(v, "Version") ? v : "Version " + v;
}

std::string aboutMailTarget(const ProjectorSettings& s) {
  std::string a = s.mailAddress.value_or("");
  return startsWithIgnoringCase(a, "mailto:") ? a : "mailto:" + a;
}

}  // namespace vorlo
