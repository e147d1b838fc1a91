#include "util/system_fonts.h"

#include "util/file.h"
#include "util/text.h"

namespace vorlo::os {
namespace {

enum Family { Sans, Serif, Mono };

Family familyOf(const std::string& face) {
  static const struct {
    const char* name;
    Family family;
  } kFaces[] = {
      {"_serif", Serif}, {"Times New Roman", Serif}, {"Times", Serif}, {"Georgia", Serif},
      {"DejaVu Serif", Serif}, {"_typewriter", Mono}, {"Courier New", Mono}, {"Courier", Mono},
      {"Lucida Console", Mono}, {"Consolas", Mono}, {"DejaVu Sans Mono", Mono},
  };
  for (const auto& f : kFaces)
    if (equalsIgnoreCase(face, f.name)) return f.family;
  return Sans;
}

bool readFont(const std::string& path, std::vector<uint8_t>& bytes) {
  File file;
  if (!file.open(path, File::Mode::Read)) return false;
  uint64_t size = file.size();
  if (size == 0 || size > (64u << 20)) return false;
  bytes.resize(size_t(size));
  return file.readExact(bytes.data(), bytes.size());
}

}  // namespace

std::string deviceFaceName(const std::string& face) {
  static const char* const kNames[] = {"DejaVu Sans", "DejaVu Serif", "DejaVu Sans Mono"};
  if (face == "_sans" || face == "_serif" || face == "_typewriter") return kNames[familyOf(face)];
  return face;
}

std::optional<SystemFont> systemFont(const std::string& face, bool bold, bool /*italic*/) {
  // Best first: the family's own face, then its regular weight, then the sans-serif face.
  static const char* const kFiles[3][2][3] = {
      {{"DejaVuSans.ttf", "DejaVuSans.ttf", "DejaVuSans.ttf"},
       {"DejaVuSans-Bold.ttf", "DejaVuSans.ttf", "DejaVuSans.ttf"}},
      {{"DejaVuSerif.ttf", "DejaVuSans.ttf", "DejaVuSans.ttf"},
       {"DejaVuSerif-Bold.ttf", "DejaVuSerif.ttf", "DejaVuSans.ttf"}},
      {{"DejaVuSansMono.ttf", "DejaVuSans.ttf", "DejaVuSans.ttf"},
       {"DejaVuSansMono-Bold.ttf", "DejaVuSansMono.ttf", "DejaVuSans.ttf"}},
  };
  SystemFont font;
  for (const char* file : kFiles[familyOf(face)][bold ? 1 : 0])
    if (readFont(std::string("/usr/share/fonts/truetype/dejavu/") + file, font.bytes)) return font;
  return std::nullopt;
}

}  // namespace vorlo::os
