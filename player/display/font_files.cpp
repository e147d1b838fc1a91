#include "player/display/font_files.h"

#include <cctype>

#include "player/display/truetype.h"
#include "util/system_fonts.h"

namespace vorlo::player {
namespace {

// A movie names as many faces as it likes; beyond this many each further name is drawn in the
// sans-serif face, so memory stays bounded.
constexpr size_t kMaxFaces = 24;

std::string lower(const std::string& s) {
  std::string out = s;
  for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

FontFiles::FontFiles() = default;

const Font* FontFiles::find(const std::string& name, bool bold, bool italic) {
  std::string face = name.empty() ? "_sans" : lower(name);
  if (face != "_sans") {
    auto known = faces_.find({face, bold, italic});
    if (known != faces_.end() || faces_.size() < kMaxFaces)
      if (const Font* f = load(face, bold, italic)) return f;
  }
  return load("_sans", bold, italic);
}

const Font* FontFiles::load(const std::string& name, bool bold, bool italic) {
  auto key = std::make_tuple(name, bold, italic);
  auto it = faces_.find(key);
  if (it != faces_.end()) return it->second;
  const Font* font = nullptr;
  if (auto file = os::systemFont(name, bold, italic)) {
    uint64_t digest = 14695981039346656037ull;  // FNV-1a
    for (uint8_t b : file->bytes) digest = (digest ^ b) * 1099511628211ull;
    auto& shared = fonts_[{digest, file->faceIndex}];
    if (!shared) {
      std::string error;
      shared = readTrueType(file->bytes, &error, 4096, file->faceIndex);
    }
    font = shared.get();
  }
  faces_[key] = font;
  return font;
}

}  // namespace vorlo::player
