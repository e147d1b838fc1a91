// A text field: formatted text (plain, or the HTML subset) laid out in lines with embedded glyphs
// or a device font that the host provides, with border and background. Scripts change its text,
// formats and properties; every change shows in the next frame drawn.
#pragma once
#include <string>
#include <vector>

#include "player/display/movie_clip.h"
#include "player/display/text_format.h"

namespace vorlo::player {

// Glyphs of the system's fonts for fields that do not embed theirs. The host (a font file on
// Linux, GDI on Windows) provides it; without one such text is not drawn.
class DeviceFonts {
 public:
  virtual ~DeviceFonts() = default;
  // A font whose glyph shapes are in em units of `Font::emSquare`, or null.
  virtual const Font* find(const std::string& name, bool bold, bool italic) = 0;
};

// Formatted text: characters (paragraphs end with '\r') and the spans of their formats.
struct RichText {
  std::u16string text;
  std::vector<FormatSpan> spans;  // lengths add up to text.size()
  void append(const std::u16string& s, const TextFormat& format);
};

// The HTML subset text fields take: <p align>, <br>, <font face size color letterspacing kerning>,
// <b>, <i>, <u>, <a href target>, <li>, <textformat ...> and the common entities. Unknown tags are
// skipped, their text kept. `base` formats text outside any tag; `multiline` fields keep line breaks.
RichText parseFieldHtml(const std::u16string& html, const TextFormat& base, bool multiline, bool condenseWhite);
// The HTML a field gives back for its text (upper-case tags, every paragraph in <P> or <LI>).
std::u16string writeFieldHtml(const RichText& text, int swfVersion);

enum class AutoSize : uint8_t { None, Left, Right, Center };

class EditTextObject : public DisplayObject {
 public:
  EditTextObject(uint16_t id, const EditText& field, const Movie& movie);
  // A field made by a script (createTextField): empty, no border, the device serif font.
  EditTextObject(const Movie& movie, Rect bounds);
  void paint(Painter& painter) const override;
  Rect ownBounds() const override { return bounds_; }

  // ---- Text ----
  const std::u16string& text() const { return content_.text; }
  const RichText& content() const { return content_; }
  // Plain text: line breaks ("\r", "\n", "\r\n") become paragraph ends; it takes the new-text format.
  void setText(const std::u16string& text);
  std::u16string htmlText() const;
  void setHtmlText(const std::u16string& html);
  // Replaces [begin, end) with `text` in `format` (positions are clamped to the text).
  void replace(size_t begin, size_t end, const std::u16string& text, const TextFormat& format);
  // The format the characters [begin, end) share (unset where they differ).
  TextFormat formatOf(size_t begin, size_t end) const;
  // Changes the format of [begin, end); paragraph fields change the whole paragraphs touched.
  void applyFormat(size_t begin, size_t end, const TextFormat& change);
  TextFormat newFormat;  // what new text takes

  // ---- Properties ----
  Rect bounds() const { return bounds_; }
  void setSize(double widthTwips, double heightTwips);
  bool border = false, background = false, wordWrap = false, multiline = false, html = false;
  bool password = false, selectable = true, readOnly = true, embedFonts = false, condenseWhite = false;
  bool mouseWheelEnabled = true;
  AutoSize autoSize = AutoSize::None;
  Rgba borderColor{0, 0, 0, 255}, backgroundColor{255, 255, 255, 255};
  int maxChars = 0;  // 0: no limit
  std::optional<std::u16string> restrict;
  std::string variable;  // the bound variable's path ("" for none)
  std::string antiAliasType = "normal", gridFitType = "pixel";
  double sharpness = 0, thickness = 0;
  int scroll = 1, hscroll = 0;
  bool focused = false;

  // Measures of the laid-out text (twips), as textWidth and textHeight give them.
  double textWidth() const;
  double textHeight() const;
  int lineCount() const;
  // Called after the text or format changed: auto-sized fields fit their text again.
  void fitToText();

  const Movie& movie() const { return movie_; }
  static DeviceFonts* deviceFonts;  // set by the host; may be null

 private:
  struct Layout;
  Layout layOut() const;
  const Font* fontFor(const TextFormat& f) const;

  const Movie& movie_;
  Rect bounds_;
  RichText content_;
};

}  // namespace vorlo::player
