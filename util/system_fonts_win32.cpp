#include "util/system_fonts.h"

#include <windows.h>

#include <cstring>

#include "util/text.h"

namespace vorlo::os {
namespace {

// GetFontData names tables by their tag read as a little-endian number.
constexpr DWORD kCollection = 0x66637474;  // "ttcf"
constexpr DWORD kMaxFontBytes = 64u << 20;

// A device context with one font selected, released on every path.
class FontContext {
 public:
  explicit FontContext(const LOGFONTW& lf) : font_(CreateFontIndirectW(&lf)), dc_(CreateCompatibleDC(nullptr)) {
    if (font_ && dc_) old_ = SelectObject(dc_, font_);
  }
  ~FontContext() {
    if (old_) SelectObject(dc_, old_);
    if (dc_) DeleteDC(dc_);
    if (font_) DeleteObject(font_);
  }
  FontContext(const FontContext&) = delete;
  FontContext& operator=(const FontContext&) = delete;
  HDC dc() const { return old_ ? dc_ : nullptr; }

 private:
  HFONT font_;
  HDC dc_;
  HGDIOBJ old_ = nullptr;
};

bool readTable(HDC dc, DWORD table, DWORD offset, std::vector<uint8_t>& out, DWORD size) {
  out.resize(size);
  return GetFontData(dc, table, offset, out.data(), size) == size;
}

uint32_t bigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// Which face of a collection the context's font is: the one whose table directory is the same.
std::optional<uint32_t> faceInCollection(HDC dc, const std::vector<uint8_t>& file) {
  std::vector<uint8_t> head;
  if (!readTable(dc, 0, 0, head, 12)) return std::nullopt;
  size_t directorySize = 12 + size_t(head[4] << 8 | head[5]) * 16;
  std::vector<uint8_t> directory;
  if (!readTable(dc, 0, 0, directory, DWORD(directorySize))) return std::nullopt;
  if (file.size() < 12) return std::nullopt;
  uint32_t faces = bigEndian32(&file[8]);
  for (uint32_t i = 0; i < faces && 12 + size_t(i) * 4 + 4 <= file.size(); ++i) {
    size_t at = bigEndian32(&file[12 + size_t(i) * 4]);
    if (at <= file.size() && directorySize <= file.size() - at &&
        std::memcmp(&file[at], directory.data(), directorySize) == 0)
      return i;
  }
  return std::nullopt;
}

}  // namespace

std::string deviceFaceName(const std::string& face) {
  if (face == "_sans") return "Arial";
  if (face == "_serif") return "Times New Roman";
  if (face == "_typewriter") return "Courier New";
  return face;
}

std::optional<SystemFont> systemFont(const std::string& face, bool bold, bool italic) {
  LOGFONTW lf{};
  lf.lfHeight = -1024;
  lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = italic ? TRUE : FALSE;
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;  // outlines, never a bitmap font
  // When the face is missing, GDI picks by these: a fixed pitch for the typewriter face.
  if (face == "_typewriter") lf.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  else if (face == "_serif") lf.lfPitchAndFamily = VARIABLE_PITCH | FF_ROMAN;
  else if (face == "_sans") lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
  std::u16string name = utf8ToUtf16(deviceFaceName(face));
  if (name.size() >= LF_FACESIZE) name.resize(LF_FACESIZE - 1);
  std::memcpy(lf.lfFaceName, name.data(), name.size() * sizeof(char16_t));

  FontContext context(lf);
  HDC dc = context.dc();
  if (!dc) return std::nullopt;
  SystemFont font;
  DWORD size = GetFontData(dc, kCollection, 0, nullptr, 0);
  bool collection = size != GDI_ERROR && size > 0;
  if (!collection) size = GetFontData(dc, 0, 0, nullptr, 0);
  if (size == GDI_ERROR || size == 0 || size > kMaxFontBytes) return std::nullopt;
  if (!readTable(dc, collection ? kCollection : 0, 0, font.bytes, size)) return std::nullopt;
  if (collection) {
    auto index = faceInCollection(dc, font.bytes);
    if (!index) return std::nullopt;
    font.faceIndex = *index;
  }
  return font;
}

}  // namespace vorlo::os
