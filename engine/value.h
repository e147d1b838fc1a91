// The one value representation of the script engine: a 32-bit kind and an 8-byte payload.
// Values are copied by value; the payload of the heap kinds points into the VM's collected heap, so a
// copy shares the record.
#pragma once
#include <bit>
#include <cstdint>

namespace vorlo {

struct ScriptVM;
struct ScriptString;
struct ScriptObject;
struct ScriptArray;
struct FunctionValue;
struct NativeObject;

// Index of an interned name; it also indexes the VM's global-variable table.
using Atom = uint32_t;
// Key of an object slot left free by a deletion.
inline constexpr Atom kFreeSlot = 0xFFFFFFFFu;
// Key of a slot made by a positional store beyond the last slot: it holds a value but names nothing
// (no name lookup finds it, enumeration skips it). No Atom is ever handed out with either value.
inline constexpr Atom kUnnamedSlot = 0xFFFFFFFEu;

enum Kind : uint32_t {
  KindUndefined = 0,
  KindNull = 1,
  KindBoolean = 2,
  KindInteger = 3,
  KindString = 4,
  KindFloat = 5,
  KindArray = 6,
  KindObject = 7,
  KindSymbol = 10,
  KindNative = 11,
  KindFunction = 12,
  KindNaN = 13,
  KindFrameLink = 14,  // stack frames only
  KindFrameInfo = 15,  // stack frames only
};
inline constexpr int kKindCount = 16;

struct alignas(8) ScriptValue {
  uint32_t kind = KindUndefined;
  uint32_t reserved = 0;  // keeps the payload at offset 8 on every target
  uint64_t bits = 0;

  static ScriptValue undefined() { return {}; }
  static ScriptValue null() { return make(KindNull, 0); }
  static ScriptValue nan() { return make(KindNaN, 0); }
  static ScriptValue boolean(bool b) { return make(KindBoolean, b ? 1 : 0); }
  static ScriptValue integer(int64_t i) { return make(KindInteger, static_cast<uint64_t>(i)); }
  static ScriptValue number(double d) { return make(KindFloat, std::bit_cast<uint64_t>(d)); }
  static ScriptValue symbol(Atom a) { return make(KindSymbol, a); }
  static ScriptValue string(ScriptString* s) { return pointer(KindString, s); }
  static ScriptValue object(ScriptObject* o) { return pointer(KindObject, o); }
  static ScriptValue array(ScriptArray* a) { return pointer(KindArray, a); }
  static ScriptValue function(FunctionValue* f) { return pointer(KindFunction, f); }
  static ScriptValue native(NativeObject* n) { return pointer(KindNative, n); }
  static ScriptValue make(uint32_t kind, uint64_t bits) {
    ScriptValue v;
    v.kind = kind;
    v.bits = bits;
    return v;
  }
  static ScriptValue pointer(uint32_t kind, const void* p) {
    return make(kind, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p)));
  }

  bool is(uint32_t k) const { return kind == k; }
  bool isUndefined() const { return kind == KindUndefined; }
  bool isString() const { return kind == KindString; }
  bool isObject() const { return kind == KindObject; }
  // Kinds whose payload is a record in the collected heap.
  bool isHeapKind() const {
    return kind == KindString || kind == KindArray || kind == KindObject || kind == KindNative ||
           kind == KindFunction;
  }
  // Kinds 0-5 and NaN: what a conversion to a primitive accepts as its outcome.
  bool isPrimitive() const { return kind <= KindFloat || kind == KindNaN; }

  bool asBool() const { return static_cast<uint32_t>(bits) != 0; }
  int64_t asInt() const { return static_cast<int64_t>(bits); }
  double asFloat() const { return std::bit_cast<double>(bits); }
  Atom asAtom() const { return static_cast<Atom>(bits); }
  void* asPointer() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(bits)); }
  ScriptString* asString() const { return static_cast<ScriptString*>(asPointer()); }
  ScriptObject* asObject() const { return static_cast<ScriptObject*>(asPointer()); }
  ScriptArray* asArray() const { return static_cast<ScriptArray*>(asPointer()); }
  FunctionValue* asFunction() const { return static_cast<FunctionValue*>(asPointer()); }
  NativeObject* asNative() const { return static_cast<NativeObject*>(asPointer()); }
};
static_assert(sizeof(ScriptValue) == 16);

// An ArgList is the address of an integer value holding the argument count, followed by the
// arguments in call order.
inline int64_t argCount(const ScriptValue* args) { return args ? args[0].asInt() : 0; }

}  // namespace vorlo
