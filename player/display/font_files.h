// Device fonts: the system's TrueType faces (chosen by GDI on Windows, Debian's DejaVu files
// elsewhere) read into glyph shapes. Faces the system lacks fall back on its sans-serif face.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "player/display/edit_text.h"

namespace vorlo::player {

class FontFiles : public DeviceFonts {
 public:
  FontFiles();
  const Font* find(const std::string& name, bool bold, bool italic) override;

 private:
  const Font* load(const std::string& name, bool bold, bool italic);
  // Faces by lower-case name, bold and italic; null for a face that could not be read. Names that
  // the system maps to the same font file share one Font (keyed by a digest of the file).
  std::map<std::tuple<std::string, bool, bool>, const Font*> faces_;
  std::map<std::pair<uint64_t, uint32_t>, std::unique_ptr<Font>> fonts_;
};

}  // namespace vorlo::player
