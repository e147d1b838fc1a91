// The system's TrueType fonts as bytes: what device text is drawn with when a movie does not embed
// its glyphs. On Windows GDI chooses the face (its font mapping and substitutes apply, so any
// installed face name works); elsewhere a small table of Debian's DejaVu files stands in.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorlo::os {

struct SystemFont {
  std::vector<uint8_t> bytes;  // a TrueType file or collection
  uint32_t faceIndex = 0;      // the face within a collection
};

// The font for `face` (a face name, or one of the generic names "_sans", "_serif" and
// "_typewriter"), bold and italic when the system has such a face. Nothing when the system has
// no TrueType font for it at all.
std::optional<SystemFont> systemFont(const std::string& face, bool bold, bool italic);

// The face name a generic name stands for on this system, or `face` itself.
std::string deviceFaceName(const std::string& face);

}  // namespace vorlo::os
