#include "engine/convert.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "engine/ansi.h"
#include "engine/error.h"
#include "engine/native.h"
#include "engine/number_reader.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

const ScriptValue kEmptyArgs[1] = {ScriptValue::integer(0)};

// A native slot may write into the argument list it was given; each call gets its own copy.
bool callSlot(ScriptVM* vm, NativeClass* cls, void* self, Atom name, ScriptValue* result) {
  if (!cls || !cls->method) return false;
  ScriptValue args[1] = {kEmptyArgs[0]};
  *result = ScriptValue::undefined();
  return cls->method(vm, cls, self, name, result, args) != 0;
}

// The class serving a value kind. Every such kind gets its class when the built-in classes are
// registered; a machine used before that cannot convert these kinds to text.
NativeClass* requireKindClass(ScriptVM* vm, uint32_t kind) {
  NativeClass* cls = vm->kindClasses[kind];
  if (!cls) throw std::logic_error("no class serves value kind " + std::to_string(kind));
  return cls;
}

[[noreturn]] void cannotConvertToPrimitive(ScriptVM* vm) {
  raiseRuntimeError(vm, "%s", "Can't convert to primitive type");
}

bool isInfinite(double d) { return std::isinf(d); }

}  // namespace

int64_t truncateToInt64(double d) {
  constexpr double two63 = 9223372036854775808.0;
  constexpr double two64 = 18446744073709551616.0;
  double t = std::trunc(d);
  if (t >= -two63 && t < two63) return static_cast<int64_t>(t);
  double m = std::fmod(t, two64);  // exact; the result lies in (-2^64, 2^64) and is representable
  if (m < 0) m += two64;
  uint64_t u = m >= two63 ? static_cast<uint64_t>(m - two63) + 0x8000000000000000ull
                          : static_cast<uint64_t>(m);
  return static_cast<int64_t>(u);
}

bool toBoolean(const ScriptValue& v) {
  switch (v.kind) {
    case KindBoolean: return v.asBool();
    case KindInteger: return v.asInt() != 0;
    case KindString: return v.asString()->length != 0;
    case KindFloat: return v.asFloat() != 0.0;
    case KindArray:
    case KindObject:
    case KindNative:
    case KindFunction: return true;
    default: return false;
  }
}

ScriptValue toNumber(ScriptVM* vm, const ScriptValue& v) {
  switch (v.kind) {
    case KindNull: return ScriptValue::integer(0);
    case KindBoolean: return ScriptValue::integer(v.asBool() ? 1 : 0);
    case KindInteger:
    case KindFloat:
    case KindNaN: return v;
    case KindString: return textToNumber(stringView(v.asString()));
    case KindArray:
    case KindObject:
    case KindNative:
    case KindFunction: {
      ScriptValue p = toPrimitive(vm, v, PrimitiveHint::Number);
      // A class whose valueOf answers an object (a class object answers itself) would otherwise
      // send this conversion round for ever.
      if (p.isHeapKind() && !p.isString()) return ScriptValue::nan();
      return toNumber(vm, p);
    }
    default: return ScriptValue::nan();
  }
}

int64_t toInt64(ScriptVM* vm, const ScriptValue& v) {
  ScriptValue n = toNumber(vm, v);
  if (n.is(KindInteger)) return n.asInt();
  if (n.is(KindFloat)) {
    double d = n.asFloat();
    return std::isnan(d) || isInfinite(d) ? 0 : truncateToInt64(d);
  }
  return 0;
}

uint32_t toInt32(ScriptVM* vm, const ScriptValue& v) {
  return static_cast<uint32_t>(static_cast<uint64_t>(toInt64(vm, v)));
}

bool callConversionMethod(ScriptVM* vm, const ScriptValue& receiver, Atom name, ScriptValue* result) {
  ValueRoot self(vm, receiver);  // a script method ends with a collection
  switch (receiver.kind) {
    case KindNative: {
      NativeObject* n = receiver.asNative();
      return callSlot(vm, n->cls, n->data, name, result);
    }
    case KindObject: {
      ScriptValue method;
      if (objectGet(vm, receiver.asObject(), name, &method)) {
        if (!method.is(KindFunction) || !vm->hooks.callFunction) return false;
        ValueRoot callee(vm, method);
        ScriptValue args[1] = {kEmptyArgs[0]};
        *result = ScriptValue::undefined();
        if (vm->hooks.callFunction(vm, self.value, callee.value, args, result)) return true;
        passOnStackOverflow(vm);
        return false;
      }
      return callSlot(vm, vm->kindClasses[KindObject], &self.value, name, result);
    }
    default:
      if (receiver.kind >= kKindCount) return false;
      return callSlot(vm, vm->kindClasses[receiver.kind], &self.value, name, result);
  }
}

ScriptValue toStringValue(ScriptVM* vm, const ScriptValue& v) {
  switch (v.kind) {
    case KindUndefined:
    case KindNull: return staticString(vm, u"undefined");
    case KindSymbol: {
      std::string_view name = atomName(vm, v.asAtom());
      return ScriptValue::string(newStringFromAnsi(vm, name.data(), name.size()));
    }
    case KindString:
      // What the String class answers for "toString": the string itself.
      return v;
    case KindBoolean:
    case KindInteger:
    case KindFloat:
    case KindArray:
    case KindFunction:
    case KindNaN: {
      NativeClass* cls = requireKindClass(vm, v.kind);
      ValueRoot self(vm, v);
      ScriptValue r;
      if (callSlot(vm, cls, &self.value, vm->atoms.toString, &r) && r.isString()) return r;
      return staticString(vm, u"unknown");
    }
    case KindObject: {
      ScriptValue r;
      if (callConversionMethod(vm, v, vm->atoms.toString, &r) && r.isString()) return r;
      return staticString(vm, u"object");
    }
    case KindNative: {
      ScriptValue r;
      if (callConversionMethod(vm, v, vm->atoms.toString, &r) && r.isString()) return r;
      return staticString(vm, u"object");
    }
    default: return staticString(vm, u"unknown");
  }
}

ScriptValue toPrimitive(ScriptVM* vm, const ScriptValue& v, PrimitiveHint hint) {
  if (v.isPrimitive()) return v;
  ScriptValue r;
  switch (v.kind) {
    case KindObject:
      if (hint == PrimitiveHint::String) {
        if (callConversionMethod(vm, v, vm->atoms.toString, &r) && r.isPrimitive()) return r;
        if (callConversionMethod(vm, v, vm->atoms.valueOf, &r) && r.isPrimitive()) return r;
        cannotConvertToPrimitive(vm);
      }
      if (callConversionMethod(vm, v, vm->atoms.valueOf, &r) && r.isPrimitive()) return r;
      return toStringValue(vm, v);
    case KindArray:
    case KindFunction: return toStringValue(vm, v);
    case KindNative: {
      NativeObject* n = v.asNative();
      if (!n->cls || !n->cls->method) cannotConvertToPrimitive(vm);
      if (hint == PrimitiveHint::String) {
        if (callConversionMethod(vm, v, vm->atoms.toString, &r)) return r;
        if (callConversionMethod(vm, v, vm->atoms.valueOf, &r)) return r;
        cannotConvertToPrimitive(vm);
      }
      if (callConversionMethod(vm, v, vm->atoms.valueOf, &r)) return r;
      return toStringValue(vm, v);
    }
    default: cannotConvertToPrimitive(vm);
  }
}

ScriptValue toObject(ScriptVM* vm, const ScriptValue& v) {
  switch (v.kind) {
    case KindBoolean:
    case KindInteger:
    case KindFloat:
    case KindArray:
    case KindObject:
    case KindNative:
    case KindFunction:
    case KindNaN: return v;
    case KindString: {
      // A copy that may be changed, even when the original is static.
      const ScriptString* s = v.asString();
      return ScriptValue::string(newOwnedString(vm, s->chars, s->length));
    }
    default: raiseRuntimeError(vm, "%s", "Can't convert to object");
  }
}

}  // namespace vorlo
