// Streams that a script closes early: afterwards their members are unknown to the object (the VM's
// usual handling of unknown names), except the few D::keptWhenClosed names.
#pragma once
#include <string_view>

#include "engine/native.h"
#include "engine/symbols.h"

namespace vorlo {

template <typename D>
struct ClosableDispatch {
  static inline NativeMethodFn tableMethod = nullptr;
  static inline NativePropertyFn tableProperty = nullptr;

  static bool closed(ScriptVM* vm, void* self, Atom name) {
    return self && !static_cast<D*>(self)->isOpen() && !D::keptWhenClosed(atomName(vm, name));
  }
  static int method(ScriptVM* vm, NativeClass* cls, void* self, Atom name, ScriptValue* result, const ScriptValue* args) {
    return closed(vm, self, name) ? 0 : tableMethod(vm, cls, self, name, result, args);
  }
  static int property(ScriptVM* vm, NativeClass* cls, void* self, Atom name, int isWrite, ScriptValue* value) {
    return closed(vm, self, name) ? 0 : tableProperty(vm, cls, self, name, isWrite, value);
  }
  // Wraps the table dispatch of a class registered with registerClass.
  static void install(NativeClass* cls) {
    tableMethod = cls->method;
    tableProperty = cls->property;
    if (cls->method) cls->method = method;
    if (cls->property) cls->property = property;
  }
};

}  // namespace vorlo
