// Property access by name, element access by key, deletion and the for-in step, on every value kind.
// Problems are warnings on the trace output; reads then yield undefined and stores do nothing.
#pragma once
#include <cstdint>

#include "engine/value.h"

namespace vorlo {

struct NativeClass;

// The element storage of arrays belongs to the Array class, which installs these when it registers.
struct ArrayElementOps {
  bool (*get)(ScriptVM* vm, ScriptArray* array, int64_t index, ScriptValue* out) = nullptr;  // false: absent
  void (*set)(ScriptVM* vm, ScriptArray* array, int64_t index, const ScriptValue& value) = nullptr;
  void (*remove)(ScriptVM* vm, ScriptArray* array, int64_t index) = nullptr;
};
void setArrayElementOps(ScriptVM* vm, const ArrayElementOps& ops);

// Classes whose index access is their own (COM objects read items, structure arrays their elements).
struct IndexClasses {
  NativeClass* activeXObject = nullptr;
  NativeClass* structArray = nullptr;
  // Element access of a structure array by integer index (the class installs it).
  bool (*structArrayGet)(ScriptVM* vm, void* self, int64_t index, ScriptValue* out) = nullptr;
  void (*structArraySet)(ScriptVM* vm, void* self, int64_t index, const ScriptValue& value) = nullptr;
};
void setIndexClasses(ScriptVM* vm, const IndexClasses& classes);

// v.name
ScriptValue getProperty(ScriptVM* vm, const ScriptValue& target, Atom name);
// The same without the warning when nothing has the name (with-scope look-ups); found says whether
// anything had it.
ScriptValue findProperty(ScriptVM* vm, const ScriptValue& target, Atom name, bool* found);
// v.name = value
void setProperty(ScriptVM* vm, const ScriptValue& target, Atom name, const ScriptValue& value);
// v[key]
ScriptValue getElement(ScriptVM* vm, const ScriptValue& target, const ScriptValue& key);
// v[key] = value
void setElement(ScriptVM* vm, const ScriptValue& target, const ScriptValue& key, const ScriptValue& value);
// delete v.name / delete v[key]
void deleteProperty(ScriptVM* vm, const ScriptValue& target, Atom name);
void deleteElement(ScriptVM* vm, const ScriptValue& target, const ScriptValue& key);

// The for-in step: the index-th item of a string (its code unit), an array (its element) or an object
// (the name of its index-th property); false past the end or for other kinds.
bool nextItem(ScriptVM* vm, const ScriptValue& collection, uint64_t index, ScriptValue* item);

}  // namespace vorlo
