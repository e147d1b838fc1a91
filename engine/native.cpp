#include "engine/native.h"

#include "engine/object.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

void classCleanup(ScriptVM*, void* block) {
  auto* cls = static_cast<NativeClass*>(block);
  if (cls->classDataRelease && cls->classData) cls->classDataRelease(cls->classData);
  cls->classData = nullptr;
}

void instanceCleanup(ScriptVM*, void* block) { releaseNativeData(static_cast<NativeObject*>(block)); }

}  // namespace

NativeClass* newNativeClass(ScriptVM* vm) {
  ScriptObject* statics = newObject(vm);
  objectSet(vm, statics, vm->atoms.proto, ScriptValue::null());
  auto* cls = static_cast<NativeClass*>(heapAllocFinalized(vm, sizeof(NativeClass)));
  cls->cleanup = classCleanup;
  cls->statics = statics;
  return cls;
}

NativeObject* newNativeObject(ScriptVM* vm, NativeClass* cls, void* data) {
  ScriptObject* props = nullptr;
  if (data) {
    props = newObject(vm);
    objectSet(vm, props, vm->atoms.proto, ScriptValue::object(cls->statics));
  }
  auto* n = static_cast<NativeObject*>(heapAllocFinalized(vm, sizeof(NativeObject)));
  n->cleanup = instanceCleanup;
  n->cls = cls;
  n->data = data;
  n->props = props;
  return n;
}

void releaseNativeData(NativeObject* n) {
  void* data = n->data;
  n->data = nullptr;
  if (data && n->cls && n->cls->finalize) n->cls->finalize(n->cls, data);
}

}  // namespace vorlo
