#include "stdlib/struct_layout.h"

#include <algorithm>

#include "util/xml/xml.h"

namespace vorlo {

namespace {

struct ScalarType {
  std::u16string_view name;
  uint32_t code;
  uint32_t unsignedCode;  // 0: "unsigned" is not allowed
  uint32_t size;          // 0: the target's pointer size
};

// Whole names only: a structure called "intTriple" or "charset" is a structure, not an int or a char.
constexpr ScalarType kScalarTypes[] = {
    {u"char", kStructChar, kStructUnsignedChar, 1},
    {u"short", kStructShort, kStructUnsignedShort, 2},
    {u"int64", kStructInt64, kStructUnsignedInt64, 8},
    {u"int", kStructInt, kStructUnsignedInt, 4},
    {u"long", kStructInt, kStructUnsignedInt, 4},
    {u"float", kStructFloat, 0, 4},
    {u"double", kStructDouble, 0, 8},
    {u"pointer", kStructPointer, 0, 0},
    {u"String", kStructString, 0, 0},
    {u"Boolean", kStructBoolean, 0, 4},
};

std::u16string_view trimmed(std::u16string_view s) {
  while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
  return s;
}

bool isName(std::u16string_view s) {
  if (s.empty()) return false;
  for (char16_t c : s)
    if (c == u' ' || c == u'\t' || c == u'<' || c == u'>' || c == u'"') return false;
  return true;
}

// A decimal count from 1 up; nullopt for anything else (zero, signs, other characters, overflow).
std::optional<uint32_t> parseCount(std::u16string_view text) {
  text = trimmed(text);
  if (text.empty() || text.size() > 9) return std::nullopt;
  uint32_t n = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + uint32_t(c - u'0');
  }
  if (n == 0) return std::nullopt;
  return n;
}

uint32_t roundUp(uint32_t value, uint32_t alignment) {
  return alignment <= 1 ? value : (value + alignment - 1) / alignment * alignment;
}

class LayoutBuilder {
 public:
  LayoutBuilder(uint32_t packing, const StructTarget& target, const StructLookup& lookup)
      : packing_(packing), target_(target), lookup_(lookup) {}

  std::shared_ptr<StructLayout> layOut(const XmlNode& structure, int depth) {
    if (depth > kMaxStructNesting) return nullptr;
    auto layout = std::make_shared<StructLayout>();
    uint64_t offset = 0;
    for (size_t i = 0; i < structure.childCount(); i++) {
      StructMember m;
      uint32_t alignment = 1;
      if (!member(structure.child(i), depth, m, alignment)) return nullptr;
      offset = roundUp(uint32_t(offset), alignment);
      m.offset = uint32_t(offset);
      offset += m.size;
      if (offset > kMaxStructSize) return nullptr;
      if (alignment > layout->alignment) layout->alignment = alignment;
      layout->members.push_back(std::move(m));
    }
    offset = roundUp(uint32_t(offset), layout->alignment);
    if (offset > kMaxStructSize) return nullptr;
    layout->size = uint32_t(offset);
    return layout;
  }

 private:
  bool member(const XmlNode& node, int depth, StructMember& m, uint32_t& alignment) {
    if (node.name().empty()) return false;
    std::optional<std::u16string_view> type = node.attribute(u"type");
    if (!type) return false;
    m.name = std::u16string(node.name());
    if (std::optional<std::u16string_view> count = node.attribute(u"count")) {
      std::optional<uint32_t> n = parseCount(*count);
      if (!n) return false;
      m.count = int32_t(*n);
    }
    std::u16string_view text = *type;
    bool isUnsigned = text.substr(0, 9) == u"unsigned ";
    if (isUnsigned) text.remove_prefix(9);
    size_t star = text.find(u'*');
    bool pointer = star != std::u16string_view::npos;
    std::u16string_view name = trimmed(text.substr(0, star));

    uint32_t code = 0, size = 0;
    if (name == u"struct" && !isUnsigned) {
      if (!pointer) {
        m.nested = layOut(node, depth + 1);
        if (!m.nested) return false;
      }
      code = kStructNested;
    } else if (const ScalarType* scalar = findScalar(name)) {
      if (isUnsigned && !scalar->unsignedCode) return false;
      code = isUnsigned ? scalar->unsignedCode : scalar->code;
      size = scalar->size ? scalar->size : target_.pointerSize;
    } else {
      if (isUnsigned || !isName(name)) return false;
      code = kStructNested;
      if (!pointer) {
        m.nested = named(name, depth);
        if (!m.nested) return false;
      }
    }
    if (pointer) {
      code = (code & kStructPointerFlag) ? uint32_t(kStructPointer) : (code | kStructPointerFlag);
      m.nested = nullptr;
      size = target_.pointerSize;
      alignment = std::min(packing_, size);
    } else if (code == kStructNested) {
      size = m.nested->size;
      alignment = std::min(packing_, m.nested->alignment);
    } else {
      alignment = std::min(packing_, size);
    }
    if (alignment == 0) alignment = 1;
    m.code = code;
    m.elementSize = size;
    uint64_t total = uint64_t(size) * m.elements();
    if (total > kMaxStructSize) return false;
    m.size = uint32_t(total);
    return true;
  }

  static const ScalarType* findScalar(std::u16string_view name) {
    for (const ScalarType& t : kScalarTypes)
      if (t.name == name) return &t;
    return nullptr;
  }

  // A structure named by a global holding its descriptor; nesting is bounded, so a descriptor that
  // names itself (directly or through others) fails instead of recursing without end.
  std::shared_ptr<StructLayout> named(std::u16string_view name, int depth) {
    if (depth + 1 > kMaxStructNesting || !lookup_) return nullptr;
    std::optional<std::u16string> text = lookup_(name);
    if (!text) return nullptr;
    XmlNode root = XmlNode::parse(*text);
    XmlNode first = firstElement(root);
    if (!first) return nullptr;
    return layOut(first, depth + 1);
  }

 public:
  static XmlNode firstElement(const XmlNode& root) {
    for (size_t i = 0; i < root.childCount(); i++) {
      XmlNode c = root.child(i);
      if (!c.isDeclaration() && !c.name().empty()) return c;
    }
    return {};
  }

 private:
  uint32_t packing_;
  StructTarget target_;
  const StructLookup& lookup_;
};

}  // namespace

const StructMember* StructLayout::find(std::u16string_view name) const {
  for (const StructMember& m : members)
    if (m.name == name) return &m;
  return nullptr;
}

bool validStructPacking(int64_t packing) {
  return packing == 1 || packing == 2 || packing == 4 || (packing > 0 && packing % 8 == 0);
}

std::shared_ptr<const StructLayout> layOutStructure(std::u16string_view descriptor, uint32_t packing,
                                                    const StructTarget& target, const StructLookup& lookup) {
  if (!validStructPacking(packing) || (target.pointerSize != 4 && target.pointerSize != 8)) return nullptr;
  XmlNode root = XmlNode::parse(descriptor);
  XmlNode first = LayoutBuilder::firstElement(root);
  if (!first) return nullptr;
  LayoutBuilder builder(packing, target, lookup);
  return builder.layOut(first, 0);
}

}  // namespace vorlo
