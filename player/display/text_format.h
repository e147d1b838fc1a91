// The character and paragraph format of a text field's text: every field may be unset, so that a
// format can say "mixed" (the range asked for has more than one value) or "leave as it is" (a change
// that sets only some fields).
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "player/swf/movie.h"

namespace vorlo::player {

struct TextFormat {
  std::optional<std::string> font, url, target;  // UTF-8
  std::optional<double> size;                    // points
  std::optional<uint32_t> color;                 // 0xRRGGBB
  std::optional<bool> bold, italic, underline, bullet, kerning;
  std::optional<TextAlign> align;
  std::optional<double> leftMargin, rightMargin, indent, leading, blockIndent, letterSpacing;
  std::optional<std::vector<double>> tabStops;

  // Applies every field that `change` sets.
  void apply(const TextFormat& change);
  // Keeps only the fields on which this format and `other` agree.
  void intersect(const TextFormat& other);
  bool operator==(const TextFormat&) const = default;
};

// A run of characters that share one format.
struct FormatSpan {
  size_t length = 0;
  TextFormat format;
};

const char* alignName(TextAlign a);  // "left", "right", "center", "justify"
std::optional<TextAlign> alignFromName(std::string_view name);  // case-insensitive

}  // namespace vorlo::player
