// Native classes: a record of callback slots that the VM calls for values of the class, and the
// instances (native objects) that carry the class's native data.
#pragma once
#include "engine/heap.h"
#include "engine/value.h"

namespace vorlo {

struct NativeClass;

// `self` is the instance's native data (null on the class object), or for the value kinds served by
// built-in classes a pointer to the ScriptValue. `args` is an ArgList. `method` and `property` answer
// 1 when they handled the name, 0 when the class does not know it.
using NativeCallFn = void (*)(ScriptVM* vm, NativeClass* cls, void* self, ScriptValue* result,
                              const ScriptValue* args);
using NativeMethodFn = int (*)(ScriptVM* vm, NativeClass* cls, void* self, Atom name,
                               ScriptValue* result, const ScriptValue* args);
using NativePropertyFn = int (*)(ScriptVM* vm, NativeClass* cls, void* self, Atom name, int isWrite,
                                 ScriptValue* value);
using NativeConstructFn = void (*)(ScriptVM* vm, NativeClass* cls, const ScriptValue* args,
                                   ScriptValue* result);
// Releases native data and what it owns. Runs during a sweep: it must not allocate from the
// collected heap.
using NativeFinalizeFn = void (*)(NativeClass* cls, void* self);
// Marks (markValue) every script value the native data holds.
using NativeMarkFn = void (*)(ScriptVM* vm, NativeClass* cls, void* self);

struct NativeClass {
  BlockFinalizer cleanup;  // releases classData through classDataRelease
  NativeCallFn call;
  NativeMethodFn method;
  NativePropertyFn property;
  NativeConstructFn construct;
  NativeFinalizeFn finalize;
  NativeMarkFn mark;
  void* classData;
  void (*classDataRelease)(void* classData);
  ScriptObject* statics;  // the class object's own properties; "__proto__" is null
};

struct NativeObject {
  BlockFinalizer cleanup;  // calls cls->finalize with data
  NativeClass* cls;
  void* data;
  ScriptObject* props;  // only when data is present; "__proto__" is cls->statics
};

// A class with every slot empty and a fresh statics object.
NativeClass* newNativeClass(ScriptVM* vm);
// An instance of `cls`. With data, it gets its own property object whose "__proto__" is the statics.
NativeObject* newNativeObject(ScriptVM* vm, NativeClass* cls, void* data);
// Calls the class's finalize on the native data once and clears the data pointer.
void releaseNativeData(NativeObject* n);

}  // namespace vorlo
