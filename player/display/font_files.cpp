#include "player/display/font_files.h"

#include <vector>

#include "player/display/truetype.h"
#include "util/file.h"
#include "util/platform.h"
#include "util/text.h"

namespace vorlo::player {
namespace {

// Candidate files for each face, best first.
std::vector<std::string> candidates(int family, bool bold) {
#ifdef _WIN32
  std::string dir = os::windowsFolder() + "\\Fonts\\";
  static const char* const kFiles[3][2][3] = {
      {{"arial.ttf", "tahoma.ttf", "verdana.ttf"}, {"arialbd.ttf", "tahomabd.ttf", "tahoma.ttf"}},
      {{"times.ttf", "georgia.ttf", "arial.ttf"}, {"timesbd.ttf", "times.ttf", "tahomabd.ttf"}},
      {{"cour.ttf", "consola.ttf", "tahoma.ttf"}, {"courbd.ttf", "cour.ttf", "tahomabd.ttf"}},
  };
#else
  std::string dir = "/usr/share/fonts/truetype/dejavu/";
  static const char* const kFiles[3][2][3] = {
      {{"DejaVuSans.ttf", "DejaVuSans.ttf", "DejaVuSans.ttf"},
       {"DejaVuSans-Bold.ttf", "DejaVuSans.ttf", "DejaVuSans.ttf"}},
      {{"DejaVuSerif.ttf", "DejaVuSans.ttf", "DejaVuSans.ttf"},
       {"DejaVuSerif-Bold.ttf", "DejaVuSerif.ttf", "DejaVuSans.ttf"}},
      {{"DejaVuSansMono.ttf", "DejaVuSans.ttf", "DejaVuSans.ttf"},
       {"DejaVuSansMono-Bold.ttf", "DejaVuSansMono.ttf", "DejaVuSans.ttf"}},
  };
#endif
  std::vector<std::string> out;
  for (const char* f : kFiles[family][bold ? 1 : 0]) out.push_back(dir + f);
  return out;
}

bool readFile(const std::string& path, std::vector<uint8_t>& bytes) {
  File file;
  if (!file.open(path, File::Mode::Read)) return false;
  uint64_t size = file.size();
  if (size == 0 || size > (64u << 20)) return false;
  bytes.resize(size_t(size));
  return file.readExact(bytes.data(), bytes.size());
}

}  // namespace

FontFiles::FontFiles() = default;

const Font* FontFiles::find(const std::string& name, bool bold, bool italic) {
  Family family = Sans;
  if (equalsIgnoreCase(name, "_serif") || equalsIgnoreCase(name, "Times New Roman") || equalsIgnoreCase(name, "Times"))
    family = Serif;
  if (equalsIgnoreCase(name, "_typewriter") || equalsIgnoreCase(name, "Courier New") ||
      equalsIgnoreCase(name, "Courier"))
    family = Mono;
  if (const Font* f = load(family, bold)) return f;
  return family == Sans ? nullptr : load(Sans, bold);
}

const Font* FontFiles::load(Family family, bool bold) {
  auto key = std::make_pair(family, bold);
  if (tried_[key]) {
    auto it = loaded_.find(key);
    return it == loaded_.end() ? nullptr : it->second.get();
  }
  tried_[key] = true;
  for (const std::string& path : candidates(family, bold)) {
    std::vector<uint8_t> bytes;
    if (!readFile(path, bytes)) continue;
    std::string error;
    if (auto font = readTrueType(bytes, &error)) {
      const Font* raw = font.get();
      loaded_[key] = std::move(font);
      return raw;
    }
  }
  return nullptr;
}

}  // namespace vorlo::player
