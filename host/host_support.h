// What every host class uses: script strings to the wide (UTF-16) Windows functions and back, and the
// argument readers of the member tables.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "engine/string.h"
#include "stdlib/binding.h"

namespace vorlo {

inline std::wstring wideOf(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
inline std::u16string unitsOf(std::wstring_view text) { return std::u16string(text.begin(), text.end()); }

// Argument i when it is a string; nullopt for other kinds and missing arguments.
inline std::optional<std::u16string> stringArg(const MemberCall& c, int64_t i) {
  ScriptValue v = c.arg(i);
  if (!v.isString()) return std::nullopt;
  return std::u16string(stringView(v.asString()));
}
// Argument i when it is an integer.
inline std::optional<int64_t> intArg(const MemberCall& c, int64_t i) {
  ScriptValue v = c.arg(i);
  if (v.kind != KindInteger) return std::nullopt;
  return v.asInt();
}
// A position or length written by a script: an integer, or a float truncated toward zero.
std::optional<int64_t> wholeNumber(const ScriptValue& v);

inline void setWide(ScriptVM* vm, ScriptValue* result, std::wstring_view text) {
  setString(vm, result, reinterpret_cast<const char16_t*>(text.data()), text.size());
}

// The error code of the last failing call, kept as the machine's last error; the result becomes
// `neutral`.
inline void lastOsFailure(const MemberCall& c, const ScriptValue& neutral = ScriptValue::null()) {
  osFailure(c, GetLastError(), neutral);
}

}  // namespace vorlo
