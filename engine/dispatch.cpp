#include "engine/dispatch.h"

#include "engine/function.h"
#include "engine/native.h"
#include "engine/object.h"
#include "engine/string.h"
#include "engine/array.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

// Where strings, arrays and functions keep properties of their own (null when they have none yet).
ScriptObject* ownProps(const ScriptValue& v) {
  switch (v.kind) {
    case KindString: return v.asString()->props;
    case KindArray: return v.asArray()->props;
    case KindFunction: return v.asFunction()->props;
    default: return nullptr;
  }
}

bool functionIn(ScriptVM* vm, ScriptObject* o, Atom name, ScriptValue* function) {
  ScriptValue v;
  if (!o || !objectGet(vm, o, name, &v) || !v.is(KindFunction)) return false;
  *function = v;
  return true;
}

ScriptObject* nativeStore(NativeObject* n) { return n->props ? n->props : n->cls->statics; }

// A native slot may write into the value it receives as `self`; it gets a copy.
bool kindMethod(ScriptVM* vm, const ScriptValue& value, Atom name, const ScriptValue* args,
                ScriptValue* result) {
  if (value.kind >= kKindCount) return false;
  NativeClass* cls = vm->kindClasses[value.kind];
  if (!cls || !cls->method) return false;
  ScriptValue self = value;
  return cls->method(vm, cls, &self, name, result, args) != 0;
}

}  // namespace

CallOutcome resolveCall(ScriptVM* vm, const ScriptValue& callee, const ScriptValue* args,
                        ScriptValue* result, ScriptValue* function) {
  if (callee.is(KindFunction)) {
    *function = callee;
    return CallOutcome::Script;
  }
  if (callee.is(KindNative)) {
    NativeObject* n = callee.asNative();
    if (n->cls && n->cls->call) {
      n->cls->call(vm, n->cls, n->data, result, args);
      return CallOutcome::Done;
    }
  }
  return CallOutcome::NotFound;
}

CallOutcome resolveMethod(ScriptVM* vm, const ScriptValue& receiver, Atom name, const ScriptValue* args,
                          ScriptValue* result, ScriptValue* function) {
  switch (receiver.kind) {
    case KindNative: {
      NativeObject* n = receiver.asNative();
      NativeClass* cls = n->cls;
      if (cls->method && cls->method(vm, cls, n->data, name, result, args)) return CallOutcome::Done;
      return functionIn(vm, nativeStore(n), name, function) ? CallOutcome::Script : CallOutcome::NotFound;
    }
    case KindObject: {
      ScriptValue v;
      if (objectGet(vm, receiver.asObject(), name, &v)) {
        if (!v.is(KindFunction)) return CallOutcome::NotFound;
        *function = v;
        return CallOutcome::Script;
      }
      return kindMethod(vm, receiver, name, args, result) ? CallOutcome::Done : CallOutcome::NotFound;
    }
    default:
      if (kindMethod(vm, receiver, name, args, result)) return CallOutcome::Done;
      if (receiver.kind < kKindCount && vm->kindClasses[receiver.kind] &&
          functionIn(vm, ownProps(receiver), name, function))
        return CallOutcome::Script;
      return CallOutcome::NotFound;
  }
}

CallOutcome resolveWithMethod(ScriptVM* vm, const ScriptValue& entry, Atom name, const ScriptValue* args,
                              ScriptValue* result, ScriptValue* function) {
  switch (entry.kind) {
    case KindNative: {
      NativeObject* n = entry.asNative();
      if (n->cls->method && n->cls->method(vm, n->cls, n->data, name, result, args))
        return CallOutcome::Done;
      return CallOutcome::NotFound;
    }
    case KindObject:
      return functionIn(vm, entry.asObject(), name, function) ? CallOutcome::Script : CallOutcome::NotFound;
    default:
      if (kindMethod(vm, entry, name, args, result)) return CallOutcome::Done;
      return functionIn(vm, ownProps(entry), name, function) ? CallOutcome::Script : CallOutcome::NotFound;
  }
}

CallOutcome resolveConstruct(ScriptVM* vm, const ScriptValue& constructor, const ScriptValue* args,
                             ScriptValue* result) {
  NativeClass* cls = nullptr;
  if (constructor.is(KindNative)) cls = constructor.asNative()->cls;
  else if (constructor.kind < kKindCount) cls = vm->kindClasses[constructor.kind];
  if (!cls || !cls->construct) return CallOutcome::NotFound;
  // Slots above the top that a construct slot might read first are written here, not left stale.
  *result = ScriptValue::undefined();
  cls->construct(vm, cls, args, result);
  return CallOutcome::Done;
}

ScriptValue newConstructedObject(ScriptVM* vm, FunctionValue* function) {
  if (!function->props) {
    ScriptObject* props = newObject(vm);
    NativeClass* objectClass = vm->kindClasses[KindObject];
    objectSet(vm, props, vm->atoms.proto,
              objectClass ? ScriptValue::object(objectClass->statics) : ScriptValue::null());
    function->props = props;
  }
  ScriptObject* o = newObject(vm);
  objectSet(vm, o, vm->atoms.proto, ScriptValue::object(function->props));
  return ScriptValue::object(o);
}

bool storeIntoWithEntry(ScriptVM* vm, const ScriptValue& entry, Atom name, const ScriptValue& value) {
  ScriptValue found;
  switch (entry.kind) {
    case KindNative: {
      NativeObject* n = entry.asNative();
      NativeClass* cls = n->cls;
      ScriptValue v = value;
      if (cls->property && cls->property(vm, cls, n->data, name, 1, &v)) return true;
      if (name == vm->atoms.proto && value.is(KindObject)) {
        (n->props ? n->props : cls->statics) = value.asObject();
        return true;
      }
      ScriptObject* store = nativeStore(n);
      if (objectFindOwn(store, name) || objectFindOwn(cls->statics, name)) {
        objectSet(vm, store, name, value);
        return true;
      }
      return false;
    }
    case KindObject:
      if (!objectGet(vm, entry.asObject(), name, &found)) return false;
      objectSet(vm, entry.asObject(), name, value);
      return true;
    default: {
      ScriptObject* props = ownProps(entry);
      if (!props || !objectGet(vm, props, name, &found)) return false;
      objectSet(vm, props, name, value);
      return true;
    }
  }
}

bool deleteFromWithEntry(ScriptVM* vm, const ScriptValue& entry, Atom name) {
  ScriptValue found;
  if (!entry.is(KindObject) || !objectGet(vm, entry.asObject(), name, &found)) return false;
  objectDelete(vm, entry.asObject(), name);
  return true;
}

}  // namespace vorlo
