// String records. Characters are UTF-16 code units without a terminator. A static string refers to
// constant text it does not own and that may not be changed; an owned string keeps its characters in
// a heap block of its own (none when it is empty).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/value.h"

namespace vorlo {

inline constexpr uint32_t kStringStatic = 1;
// The longest string the machine makes (units); longer ones are "Out of memory".
inline constexpr size_t kMaxStringUnits = size_t(1) << 28;

struct ScriptString {
  uint32_t flags;
  uint32_t length;
  const char16_t* chars;
  ScriptObject* props;  // null until a property is first stored on the string
};

inline bool isStatic(const ScriptString* s) { return (s->flags & kStringStatic) != 0; }
inline std::u16string_view stringView(const ScriptString* s) { return {s->chars, s->length}; }
// Writable characters of an owned string (null for a static one).
inline char16_t* mutableChars(ScriptString* s) {
  return isStatic(s) ? nullptr : const_cast<char16_t*>(s->chars);
}

// A string over constant text; `text` must outlive the VM (literals, tables, constant storage).
ScriptString* newStaticString(ScriptVM* vm, const char16_t* text, size_t length);
// An owned copy of `length` code units (length 0: no character block).
ScriptString* newOwnedString(ScriptVM* vm, const char16_t* text, size_t length);
// An owned string of `length` code units, zero-filled, for the caller to write.
ScriptString* newStringBuffer(ScriptVM* vm, size_t length);
ScriptString* newStringFromAnsi(ScriptVM* vm, const char* text, size_t length);

template <size_t N>
ScriptValue staticString(ScriptVM* vm, const char16_t (&literal)[N]) {
  return ScriptValue::string(newStaticString(vm, literal, N - 1));
}
inline ScriptValue ownedString(ScriptVM* vm, std::u16string_view text) {
  return ScriptValue::string(newOwnedString(vm, text.data(), text.size()));
}

// The string's text in the ANSI encoding.
std::string stringToAnsi(const ScriptString* s);

}  // namespace vorlo
