// A small, tolerant XML reader: UTF-16 text in, a tree of XmlNode handles out.
//
// It is not a validating parser. It accepts well-formed documents, tolerates a missing end tag, keeps the
// document order of everything it reads, and keeps a fixed set of "clear" sections (CDATA, PRE, Script,
// comments, DOCTYPE) as raw text. Element, attribute and entity names compare without regard to ASCII case.
// There is no writer: the documents the system produces are written by the code that needs them.
//
// Ownership: XmlNode is a counted handle to a node record. A tree lives while some handle to one of its
// nodes exists; a parent keeps its children alive, a child does not keep its parent alive (parent() of a
// child whose parent has gone is the empty node). Handles are not thread-safe: one tree belongs to one
// thread. Parsing itself has no global state, so separate trees may be parsed on separate threads.
// Running out of memory throws std::bad_alloc, as everywhere else.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorlo {

// Outcome of a parse. The numeric values are stable: callers store and compare them.
enum class XmlError : std::uint32_t {
  None = 0,
  ImplicitClose = 1,    // an end tag closed an element other than the innermost open one; the tree stands
  MissingName = 4,      // "<" or "<?" not followed by an element name
  BadEndTag = 5,        // "</" not followed by a name, or the name not followed by ">"
  Unterminated = 7,     // a clear section without its closing marker, or an end tag matching no open element
  UnexpectedToken = 8,  // a token that cannot stand where it stands (">" in content, "=" without a name, ...)
  NoText = 10,          // no text given (null or empty)
  BadEntity = 13,       // "&" that does not start &lt; &gt; &amp; &apos; or &quot;
  TooDeep = 14,         // an element would be nested deeper than XmlNode::kMaxDepth
};

// Filled by a parse. line and column count from 1 (lines by line feeds, columns in UTF-16 code units and
// restarting after each line feed). They give the place where parsing stopped: the offending token for an
// error, the first mismatched end tag for ImplicitClose, the end of the text on success. NoText reports 0/0.
struct XmlResult {
  XmlError error = XmlError::None;
  std::uint32_t line = 0;
  std::uint32_t column = 0;
};

struct XmlAttribute {
  std::u16string name;
  std::optional<std::u16string> value;  // entity-decoded, quotes removed; absent for a bare name
};

// Raw text of a clear section. opening/closing are the markers as the reader's table spells them
// (u"<![CDATA[" and u"]]>", ...), not as the document spelled them.
struct XmlClear {
  std::u16string text;
  std::u16string_view opening;
  std::u16string_view closing;
};

enum class XmlItemType : std::uint8_t { Child = 0, Attribute = 1, Text = 2, Clear = 3 };

// One content item in document order: its kind and its position among the items of that kind.
struct XmlItem {
  XmlItemType type;
  std::uint32_t index;
};

namespace xml_detail {
struct NodeRecord;
}

class XmlNode {
 public:
  // Deepest element nesting a parse accepts (the root is depth 0). Deeper documents fail with TooDeep, so
  // code that walks a tree recursively can rely on this bound.
  static constexpr std::size_t kMaxDepth = 1024;

  // Parses text. With an empty tag the answer is the document root (a node without a name). With a tag,
  // the answer is the first element of that name among the root's children, looking inside declarations
  // ("<?xml ...?>" holds the rest of the document) as if their children were top-level; the empty node
  // when there is none. On any error other than ImplicitClose the answer is the empty node.
  static XmlNode parse(std::u16string_view text, std::u16string_view tag = {},
                       XmlResult* result = nullptr);
  // NUL-terminated form; a null text is NoText, a null tag is no tag.
  static XmlNode parse(const char16_t* text, const char16_t* tag = nullptr,
                       XmlResult* result = nullptr);

  XmlNode() noexcept = default;
  XmlNode(const XmlNode& other) noexcept;
  XmlNode(XmlNode&& other) noexcept;
  XmlNode& operator=(const XmlNode& other) noexcept;
  XmlNode& operator=(XmlNode&& other) noexcept;
  ~XmlNode();

  bool empty() const noexcept { return record_ == nullptr; }
  explicit operator bool() const noexcept { return record_ != nullptr; }
  // Same record, not equal content.
  bool operator==(const XmlNode& other) const noexcept { return record_ == other.record_; }

  std::u16string_view name() const noexcept;  // empty for the root and the empty node
  bool isDeclaration() const noexcept;        // opened with "<?"
  XmlNode parent() const noexcept;

  std::size_t childCount() const noexcept;
  XmlNode child(std::size_t index) const noexcept;
  // First child at or after position whose name matches; position then points past it. When there is
  // none the answer is the empty node and position is left alone.
  XmlNode child(std::u16string_view name, std::size_t& position) const noexcept;
  XmlNode child(std::u16string_view name) const noexcept;

  std::size_t textCount() const noexcept;
  std::u16string_view text(std::size_t index) const noexcept;  // empty when out of range

  std::size_t attributeCount() const noexcept;
  const XmlAttribute* attributeAt(std::size_t index) const noexcept;  // null when out of range
  // Value of the first attribute at or after position whose name matches; nullopt when there is no such
  // attribute or it was written without a value (attributeAt tells those apart).
  std::optional<std::u16string_view> attribute(std::u16string_view name,
                                               std::size_t position = 0) const noexcept;

  std::size_t clearCount() const noexcept;
  const XmlClear* clear(std::size_t index) const noexcept;  // null when out of range

  // Children, attributes, texts and clears interleaved in document order.
  std::size_t itemCount() const noexcept;
  std::optional<XmlItem> item(std::size_t index) const noexcept;

 private:
  friend struct xml_detail::NodeRecord;
  explicit XmlNode(xml_detail::NodeRecord* record) noexcept;  // adds a reference

  xml_detail::NodeRecord* record_ = nullptr;
};

// Name comparison used throughout the reader: equal length, ASCII letters folded.
bool xmlNameEquals(std::u16string_view a, std::u16string_view b) noexcept;

}  // namespace vorlo
