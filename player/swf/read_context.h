// What the tag readers share while one movie is read: the movie being filled, its version (for
// string encodings and record layouts that depend on the tag, never to refuse a tag), the budget of
// decoded memory and the warnings.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "player/swf/movie.h"
#include "player/swf/swf_reader.h"

namespace vorlo::player {

// Limits that keep a hostile movie from taking the machine (the product is a 32-bit process).
struct ReadLimits {
  // A compressed movie that declares more than this is refused before anything is allocated.
  static constexpr uint32_t kMaxMovieBytes = 256u << 20;
  // Decoded definitions (pixels, edges, glyphs, records) beyond this are refused with a warning:
  // a small compressed movie can otherwise expand into gigabytes of bitmaps.
  static constexpr size_t kMaxDecodedBytes = size_t(512) << 20;
  // One bitmap: at most 8191 pixels a side and 16,777,216 pixels in all, as Flash Player 10 allowed.
  static constexpr int kMaxBitmapSide = 8191;
  static constexpr uint32_t kMaxBitmapPixels = 16777216;
  // Sprites defined inside sprites.
  static constexpr int kMaxSpriteNesting = 32;
  // Warnings kept per movie; a damaged movie can otherwise repeat the same one millions of times.
  static constexpr size_t kMaxWarnings = 200;
};

class ReadContext {
 public:
  ReadContext(Movie& movie, size_t budget = ReadLimits::kMaxDecodedBytes) : movie_(movie), budget_(budget) {}

  Movie& movie() { return movie_; }
  uint8_t version() const { return movie_.header.version; }

  void warn(std::string text);
  // Takes `bytes` from the decoded-memory budget; false (with a warning naming `what`) when the
  // budget is spent.
  bool charge(size_t bytes, const char* what);
  // A movie string's bytes as UTF-8: UTF-8 from version 6, Windows-1252 before.
  std::string text(std::span<const uint8_t> bytes) const;
  std::string cstring(SwfReader& r) const { return text(r.cstring()); }

  // A definition's character, when `id` is not taken yet (the first definition of an id wins,
  // as in Flash).
  bool define(uint16_t id, Character character, uint16_t code);
  // A character defined earlier, to be completed by a later tag (font info, button colour).
  template <typename T>
  T* edit(uint16_t id) {
    auto it = movie_.characters.find(id);
    if (it == movie_.characters.end()) return nullptr;
    return std::get_if<T>(const_cast<Character*>(it->second.get()));
  }

  std::vector<uint8_t> jpegTables;
  int spriteNesting = 0;

 private:
  Movie& movie_;
  size_t budget_;
  size_t spent_ = 0;
  size_t warningsLeftOut_ = 0;
};

// The tag readers, by concern. Each reads one tag's body; `code` is the tag code. They warn
// and leave the definition out when the body is damaged.
void readShapeTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body);
void readMorphShapeTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body);
void readBitmapTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body);
void readFontTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body);
void readTextTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body);
void readButtonTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body);

// Records that several tags share.
bool readFillStyle(SwfReader& r, int shapeVersion, FillStyle& out);
bool readFilterList(SwfReader& r, std::vector<Filter>& out);
BlendMode blendModeFromByte(uint8_t b);

// Shape records after the style tables: edges into `groups` (the first group already holds
// the initial tables). `withStyles` is false for glyphs, which have no style tables.
bool readShapeRecords(ReadContext& ctx, SwfReader& r, int shapeVersion, bool withStyles,
                      std::vector<StyleGroup>& groups);

// readMovie with a smaller budget of decoded memory (tests of the refusal).
std::unique_ptr<Movie> readMovieWithBudget(std::span<const uint8_t> bytes, std::string* error, size_t decodedBudget);

}  // namespace vorlo::player
