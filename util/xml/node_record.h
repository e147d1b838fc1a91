// The record behind an XmlNode handle. Private to the reader: only util/xml sources include this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "util/xml/xml.h"

namespace vorlo::xml_detail {

struct NodeRecord {
  std::u16string name;  // empty for the root
  bool isDeclaration = false;
  NodeRecord* parent = nullptr;  // not counted; cleared when the parent is freed
  std::vector<NodeRecord*> children;  // each holds one reference
  std::vector<std::u16string> texts;
  std::vector<XmlClear> clears;
  std::vector<XmlAttribute> attributes;
  std::vector<std::uint32_t> order;  // index * 4 + XmlItemType, one per content item
  std::uint32_t references = 0;

  static NodeRecord* create() { return new NodeRecord; }
  static void addReference(NodeRecord* record) noexcept { ++record->references; }
  // Drops one reference and frees what becomes unreachable, without recursion: a tree as deep as the
  // parser allows (or deeper, built by hand) must not run the native stack out.
  static void release(NodeRecord* record) noexcept;
  // Wraps a record in a new handle (adding a reference).
  static XmlNode handle(NodeRecord* record) noexcept { return XmlNode(record); }
  static NodeRecord* recordOf(const XmlNode& node) noexcept { return node.record_; }

  void appendChild(NodeRecord* child);  // takes over the caller's reference
  void appendText(std::u16string text);
  void appendClear(XmlClear clear);
  void appendAttribute(XmlAttribute attribute);

 private:
  void appendOrder(std::size_t index, XmlItemType type);
};

}  // namespace vorlo::xml_detail
