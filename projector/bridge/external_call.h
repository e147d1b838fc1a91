// The external-call XML that carries values between the movie and scripts: value elements written
// from script values, requests ("<invoke name=... returntype="xml"><arguments>...</arguments>
// </invoke>") and answers read back into script values. Portable: the bridge on Windows and the
// tests and fuzz target everywhere use the same code.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/value.h"
#include "util/xml/xml.h"

namespace vorlo::bridge {

// Nesting deeper than this, in either direction, is refused: a value that cannot be written and a
// document that cannot be read both give undefined to their caller.
inline constexpr int kMaxValueDepth = 256;

// Hands a native object to the movie as a number (its handle); nothing when it cannot be handed out.
using HandleIssuer = std::function<std::optional<int64_t>(const ScriptValue& native)>;

// Appends the value element for `value`. False (with `out` partly written) for nesting beyond
// kMaxValueDepth, an array or object that contains itself, or a native object without a handle.
bool writeValue(ScriptVM* vm, const ScriptValue& value, const HandleIssuer& issue, std::u16string& out);

// "<invoke name="NAME" returntype="xml"><arguments>...</arguments></invoke>"; nothing when an
// argument cannot be written.
std::optional<std::u16string> writeRequest(ScriptVM* vm, std::u16string_view name, const ScriptValue* args,
                                           size_t count, const HandleIssuer& issue);

// A value element read into a new value; nothing for an element of no known kind or nesting beyond
// kMaxValueDepth. The values are new heap records: root them before anything may collect.
std::optional<ScriptValue> readValue(ScriptVM* vm, const XmlNode& element);

struct Request {
  std::string name;  // ANSI text of the name attribute
  std::vector<ScriptValue> arguments;
};
// Reads an invoke request; nothing when there is no "invoke" root, no name, or an argument that
// cannot be read.
std::optional<Request> readRequest(ScriptVM* vm, std::u16string_view xml);

// Reads an answer: a single value element (or the first element of a document without an "invoke"
// root); undefined when nothing can be read.
ScriptValue readResponse(ScriptVM* vm, std::u16string_view xml);

}  // namespace vorlo::bridge
