// A text field: its text laid out in lines with embedded glyphs (or a device font that the host
// provides), with border and background.
#pragma once
#include <string>
#include <vector>

#include "player/display/movie_clip.h"

namespace vorlo::player {

// Glyphs of the system's fonts for fields that do not embed theirs. The host (a font file on
// Linux, GDI on Windows) provides it; without one such text is not drawn.
class DeviceFonts {
 public:
  virtual ~DeviceFonts() = default;
  // A font whose glyph shapes are in em units of `Font::emSquare`, or null.
  virtual const Font* find(const std::string& name, bool bold, bool italic) = 0;
};

// One run of text with one format, as the field's text (plain or the HTML subset) gives it.
struct TextRun {
  std::u16string text;
  std::string face;
  double size = 240;  // twips
  Rgba color{0, 0, 0, 255};
  bool bold = false, italic = false, underline = false;
  TextAlign align = TextAlign::Left;
  bool paragraphEnd = false;  // a line break follows the run
};

// The HTML subset text fields take: <p align>, <br>, <font face size color>, <b>, <i>, <u>,
// <textformat>, <span> and the common entities. Unknown tags are skipped, their text kept.
std::vector<TextRun> parseFieldHtml(const std::u16string& html, const TextRun& base);

class EditTextObject : public DisplayObject {
 public:
  EditTextObject(uint16_t id, const EditText& field, const Movie& movie);
  void paint(Painter& painter) const override;
  Rect ownBounds() const override { return field_.bounds; }

  // The field's text as set by the movie or by scripts (UTF-16, HTML when `html`).
  void setText(std::u16string text) { text_ = std::move(text); }
  const std::u16string& text() const { return text_; }
  bool border = false, background = false;
  Rgba borderColor{0, 0, 0, 255}, backgroundColor{255, 255, 255, 255};
  static DeviceFonts* deviceFonts;  // set by the host; may be null

 private:
  const EditText& field_;
  const Movie& movie_;
  std::u16string text_;
};

}  // namespace vorlo::player
