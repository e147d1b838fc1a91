// libFuzzer target for the XML reader. Each input is read twice: byte by byte widened to UTF-16 (so the
// ASCII seeds and dictionary drive the markup), and as little-endian UTF-16 code units (so surrogates
// and other non-ASCII units reach every path). Besides the sanitizers it checks the reader's promises:
// a known error code, the empty node exactly on failure, a consistent document order in every node.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "util/xml/xml.h"

namespace {

using vorlo::XmlError;
using vorlo::XmlItemType;
using vorlo::XmlNode;
using vorlo::XmlResult;

void check(bool condition) {
  if (!condition) std::abort();
}

bool knownError(XmlError error) {
  switch (error) {
    case XmlError::None:
    case XmlError::ImplicitClose:
    case XmlError::MissingName:
    case XmlError::BadEndTag:
    case XmlError::Unterminated:
    case XmlError::UnexpectedToken:
    case XmlError::NoText:
    case XmlError::BadEntity:
    case XmlError::TooDeep:
      return true;
  }
  return false;
}

// Every item of every node exactly once in the order list, and the tree within the depth limit.
void checkTree(const XmlNode& root) {
  struct Pending {
    XmlNode node;
    std::size_t depth;
  };
  std::vector<Pending> stack{{root, 0}};
  while (!stack.empty()) {
    Pending current = std::move(stack.back());
    stack.pop_back();
    const XmlNode& node = current.node;
    check(current.depth <= XmlNode::kMaxDepth);
    const std::size_t counts[4] = {node.childCount(), node.attributeCount(), node.textCount(),
                                   node.clearCount()};
    std::size_t seen[4] = {0, 0, 0, 0};
    check(node.itemCount() == counts[0] + counts[1] + counts[2] + counts[3]);
    for (std::size_t i = 0; i < node.itemCount(); ++i) {
      auto item = node.item(i);
      check(item.has_value());
      auto type = static_cast<std::size_t>(item->type);
      check(item->index == seen[type]);  // each kind appears in its own array's order
      ++seen[type];
      if (item->type == XmlItemType::Child) {
        XmlNode child = node.child(item->index);
        check(!child.name().empty() && child.parent() == node);
        check(node.child(child.name()).name().size() == child.name().size());
        stack.push_back({child, current.depth + 1});
      } else if (item->type == XmlItemType::Attribute) {
        check(!node.attributeAt(item->index)->name.empty());
      } else if (item->type == XmlItemType::Clear) {
        check(!node.clear(item->index)->opening.empty());
      }
    }
  }
}

void parseAndCheck(const std::u16string& text) {
  XmlResult result;
  XmlNode root = XmlNode::parse(text, {}, &result);
  check(knownError(result.error));
  const bool accepted = result.error == XmlError::None || result.error == XmlError::ImplicitClose;
  check(accepted == !root.empty());
  if (result.error == XmlError::NoText) {
    check(text.empty() && result.line == 0 && result.column == 0);
  } else {
    check(result.line >= 1 && result.column >= 1);
  }
  if (!accepted) return;
  check(root.name().empty());
  checkTree(root);

  XmlNode invoke = XmlNode::parse(text, u"invoke");
  check(invoke.empty() || invoke.name().size() == 6);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::u16string widened(data, data + size);
  parseAndCheck(widened);

  std::u16string units(size / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
  }
  parseAndCheck(units);
  return 0;
}
