// Binding native classes into a machine. A class file declares its member table once; the generic
// `method` and `property` slots dispatch on it by comparing the name's Atom with the class's member
// Atoms in table order (member names are case-sensitive).
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "engine/native.h"
#include "engine/string.h"
#include "engine/value.h"
#include "engine/vm.h"

namespace vorlo {

// The identity of a C++ type: one address per type, compared and never read. It names the native
// data of a class's instances and the per-machine state of a class.
using TypeKey = const void*;
template <typename T>
inline constexpr char kTypeTag = 0;
template <typename T>
constexpr TypeKey typeKey() {
  return &kTypeTag<T>;
}

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
// A property that only instances (or values) have; without a setter it is read-only (writes are
// taken and ignored).
constexpr Member instanceProperty(const char* name, GetterImpl get, SetterImpl set = nullptr) {
  return Member{name, nullptr, get, set, true};
}

inline constexpr uint32_t kindBit(uint32_t kind) { return 1u << kind; }

// Written with designated initializers: `ClassDef{.name = "Date", .members = kMembers, ...}`.
struct ClassDef {
  const char* name = nullptr;  // the global it is bound to; null: not bound
  std::span<const Member> members = {};
  NativeCallFn call = nullptr;
  NativeConstructFn construct = nullptr;
  NativeFinalizeFn finalize = nullptr;
  NativeMarkFn mark = nullptr;
  uint32_t servesKinds = 0;  // kindBit(...) of the value kinds this class serves
  TypeKey data = nullptr;    // typeKey<T>() of its instances' native data, for dataOf<T>
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
// An instance that owns `data` (released by the class's finalizer, e.g. finalizeData<T>). When the
// instance cannot be made the data is released here and the failure goes on.
template <typename T>
ScriptValue makeInstance(ScriptVM* vm, NativeClass* cls, std::unique_ptr<T> data) {
  ScriptValue result;
  makeInstance(vm, cls, data.get(), &result);
  data.release();
  return result;
}
// The finalizer of a class whose instances own one T.
template <typename T>
void finalizeData(NativeClass*, void* self) {
  delete static_cast<T*>(self);
}

// The native data type a class was registered with (ClassDef::data); null for other classes.
TypeKey classDataType(const NativeClass* cls);
// The receiver's native data as a T: null on the class object and for a receiver whose class does
// not hold a T. Members give their neutral result then.
template <typename T>
T* dataOf(const MemberCall& call) {
  return call.self && classDataType(call.cls) == typeKey<T>() ? static_cast<T*>(call.self) : nullptr;
}
// The native data of a value that is an instance of exactly `cls` (the class itself, not whatever a
// global of its name holds now); null for anything else.
template <typename T>
T* dataOf(const ScriptValue& value, const NativeClass* cls) {
  if (value.kind != KindNative || !cls || classDataType(cls) != typeKey<T>()) return nullptr;
  NativeObject* n = value.asNative();
  return n->cls == cls ? static_cast<T*>(n->data) : nullptr;
}

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
// The "[object X]" texts of toString: `text` must be constant (it outlives the machine).
void setClassText(const MemberCall& call, std::u16string_view text);

// ---- per-machine state of a class ----
// State a class keeps for one machine (the last match of RegExp, a host class's open handles ...),
// reached by its type. The machine owns it, marks it when T has `void mark(ScriptVM*)`, and releases
// it when the machine ends, after the last finalizer.
template <typename T>
T* classState(const ScriptVM* vm) {
  for (const ClassStateSlot& slot : vm->classStates)
    if (slot.type == typeKey<T>()) return static_cast<T*>(slot.state);
  return nullptr;
}
void addClassState(ScriptVM* vm, const ClassStateSlot& slot);
// Installs the state of type T (once per machine) and answers it.
template <typename T>
T& installClassState(ScriptVM* vm, std::unique_ptr<T> state) {
  ClassStateSlot slot{typeKey<T>(), state.get(), [](void* s) { delete static_cast<T*>(s); }, nullptr};
  if constexpr (requires(T& t) { t.mark(vm); }) {
    slot.mark = [](ScriptVM* vm, void* s) { static_cast<T*>(s)->mark(vm); };
  }
  addClassState(vm, slot);
  return *state.release();
}

// ---- failures of operating-system calls ----
// The last failure of an operating-system call made for a script in this machine.
struct LastOsError {
  uint32_t code = 0;  // the system's error code (GetLastError on Windows, errno elsewhere)
  std::u16string text;  // the system's text for it
};
// The one failure rule of members that call the operating system: the result becomes the neutral
// value given, and the machine keeps the code and the system's text for it as its last error.
void osFailure(const MemberCall& call, uint32_t code, const ScriptValue& neutral = ScriptValue::boolean(false));
// The machine's last recorded failure (code 0 and empty text when there was none).
LastOsError lastOsError(const ScriptVM* vm);

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
