// Binding native classes into a machine. A class file declares its member table once; the generic
// `method` and `property` slots dispatch on it by comparing the name's Atom with the class's member
// Atoms in table order (member names are case-sensitive).
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/native.h"
#include "engine/string.h"
#include "engine/value.h"

namespace vorlo {

// What a method member receives.
struct MemberCall {
  ScriptVM* vm;
  NativeClass* cls;
  void* self;  // native data; null on the class object and on data-less instances
  ScriptValue* result;
  const ScriptValue* args;  // ArgList

  int64_t count() const { return argCount(args); }
  bool has(int64_t i) const { return i < count(); }
  // Argument i, or undefined when the caller passed fewer.
  ScriptValue arg(int64_t i) const { return has(i) ? args[1 + i] : ScriptValue(); }
};

using MethodImpl = void (*)(MemberCall& call);
using GetterImpl = void (*)(ScriptVM* vm, void* self, ScriptValue* value);
using SetterImpl = void (*)(ScriptVM* vm, void* self, const ScriptValue& value);

// A method has `method`; a property has `get` and, when writable, `set`.
struct Member {
  const char* name;
  MethodImpl method = nullptr;
  GetterImpl get = nullptr;
  SetterImpl set = nullptr;
  bool instanceOnly = false;  // not a member of the class object (self null): left unhandled there
};
// A method that only instances (or values) have.
constexpr Member instanceMethod(const char* name, MethodImpl method) {
  return Member{name, method, nullptr, nullptr, true};
}

inline constexpr uint32_t kindBit(uint32_t kind) { return 1u << kind; }

struct ClassDef {
  const char* name;  // the global it is bound to; null: not bound
  std::span<const Member> members;
  NativeCallFn call = nullptr;
  NativeConstructFn construct = nullptr;
  NativeFinalizeFn finalize = nullptr;
  NativeMarkFn mark = nullptr;
  uint32_t servesKinds = 0;  // kindBit(...) of the value kinds this class serves
};

// Interns the member names, fills the slots, enters the value kinds it serves and binds the class
// object to its global name.
NativeClass* registerClass(ScriptVM* vm, const ClassDef& def);

struct GlobalFunction {
  const char* name;
  NativeCallFn call;
};
// Each function becomes a class with only `call`, bound to its name.
void registerGlobalFunctions(ScriptVM* vm, std::span<const GlobalFunction> functions);

// An instance of cls with native data (null: no data, no own property object).
void makeInstance(ScriptVM* vm, NativeClass* cls, void* data, ScriptValue* result);

// The class object a named class was bound to at registration (it stays alive whatever happens to
// the global later); undefined for other classes.
ScriptValue classObjectOf(const NativeClass* cls);

// The member Atoms of a class registered here (empty for other classes).
std::span<const Atom> memberAtoms(const NativeClass* cls);

// Argument and result helpers.
// The receiver of a value-kind class's member (null on the class object).
inline const ScriptValue* selfValue(const MemberCall& call) {
  return static_cast<const ScriptValue*>(call.self);
}
inline bool isInteger(const ScriptValue& v) { return v.kind == KindInteger; }
inline bool isNumberKind(const ScriptValue& v) {
  return v.kind == KindInteger || v.kind == KindFloat || v.kind == KindNaN;
}
// The longest text the built-in members build piece by piece (joins, replacements, concatenations):
// the longest string there can be. Longer results stop the script with "Out of memory" before they
// take the memory.
inline constexpr uint64_t kMaxBuiltText = kMaxStringUnits;
// A result string holding ASCII or UTF-16 text.
void setText(ScriptVM* vm, ScriptValue* result, std::string_view ascii);
void setText(ScriptVM* vm, ScriptValue* result, std::u16string_view text);
std::string toAnsiText(ScriptVM* vm, const ScriptValue& value);
void setStringFromAnsi(ScriptVM* vm, ScriptValue* result, const char* text, size_t length);
void setString(ScriptVM* vm, ScriptValue* result, const char16_t* chars, size_t length);
// A string over constant text (it must outlive the machine); scripts cannot change it.
void setStaticString(ScriptVM* vm, ScriptValue* result, const char16_t* chars, size_t length);
// True when value is an instance of the class whose class object the global `className` holds now.
bool isInstanceOf(ScriptVM* vm, const ScriptValue& value, const char* className);

// An event property ("on..." member): holds a script function, kept alive by the class's mark.
struct EventHandler {
  ScriptValue function;
  void read(ScriptValue* value) const {
    if (function.kind == KindFunction) *value = function;
  }
  // Stores functions; other kinds are ignored.
  void write(const ScriptValue& value) {
    if (value.kind == KindFunction) function = value;
  }
};

}  // namespace vorlo
