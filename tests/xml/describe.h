// Test helpers: a compact, readable picture of a parsed tree, in document order.
//
//   element      name(items)          a declaration is written ?name(items)
//   attribute    @name=value or @name (no value)
//   text         "text"
//   clear        [opening|text]       opening as the reader's table spells it
//
// Items are separated by one space; the root is written as its items alone. Characters outside printable
// ASCII are written \uXXXX.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

#include "util/xml/xml.h"

namespace vorlo::xml_test {

inline std::string narrow(std::u16string_view text) {
  std::string out;
  for (char16_t c : text) {
    if (c >= 0x20 && c < 0x7f) {
      out.push_back(static_cast<char>(c));
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(c));
      out += buffer;
    }
  }
  return out;
}

inline std::string describeItems(const XmlNode& node);

inline std::string describeElement(const XmlNode& node) {
  std::string out = node.isDeclaration() ? "?" : "";
  return out + narrow(node.name()) + "(" + describeItems(node) + ")";
}

inline std::string describeItems(const XmlNode& node) {
  std::string out;
  for (std::size_t i = 0; i < node.itemCount(); ++i) {
    if (i) out += ' ';
    XmlItem item = *node.item(i);
    switch (item.type) {
      case XmlItemType::Child:
        out += describeElement(node.child(item.index));
        break;
      case XmlItemType::Attribute: {
        const XmlAttribute* attribute = node.attributeAt(item.index);
        out += "@" + narrow(attribute->name);
        if (attribute->value) out += "=" + narrow(*attribute->value);
        break;
      }
      case XmlItemType::Text:
        out += "\"" + narrow(node.text(item.index)) + "\"";
        break;
      case XmlItemType::Clear: {
        const XmlClear* clear = node.clear(item.index);
        out += "[" + narrow(clear->opening) + "|" + narrow(clear->text) + "]";
        break;
      }
    }
  }
  return out;
}

}  // namespace vorlo::xml_test
