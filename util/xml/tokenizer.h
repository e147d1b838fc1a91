// Splits reader input into tokens. Everything the parser sees goes through here.
#pragma once

#include <cstddef>
#include <string_view>

namespace vorlo::xml_detail {

// Sections kept as raw text, tested in this order at every token start, ignoring case.
struct ClearMarkers {
  std::u16string_view opening;
  std::u16string_view closing;
};
inline constexpr ClearMarkers kClearSections[] = {
    {u"<![CDATA[", u"]]>"},
    {u"<PRE>", u"</PRE>"},
    {u"<Script>", u"</Script>"},
    {u"<!--", u"-->"},
    {u"<!DOCTYPE", u">"},
};
inline constexpr std::size_t kDoctypeSection = 4;

enum class TokenKind {
  End,
  Clear,            // an opening marker of kClearSections; Token::clear says which
  Quoted,           // "..." or '...', quotes included
  Plain,            // a run of text up to white space, "<", "=", ">" or "/>"
  TagOpen,          // "<"
  EndTagOpen,       // "</"
  DeclarationOpen,  // "<?"
  ShortClose,       // "/>"
  Equals,           // "="
  Close,            // ">"
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::size_t begin = 0;  // offsets into the text; [begin, end)
  std::size_t end = 0;
  std::size_t clear = 0;
};

bool isXmlSpace(char16_t c) noexcept;

class Tokenizer {
 public:
  explicit Tokenizer(std::u16string_view text) noexcept : text_(text) {}

  Token next() noexcept;

  // After a Clear token: finds the section's closing marker. On success [textBegin, textEnd) is the raw
  // text between the markers and the position moves past the closing marker.
  bool readClear(std::size_t clear, std::size_t& textBegin, std::size_t& textEnd) noexcept;

  std::u16string_view text() const noexcept { return text_; }
  std::size_t position() const noexcept { return pos_; }

 private:
  std::size_t plainEnd(std::size_t from) const noexcept;
  std::size_t findClearEnd(std::size_t clear, std::size_t from) const noexcept;

  std::u16string_view text_;
  std::size_t pos_ = 0;
};

}  // namespace vorlo::xml_detail
