#include "util/xml/tokenizer.h"

#include "util/xml/xml.h"

namespace vorlo::xml_detail {

namespace {

constexpr std::size_t kNotFound = std::u16string_view::npos;

bool startsWithIgnoringCase(std::u16string_view text, std::size_t at, std::u16string_view prefix) {
  if (text.size() - at < prefix.size()) return false;
  return xmlNameEquals(text.substr(at, prefix.size()), prefix);
}

}  // namespace

bool isXmlSpace(char16_t c) noexcept { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

std::size_t Tokenizer::plainEnd(std::size_t from) const noexcept {
  std::size_t i = from;
  while (i < text_.size()) {
    char16_t c = text_[i];
    if (isXmlSpace(c) || c == u'<' || c == u'=' || c == u'>') break;
    if (c == u'/' && i + 1 < text_.size() && text_[i + 1] == u'>') break;
    ++i;
  }
  return i;
}

Token Tokenizer::next() noexcept {
  while (pos_ < text_.size() && isXmlSpace(text_[pos_])) ++pos_;
  Token token;
  token.begin = pos_;
  if (pos_ == text_.size()) {
    token.end = pos_;
    return token;
  }
  const char16_t c = text_[pos_];
  const char16_t following = pos_ + 1 < text_.size() ? text_[pos_ + 1] : u'\0';
  std::size_t end = pos_ + 1;

  if (c == u'<') {
    for (std::size_t k = 0; k < std::size(kClearSections); ++k) {
      if (startsWithIgnoringCase(text_, pos_, kClearSections[k].opening)) {
        token.kind = TokenKind::Clear;
        token.clear = k;
        end = pos_ + kClearSections[k].opening.size();
        pos_ = token.end = end;
        return token;
      }
    }
    if (following == u'/') {
      token.kind = TokenKind::EndTagOpen;
      end = pos_ + 2;
    } else if (following == u'?') {
      token.kind = TokenKind::DeclarationOpen;
      end = pos_ + 2;
    } else {
      token.kind = TokenKind::TagOpen;
    }
  } else if (c == u'"' || c == u'\'') {
    // A quote without its partner before the next "<" is ordinary text. Such a failed search never
    // passes another quote of the same kind, so the searches stay linear over the whole text.
    std::size_t i = pos_ + 1;
    while (i < text_.size() && text_[i] != c && text_[i] != u'<') ++i;
    if (i < text_.size() && text_[i] == c) {
      token.kind = TokenKind::Quoted;
      end = i + 1;
    } else {
      token.kind = TokenKind::Plain;
      end = plainEnd(pos_ + 1);
    }
  } else if (c == u'/' && following == u'>') {
    token.kind = TokenKind::ShortClose;
    end = pos_ + 2;
  } else if (c == u'=') {
    token.kind = TokenKind::Equals;
  } else if (c == u'>') {
    token.kind = TokenKind::Close;
  } else {
    token.kind = TokenKind::Plain;
    end = plainEnd(pos_ + 1);
  }
  pos_ = token.end = end;
  return token;
}

std::size_t Tokenizer::findClearEnd(std::size_t clear, std::size_t from) const noexcept {
  if (clear == kDoctypeSection) {
    // An internal subset ("[ <!ENTITY ...> ]") holds ">" characters of its own; the declaration ends at
    // the first ">" outside the brackets.
    std::size_t depth = 0;
    for (std::size_t i = from; i < text_.size(); ++i) {
      if (text_[i] == u'[') {
        ++depth;
      } else if (text_[i] == u']') {
        if (depth > 0) --depth;
      } else if (text_[i] == u'>' && depth == 0) {
        return i;
      }
    }
    return kNotFound;
  }
  std::u16string_view closing = kClearSections[clear].closing;
  const char16_t first = closing[0];  // markers begin with a non-letter
  for (std::size_t i = from; i < text_.size(); ++i) {
    if (text_[i] == first && startsWithIgnoringCase(text_, i, closing)) return i;
  }
  return kNotFound;
}

bool Tokenizer::readClear(std::size_t clear, std::size_t& textBegin, std::size_t& textEnd) noexcept {
  std::size_t close = findClearEnd(clear, pos_);
  if (close == kNotFound) return false;
  textBegin = pos_;
  textEnd = close;
  pos_ = close + kClearSections[clear].closing.size();
  return true;
}

}  // namespace vorlo::xml_detail
