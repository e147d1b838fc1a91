// XmlNode handles and the queries on a node record.
#include <stdexcept>
#include <utility>

#include "util/xml/node_record.h"

namespace vorlo {

using xml_detail::NodeRecord;

namespace {

constexpr char16_t foldAscii(char16_t c) noexcept {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

}  // namespace

bool xmlNameEquals(std::u16string_view a, std::u16string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i] && foldAscii(a[i]) != foldAscii(b[i])) return false;
  }
  return true;
}

namespace xml_detail {

void NodeRecord::release(NodeRecord* record) noexcept {
  if (--record->references != 0) return;
  // Records waiting to be freed are chained through their parent field, which nothing else reads once
  // the count is zero; so freeing needs neither recursion nor memory.
  record->parent = nullptr;
  NodeRecord* pending = record;
  while (pending) {
    NodeRecord* dead = pending;
    pending = dead->parent;
    for (NodeRecord* child : dead->children) {
      child->parent = nullptr;
      if (--child->references == 0) {
        child->parent = pending;
        pending = child;
      }
    }
    delete dead;
  }
}

void NodeRecord::appendOrder(std::size_t index, XmlItemType type) {
  // The order entry packs the index into the upper 30 bits.
  if (index >= (std::size_t{1} << 30)) throw std::length_error("XML node has too many items");
  order.push_back(static_cast<std::uint32_t>(index) * 4 + static_cast<std::uint32_t>(type));
}

void NodeRecord::appendChild(NodeRecord* child) {
  appendOrder(children.size(), XmlItemType::Child);
  children.push_back(child);
  addReference(child);
  child->parent = this;
}

void NodeRecord::appendText(std::u16string text) {
  appendOrder(texts.size(), XmlItemType::Text);
  texts.push_back(std::move(text));
}

void NodeRecord::appendClear(XmlClear clear) {
  appendOrder(clears.size(), XmlItemType::Clear);
  clears.push_back(std::move(clear));
}

void NodeRecord::appendAttribute(XmlAttribute attribute) {
  appendOrder(attributes.size(), XmlItemType::Attribute);
  attributes.push_back(std::move(attribute));
}

}  // namespace xml_detail

XmlNode::XmlNode(NodeRecord* record) noexcept : record_(record) {
  if (record_) NodeRecord::addReference(record_);
}

XmlNode::XmlNode(const XmlNode& other) noexcept : XmlNode(other.record_) {}

XmlNode::XmlNode(XmlNode&& other) noexcept : record_(std::exchange(other.record_, nullptr)) {}

XmlNode& XmlNode::operator=(const XmlNode& other) noexcept {
  if (other.record_) NodeRecord::addReference(other.record_);
  if (record_) NodeRecord::release(record_);
  record_ = other.record_;
  return *this;
}

XmlNode& XmlNode::operator=(XmlNode&& other) noexcept {
  if (this != &other) {
    if (record_) NodeRecord::release(record_);
    record_ = std::exchange(other.record_, nullptr);
  }
  return *this;
}

XmlNode::~XmlNode() {
  if (record_) NodeRecord::release(record_);
}

std::u16string_view XmlNode::name() const noexcept {
  return record_ ? std::u16string_view(record_->name) : std::u16string_view();
}

bool XmlNode::isDeclaration() const noexcept { return record_ && record_->isDeclaration; }

XmlNode XmlNode::parent() const noexcept { return XmlNode(record_ ? record_->parent : nullptr); }

std::size_t XmlNode::childCount() const noexcept { return record_ ? record_->children.size() : 0; }

XmlNode XmlNode::child(std::size_t index) const noexcept {
  if (index >= childCount()) return XmlNode();
  return XmlNode(record_->children[index]);
}

XmlNode XmlNode::child(std::u16string_view name, std::size_t& position) const noexcept {
  for (std::size_t i = position; i < childCount(); ++i) {
    if (xmlNameEquals(record_->children[i]->name, name)) {
      position = i + 1;
      return XmlNode(record_->children[i]);
    }
  }
  return XmlNode();
}

XmlNode XmlNode::child(std::u16string_view name) const noexcept {
  std::size_t position = 0;
  return child(name, position);
}

std::size_t XmlNode::textCount() const noexcept { return record_ ? record_->texts.size() : 0; }

std::u16string_view XmlNode::text(std::size_t index) const noexcept {
  if (index >= textCount()) return {};
  return record_->texts[index];
}

std::size_t XmlNode::attributeCount() const noexcept {
  return record_ ? record_->attributes.size() : 0;
}

const XmlAttribute* XmlNode::attributeAt(std::size_t index) const noexcept {
  if (index >= attributeCount()) return nullptr;
  return &record_->attributes[index];
}

std::optional<std::u16string_view> XmlNode::attribute(std::u16string_view name,
                                                      std::size_t position) const noexcept {
  for (std::size_t i = position; i < attributeCount(); ++i) {
    const XmlAttribute& attribute = record_->attributes[i];
    if (!xmlNameEquals(attribute.name, name)) continue;
    if (!attribute.value) return std::nullopt;
    return std::u16string_view(*attribute.value);
  }
  return std::nullopt;
}

std::size_t XmlNode::clearCount() const noexcept { return record_ ? record_->clears.size() : 0; }

const XmlClear* XmlNode::clear(std::size_t index) const noexcept {
  if (index >= clearCount()) return nullptr;
  return &record_->clears[index];
}

std::size_t XmlNode::itemCount() const noexcept { return record_ ? record_->order.size() : 0; }

std::optional<XmlItem> XmlNode::item(std::size_t index) const noexcept {
  if (index >= itemCount()) return std::nullopt;
  std::uint32_t entry = record_->order[index];
  return XmlItem{static_cast<XmlItemType>(entry & 3), entry >> 2};
}

}  // namespace vorlo
