#include "projector/bridge/external_call.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "engine/ansi.h"
#include "engine/convert.h"
#include "engine/number_reader.h"
#include "engine/object.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "stdlib/array.h"
#include "stdlib/array_store.h"

namespace vorlo::bridge {
namespace {

void appendAscii(std::u16string& out, const char* text) {
  while (*text) out += char16_t(static_cast<unsigned char>(*text++));
}

// The five characters the reader decodes, replaced by their entities (the ampersand first).
void appendEscaped(std::u16string& out, std::u16string_view text) {
  for (char16_t c : text) {
    switch (c) {
      case u'&': out += u"&amp;"; break;
      case u'<': out += u"&lt;"; break;
      case u'>': out += u"&gt;"; break;
      case u'"': out += u"&quot;"; break;
      case u'\'': out += u"&apos;"; break;
      default: out += c;
    }
  }
}

void appendNumber32(std::u16string& out, int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "<number>%d</number>", static_cast<int>(static_cast<int32_t>(value)));
  appendAscii(out, text);
}

class Writer {
 public:
  Writer(ScriptVM* vm, const HandleIssuer& issue, std::u16string& out) : vm_(vm), issue_(issue), out_(out) {}

  bool value(const ScriptValue& v, int depth) {
    switch (v.kind) {
      case KindUndefined: out_ += u"<undefined/>"; return true;
      case KindNull: out_ += u"<null/>"; return true;
      case KindBoolean: out_ += v.asBool() ? u"<true/>" : u"<false/>"; return true;
      case KindInteger: appendNumber32(out_, v.asInt()); return true;
      case KindNaN: out_ += u"<number>NaN</number>"; return true;
      case KindFloat: {
        char text[64];
        std::snprintf(text, sizeof text, "<number>%g</number>", v.asFloat());
        appendAscii(out_, text);
        return true;
      }
      case KindString: {
        std::u16string_view text = stringView(v.asString());
        out_ += u"<string>";
        if (text.empty()) out_ += u"null";
        else appendEscaped(out_, text);
        out_ += u"</string>";
        return true;
      }
      case KindArray: return nested(v, depth, &Writer::arrayBody);
      case KindObject: return nested(v, depth, &Writer::objectBody);
      case KindNative: {
        std::optional<int64_t> handle = issue_ ? issue_(v) : std::nullopt;
        if (!handle) return false;
        char text[40];
        std::snprintf(text, sizeof text, "<number>%" PRId64 "</number>", *handle);
        appendAscii(out_, text);
        return true;
      }
      default: {
        ScriptValue text = toStringValue(vm_, v);
        out_ += u"<string>";
        if (text.isString()) out_ += stringView(text.asString());
        out_ += u"</string>";
        return true;
      }
    }
  }

 private:
  // Arrays and objects: bounded nesting, and none that contains itself along the path.
  bool nested(const ScriptValue& v, int depth, bool (Writer::*body)(const ScriptValue&, int)) {
    if (depth >= kMaxValueDepth) return false;
    void* record = v.asPointer();
    if (std::find(path_.begin(), path_.end(), record) != path_.end()) return false;
    path_.push_back(record);
    bool ok = (this->*body)(v, depth + 1);
    path_.pop_back();
    return ok;
  }

  bool arrayBody(const ScriptValue& v, int depth) {
    out_ += u"<array>";
    for (const auto& [index, element] : storeElements(v.asArray())) {
      char text[48];
      std::snprintf(text, sizeof text, "<property id=\"%d\">", static_cast<int>(static_cast<int32_t>(index)));
      appendAscii(out_, text);
      if (!value(element, depth)) return false;
      out_ += u"</property>";
    }
    out_ += u"</array>";
    return true;
  }

  bool objectBody(const ScriptValue& v, int depth) {
    const ScriptObject* o = v.asObject();
    out_ += u"<object>";
    for (uint32_t i = 0; i < o->slotCount; ++i) {
      const PropertySlot& slot = o->slots[i];
      if (slot.key == kFreeSlot || slot.key == kUnnamedSlot) continue;
      std::string_view name = atomName(vm_, slot.key);
      if (name == "__proto__") continue;  // the prototype is not the object's data
      // Escaped like string texts: a name with a quote or an angle bracket must not break the document.
      out_ += u"<property id=\"";
      appendEscaped(out_, ansiToUtf16(name.data(), name.size()));
      out_ += u"\">";
      // The slot table may grow while a nested value is written (a string conversion): copy first.
      ScriptValue member = slot.value;
      if (!value(member, depth)) return false;
      out_ += u"</property>";
    }
    out_ += u"</object>";
    return true;
  }

  ScriptVM* vm_;
  const HandleIssuer& issue_;
  std::u16string& out_;
  std::vector<void*> path_;
};

ScriptValue readNumber(std::u16string_view text) {
  if (text.empty()) return ScriptValue::integer(0);
  IntegerScan scan = scanInteger(text, 10);
  if (scan.found && scan.fits) {
    char16_t next = scan.end < text.size() ? text[scan.end] : u'\0';
    if (next != u'.' && next != u'e' && next != u'E' && next != u'd' && next != u'D') return ScriptValue::integer(scan.value);
  }
  double d = 0;
  size_t end = 0;
  if (scanDecimal(text, &d, &end)) return ScriptValue::number(d);
  return ScriptValue::nan();
}

std::optional<int64_t> readIndex(std::u16string_view text) {
  IntegerScan scan = scanInteger(text, 10);
  if (!scan.found || !scan.fits || scan.value < 0) return std::nullopt;
  return scan.value;
}

std::optional<ScriptValue> read(ScriptVM* vm, const XmlNode& e, int depth);

// The value of a property element: its first child element (undefined when it has none).
std::optional<ScriptValue> propertyValue(ScriptVM* vm, const XmlNode& property, int depth) {
  if (property.childCount() == 0) return ScriptValue();
  return read(vm, property.child(0), depth);
}

std::optional<ScriptValue> read(ScriptVM* vm, const XmlNode& e, int depth) {
  std::u16string_view name = e.name();
  if (xmlNameEquals(name, u"undefined")) return ScriptValue();
  if (xmlNameEquals(name, u"null")) return ScriptValue::null();
  if (xmlNameEquals(name, u"true")) return ScriptValue::boolean(true);
  if (xmlNameEquals(name, u"false")) return ScriptValue::boolean(false);
  if (xmlNameEquals(name, u"number")) return readNumber(e.textCount() ? e.text(0) : std::u16string_view());
  if (xmlNameEquals(name, u"string")) {
    std::u16string_view text = e.textCount() ? e.text(0) : std::u16string_view();
    if (text == u"null") text = {};
    return ownedString(vm, text);
  }
  // Arrays and objects nest as deep as the writer writes them, no deeper.
  bool container = xmlNameEquals(name, u"array") || xmlNameEquals(name, u"object");
  if (container && depth >= kMaxValueDepth) return std::nullopt;
  if (xmlNameEquals(name, u"array")) {
    ScriptArray* array = newArray(vm, 0);
    uint64_t length = 0;
    size_t position = 0;
    for (XmlNode p = e.child(u"property", position); p; p = e.child(u"property", position)) {
      std::optional<int64_t> index = readIndex(p.attribute(u"id").value_or(u""));
      std::optional<ScriptValue> v = propertyValue(vm, p, depth + 1);
      if (!v) return std::nullopt;
      if (!index) continue;
      storeSet(vm, array, uint64_t(*index), *v);
      length = std::max(length, uint64_t(*index) + 1);
    }
    array->length = length;
    return ScriptValue::array(array);
  }
  if (xmlNameEquals(name, u"object")) {
    ScriptObject* object = newObject(vm);
    size_t position = 0;
    for (XmlNode p = e.child(u"property", position); p; p = e.child(u"property", position)) {
      std::u16string_view id = p.attribute(u"id").value_or(u"");
      std::optional<ScriptValue> v = propertyValue(vm, p, depth + 1);
      if (!v) return std::nullopt;
      std::string key = utf16ToAnsi(id.data(), id.size());
      objectSet(vm, object, intern(vm, key.data(), key.size()), *v);
    }
    return ScriptValue::object(object);
  }
  return std::nullopt;
}

}  // namespace

bool writeValue(ScriptVM* vm, const ScriptValue& value, const HandleIssuer& issue, std::u16string& out) {
  Writer writer(vm, issue, out);
  return writer.value(value, 0);
}

std::optional<std::u16string> writeRequest(ScriptVM* vm, std::u16string_view name, const ScriptValue* args,
                                           size_t count, const HandleIssuer& issue) {
  std::u16string out = u"<invoke name=\"";
  out += name;
  out += u"\" returntype=\"xml\"><arguments>";
  for (size_t i = 0; i < count; ++i) {
    if (!writeValue(vm, args[i], issue, out)) return std::nullopt;
  }
  out += u"</arguments></invoke>";
  return out;
}

std::optional<ScriptValue> readValue(ScriptVM* vm, const XmlNode& element) { return read(vm, element, 0); }

std::optional<Request> readRequest(ScriptVM* vm, std::u16string_view xml) {
  XmlNode invoke = XmlNode::parse(xml, u"invoke");
  if (!invoke) return std::nullopt;
  std::optional<std::u16string_view> name = invoke.attribute(u"name");
  if (!name) return std::nullopt;
  Request request;
  request.name = utf16ToAnsi(name->data(), name->size());
  XmlNode arguments = invoke.child(u"arguments");
  for (size_t i = 0; arguments && i < arguments.childCount(); ++i) {
    std::optional<ScriptValue> v = readValue(vm, arguments.child(i));
    if (!v) return std::nullopt;
    request.arguments.push_back(*v);
  }
  return request;
}

ScriptValue readResponse(ScriptVM* vm, std::u16string_view xml) {
  XmlNode root = XmlNode::parse(xml);
  XmlNode first = root && root.childCount() ? root.child(0) : XmlNode();
  // A declaration holds the rest of the document.
  while (first && first.isDeclaration()) first = first.childCount() ? first.child(0) : XmlNode();
  if (!first || xmlNameEquals(first.name(), u"invoke")) return ScriptValue();
  return readValue(vm, first).value_or(ScriptValue());
}

}  // namespace vorlo::bridge
