#include "engine/string.h"

#include <cstring>

#include "engine/ansi.h"
#include "engine/checked.h"
#include "engine/error.h"
#include "engine/heap.h"

namespace vorlo {

namespace {
ScriptString* newRecord(ScriptVM* vm, size_t length) {
  if (length > kMaxStringUnits) raiseOutOfMemory(vm);
  auto* s = static_cast<ScriptString*>(heapAlloc(vm, sizeof(ScriptString)));
  s->length = static_cast<uint32_t>(length);
  return s;
}
}  // namespace

ScriptString* newStaticString(ScriptVM* vm, const char16_t* text, size_t length) {
  ScriptString* s = newRecord(vm, length);
  s->flags = kStringStatic;
  s->chars = text;
  return s;
}

ScriptString* newStringBuffer(ScriptVM* vm, size_t length) {
  size_t bytes;
  if (length > kMaxStringUnits || !checkedMul(length, sizeof(char16_t), &bytes)) raiseOutOfMemory(vm);
  // Characters first: heapAlloc never collects, so the record may follow unrooted.
  auto* chars = length ? static_cast<char16_t*>(heapAlloc(vm, bytes)) : nullptr;
  ScriptString* s = newRecord(vm, length);
  s->chars = chars;
  return s;
}

ScriptString* newOwnedString(ScriptVM* vm, const char16_t* text, size_t length) {
  ScriptString* s = newStringBuffer(vm, length);
  if (length) std::memcpy(mutableChars(s), text, length * sizeof(char16_t));
  return s;
}

ScriptString* newStringFromAnsi(ScriptVM* vm, const char* text, size_t length) {
  std::u16string wide = text ? ansiToUtf16(text, length) : std::u16string();
  return newOwnedString(vm, wide.data(), wide.size());
}

std::string stringToAnsi(const ScriptString* s) { return utf16ToAnsi(s->chars, s->length); }

}  // namespace vorlo
