#include "projector/settings.h"

#include <cctype>

namespace vorlo {
namespace {

void readReserved(PackedReader& r, std::vector<uint8_t>& block) {
  if (r.remaining() < 4) {
    uint32_t ignored = 0;
    r.read4(ignored);  // marks the record as cut short
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
  for (auto* t : {&s.productName, &s.infoText2, &s.companyName, &s.rightsNotice, &s.infoText5, &s.infoText6, &s.version}) r.readText(*t);
  r.read4(s.windowShape);
  r.read4(s.borderStyle);
  r.read4(s.borderIcons);
  r.read4(s.scaleMode);
  r.readFixedText(s.shapeMaskName);
  r.readFixedText(s.caption);
  r.read4(s.windowSize);
  r.read2(s.customWidth);
  r.read2(s.customHeight);
  r.read4(s.pos);
  r.read2(s.customX);
  r.read2(s.customY);
  r.read4(s.bKeepRatio);
  r.read4(s.lBtnClk);
  r.read4(s.rBtnClk);
  r.read4(s.keyPress);
  r.read4(s.exitKeys);
  r.read4(s.systemKeys);
  r.read2(s.hotKeyCode);
  r.read2(s.hotKeyModifiers);
  r.read4(s.contextMenu);
  r.read4(s.behaviour);
  readReserved(r, s.reserved);
  r.read4(s.miscFlags);
  r.read4(s.backgroundColor);
  r.readFixedText(s.helpFile);
  uint32_t skipped = 0;
  r.read4(skipped);
  for (auto* t : {&s.webLinkText, &s.webLinkUrl, &s.mailLinkText, &s.mailAddress}) r.readText(*t);
  r.read4(s.webLinkColor);
  r.read4(s.mailLinkColor);
  r.readFont(s.webLinkFont);
  r.readFont(s.mailLinkFont);
  r.read4(s.aboutFlags);
  r.read4(s.aboutSpare);
  r.readFixedText(s.aboutPicture);
  r.read4(skipped);
  r.readFixedText(s.aboutText2);
  r.read4(s.spare1);
  r.readText(s.spare2);
  r.read4(s.spare3);
  r.readBytes(s.spareTime.data(), s.spareTime.size());
  r.read4(s.spare4);
  r.readFixedText(s.spare5);
  r.read2(s.spare6);
  r.read2(s.spare7);
}

void writeSettings(PackedWriter& w, const ProjectorSettings& s) {
  for (const auto* t : {&s.productName, &s.infoText2, &s.companyName, &s.rightsNotice, &s.infoText5, &s.infoText6, &s.version}) w.writeText(*t);
  w.write4(s.windowShape);
  w.write4(s.borderStyle);
  w.write4(s.borderIcons);
  w.write4(s.scaleMode);
  w.writeText(s.shapeMaskName);
  w.writeText(s.caption);
  w.write4(s.windowSize);
  w.write2(s.customWidth);
  w.write2(s.customHeight);
  w.write4(s.pos);
  w.write2(s.customX);
  w.write2(s.customY);
  w.write4(s.bKeepRatio);
  w.write4(s.lBtnClk);
  w.write4(s.rBtnClk);
  w.write4(s.keyPress);
  w.write4(s.exitKeys);
  w.write4(s.systemKeys);
  w.write2(s.hotKeyCode);
  w.write2(s.hotKeyModifiers);
  w.write4(s.contextMenu);
  w.write4(s.behaviour);
  w.write4(static_cast<uint32_t>(s.reserved.size()));
  w.writeBytes(s.reserved.data(), s.reserved.size());
  w.write4(s.miscFlags);
  w.write4(s.backgroundColor);
  w.writeText(s.helpFile);
  w.write4(0);
  for (const auto* t : {&s.webLinkText, &s.webLinkUrl, &s.mailLinkText, &s.mailAddress}) w.writeText(*t);
  w.write4(s.webLinkColor);
  w.write4(s.mailLinkColor);
  w.writeFont(s.webLinkFont);
  w.writeFont(s.mailLinkFont);
  w.write4(s.aboutFlags);
  w.write4(s.aboutSpare);
  w.writeText(s.aboutPicture);
  w.write4(0);
  w.writeText(s.aboutText2);
  w.write4(s.spare1);
  w.writeText(s.spare2);
  w.write4(s.spare3);
  w.writeBytes(s.spareTime.data(), s.spareTime.size());
  w.write4(s.spare4);
  w.writeText(s.spare5);
  w.write2(s.spare6);
  w.write2(s.spare7);
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
