// Glyph outlines of a TrueType font file, as a Font whose glyphs are shapes: device text drawn with
// the fonts of the system the player runs on.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "player/swf/movie.h"

namespace vorlo::player {

// Reads the outlines (quadratic 'glyf' outlines, simple and composite), the character map (formats
// 4 and 12, BMP characters), horizontal metrics and kerning-free layout. Null with `error` set for a
// file that is not such a font. Glyphs are kept for the characters the map names, at most `maxGlyphs`.
// A font collection (.ttc) gives its face number `faceIndex`.
std::unique_ptr<Font> readTrueType(std::span<const uint8_t> bytes, std::string* error, size_t maxGlyphs = 4096,
                                   uint32_t faceIndex = 0);

}  // namespace vorlo::player
