// Builds the node tree from tokens. The parser keeps the open elements on an explicit stack instead of
// recursing, so nesting depth costs heap, not native stack; XmlNode::kMaxDepth bounds it for the code
// that walks the tree afterwards.
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "util/xml/entities.h"
#include "util/xml/node_record.h"
#include "util/xml/tokenizer.h"
#include "util/xml/xml.h"

namespace vorlo {

namespace xml_detail {
namespace {

// An attribute is stored only when the next one starts or the tag ends, because in a declaration the
// last one loses the "?" of "?>".
struct PendingAttribute {
  bool active = false;
  std::size_t nameBegin = 0;
  std::size_t nameEnd = 0;
  bool hasValue = false;
  bool quoted = false;
  std::u16string value;
};

class Parser {
 public:
  explicit Parser(std::u16string_view text) : tokens_(text), text_(text) {}

  // Parses the whole text; the root on success (including an implicit close), else the empty node.
  XmlNode run();
  XmlResult result() const;

 private:
  bool fail(XmlError error, std::size_t offset) {
    error_ = error;
    stopOffset_ = offset;
    return false;
  }
  std::u16string_view slice(std::size_t begin, std::size_t end) const {
    return text_.substr(begin, end - begin);
  }
  bool decode(std::size_t begin, std::size_t end, std::u16string& out) {
    std::size_t bad = 0;
    if (decodeEntities(slice(begin, end), out, bad)) return true;
    return fail(XmlError::BadEntity, begin + bad);
  }

  bool parseContent();
  bool flushText();
  bool readClear(const Token& opener);
  bool openElement(const Token& opener);
  bool readAttributes(NodeRecord* element, bool& hasContent);
  bool readAttributeValue(PendingAttribute& attribute);
  void storeAttribute(NodeRecord* element, PendingAttribute& attribute);
  void finishDeclarationTag(NodeRecord* element, PendingAttribute& last);
  bool closeElement(const Token& opener);

  Tokenizer tokens_;
  std::u16string_view text_;
  std::vector<NodeRecord*> open_;  // root first; every entry is owned through the root
  bool hasText_ = false;
  std::size_t textBegin_ = 0;
  std::size_t textEnd_ = 0;
  XmlError error_ = XmlError::None;
  std::size_t stopOffset_ = 0;
};

XmlNode Parser::run() {
  XmlNode root = NodeRecord::handle(NodeRecord::create());
  open_.push_back(NodeRecord::recordOf(root));
  if (!parseContent()) return XmlNode();
  return root;
}

bool Parser::parseContent() {
  for (;;) {
    Token token = tokens_.next();
    switch (token.kind) {
      case TokenKind::End:
        // Elements still open here are accepted as closed by the end of the text.
        if (!flushText()) return false;
        if (error_ == XmlError::None) stopOffset_ = token.begin;
        return true;
      case TokenKind::Plain:
      case TokenKind::Quoted:
      case TokenKind::Equals:
        if (!hasText_) {
          hasText_ = true;
          textBegin_ = token.begin;
        }
        textEnd_ = token.end;  // white space inside the run stays, white space after it does not
        break;
      case TokenKind::Clear:
        if (!flushText() || !readClear(token)) return false;
        break;
      case TokenKind::TagOpen:
      case TokenKind::DeclarationOpen:
        if (!flushText() || !openElement(token)) return false;
        break;
      case TokenKind::EndTagOpen:
        if (!flushText() || !closeElement(token)) return false;
        break;
      case TokenKind::Close:
      case TokenKind::ShortClose:
        return fail(XmlError::UnexpectedToken, token.begin);
    }
  }
}

bool Parser::flushText() {
  if (!hasText_) return true;
  hasText_ = false;
  std::u16string text;
  if (!decode(textBegin_, textEnd_, text)) return false;
  open_.back()->appendText(std::move(text));
  return true;
}

bool Parser::readClear(const Token& opener) {
  std::size_t begin = 0;
  std::size_t end = 0;
  if (!tokens_.readClear(opener.clear, begin, end)) return fail(XmlError::Unterminated, opener.begin);
  const ClearMarkers& markers = kClearSections[opener.clear];
  open_.back()->appendClear(XmlClear{std::u16string(slice(begin, end)), markers.opening, markers.closing});
  return true;
}

bool Parser::openElement(const Token& opener) {
  Token name = tokens_.next();
  if (name.kind != TokenKind::Plain) return fail(XmlError::MissingName, name.begin);
  // open_ holds the root at depth 0, so the new element would sit at depth open_.size().
  if (open_.size() > XmlNode::kMaxDepth) return fail(XmlError::TooDeep, opener.begin);

  std::unique_ptr<NodeRecord> created(NodeRecord::create());
  created->name = slice(name.begin, name.end);
  created->isDeclaration = opener.kind == TokenKind::DeclarationOpen;
  NodeRecord* element = created.get();
  open_.back()->appendChild(element);  // the parent now owns it
  created.release();

  bool hasContent = false;
  if (!readAttributes(element, hasContent)) return false;
  if (hasContent) open_.push_back(element);
  return true;
}

bool Parser::readAttributes(NodeRecord* element, bool& hasContent) {
  PendingAttribute pending;
  for (;;) {
    Token token = tokens_.next();
    switch (token.kind) {
      case TokenKind::Plain:
        storeAttribute(element, pending);
        pending.active = true;
        pending.nameBegin = token.begin;
        pending.nameEnd = token.end;
        break;
      case TokenKind::Equals:
        if (!pending.active || pending.hasValue) return fail(XmlError::UnexpectedToken, token.begin);
        if (!readAttributeValue(pending)) return false;
        break;
      case TokenKind::Close:
      case TokenKind::ShortClose:
        if (element->isDeclaration) finishDeclarationTag(element, pending);
        storeAttribute(element, pending);
        hasContent = token.kind == TokenKind::Close;
        return true;
      default:
        // Includes the end of the text: a tag cut off inside its attribute list is not a tag.
        return fail(XmlError::UnexpectedToken, token.begin);
    }
  }
}

bool Parser::readAttributeValue(PendingAttribute& attribute) {
  Token value = tokens_.next();
  if (value.kind != TokenKind::Plain && value.kind != TokenKind::Quoted) {
    return fail(XmlError::UnexpectedToken, value.begin);
  }
  attribute.hasValue = true;
  attribute.quoted = value.kind == TokenKind::Quoted;
  std::size_t begin = value.begin;
  std::size_t end = value.end;
  if (attribute.quoted) {
    ++begin;
    --end;
  }
  return decode(begin, end, attribute.value);
}

void Parser::storeAttribute(NodeRecord* element, PendingAttribute& attribute) {
  if (!attribute.active) return;
  XmlAttribute stored;
  stored.name = slice(attribute.nameBegin, attribute.nameEnd);
  if (attribute.hasValue) stored.value = std::move(attribute.value);
  element->appendAttribute(std::move(stored));
  attribute = PendingAttribute();
}

// "<?xml version=1.0?>": the "?" of the closing "?>" sticks to whatever token came last. It is taken off
// an unquoted value or a name; a "?" standing alone (after a quoted value or a space) is dropped
// entirely. A quoted value is data and keeps its characters.
void Parser::finishDeclarationTag(NodeRecord* element, PendingAttribute& last) {
  if (!last.active) {
    if (element->attributes.empty() && element->name.size() > 1 && element->name.back() == u'?') {
      element->name.pop_back();
    }
    return;
  }
  if (last.hasValue) {
    if (!last.quoted && !last.value.empty() && last.value.back() == u'?') last.value.pop_back();
    return;
  }
  if (text_[last.nameEnd - 1] == u'?') {
    --last.nameEnd;
    if (last.nameEnd == last.nameBegin) last.active = false;
  }
}

bool Parser::closeElement(const Token& opener) {
  Token name = tokens_.next();
  if (name.kind != TokenKind::Plain) return fail(XmlError::BadEndTag, name.begin);
  Token close = tokens_.next();
  if (close.kind != TokenKind::Close) return fail(XmlError::BadEndTag, close.begin);

  std::u16string_view tag = slice(name.begin, name.end);
  // Innermost first; the root (index 0) has no name and matches nothing.
  for (std::size_t i = open_.size(); i-- > 1;) {
    if (!xmlNameEquals(open_[i]->name, tag)) continue;
    if (i != open_.size() - 1 && error_ == XmlError::None) {
      // The elements above i end here without end tags of their own: tolerated, but reported.
      error_ = XmlError::ImplicitClose;
      stopOffset_ = opener.begin;
    }
    open_.resize(i);
    return true;
  }
  return fail(XmlError::Unterminated, opener.begin);
}

XmlResult Parser::result() const {
  XmlResult result;
  result.error = error_;
  result.line = 1;
  result.column = 1;
  std::size_t stop = stopOffset_ < text_.size() ? stopOffset_ : text_.size();
  for (std::size_t i = 0; i < stop; ++i) {
    if (text_[i] == u'\n') {
      ++result.line;
      result.column = 1;
    } else {
      ++result.column;
    }
  }
  return result;
}

// The first element named tag among the root's children. A declaration that is not the one looked for
// is entered, since "<?xml ...?>" swallows the rest of the document as its content; after its children
// the walk goes on with the declaration's following siblings.
XmlNode selectElement(const XmlNode& root, std::u16string_view tag) {
  std::vector<std::pair<const NodeRecord*, std::size_t>> resume;
  const NodeRecord* parent = NodeRecord::recordOf(root);
  std::size_t next = 0;
  for (;;) {
    if (next == parent->children.size()) {
      if (resume.empty()) return XmlNode();
      std::tie(parent, next) = resume.back();
      resume.pop_back();
      continue;
    }
    NodeRecord* candidate = parent->children[next++];
    if (xmlNameEquals(candidate->name, tag)) return NodeRecord::handle(candidate);
    if (candidate->isDeclaration) {
      resume.emplace_back(parent, next);
      parent = candidate;
      next = 0;
    }
  }
}

}  // namespace
}  // namespace xml_detail

XmlNode XmlNode::parse(std::u16string_view text, std::u16string_view tag, XmlResult* result) {
  if (text.empty()) {
    if (result) *result = XmlResult{XmlError::NoText, 0, 0};
    return XmlNode();
  }
  xml_detail::Parser parser(text);
  XmlNode root = parser.run();
  if (result) *result = parser.result();
  if (root.empty() || tag.empty()) return root;
  return xml_detail::selectElement(root, tag);
}

XmlNode XmlNode::parse(const char16_t* text, const char16_t* tag, XmlResult* result) {
  return parse(text ? std::u16string_view(text) : std::u16string_view(),
               tag ? std::u16string_view(tag) : std::u16string_view(), result);
}

}  // namespace vorlo
