#include "engine/properties.h"

#include <cmath>
#include <cstring>

#include "engine/convert.h"
#include "engine/function.h"
#include "engine/heap.h"
#include "engine/native.h"
#include "engine/object.h"
#include "engine/string.h"
#include "engine/trace.h"
#include "engine/vm.h"
#include "engine/array.h"

namespace vorlo {
namespace {

constexpr const char* kUndefinedProperty = "Warning: using undefined property \"%s\"";
constexpr const char* kWrongProtoType = "Warning: can't set property \"%s\" with a wrong type";
constexpr const char* kInvalidIndex = "Warning: invalid index for operator []";
constexpr const char* kStringIndexRange = "Warning: string index out of range";
constexpr const char* kStaticString = "Warning: can't change a static string";
constexpr const char* kNonCharacter = "Warning: can't store a non-charactor value to string";

std::string_view nameOf(ScriptVM* vm, Atom a) { return atomName(vm, a); }

// Where a value other than an object keeps its properties, or null for kinds that have none.
ScriptObject** propsOf(const ScriptValue& v) {
  switch (v.kind) {
    case KindString: return &v.asString()->props;
    case KindArray: return &v.asArray()->props;
    case KindFunction: return &v.asFunction()->props;
    default: return nullptr;
  }
}

// The object a native value keeps its unhandled properties in: its own, or the class's statics.
ScriptObject*& nativeStore(NativeObject* n) { return n->props ? n->props : n->cls->statics; }

// An integer key, or a float key truncated; false for other kinds.
bool integerKey(const ScriptValue& key, int64_t* index) {
  if (key.kind == KindInteger) {
    *index = key.asInt();
    return true;
  }
  if (key.kind == KindFloat && std::isfinite(key.asFloat())) {
    *index = truncateToInt64(key.asFloat());
    return true;
  }
  return false;
}

ScriptValue lookup(ScriptVM* vm, const ScriptValue& target, Atom name, bool* found) {
  *found = true;
  ScriptValue out;
  switch (target.kind) {
    case KindNative: {
      NativeObject* n = target.asNative();
      NativeClass* cls = n->cls;
      if (!cls->property) break;
      if (cls->property(vm, cls, n->data, name, 0, &out)) return out;
      ScriptObject* store = nativeStore(n);
      if (name == vm->atoms.proto) return ScriptValue::object(store);
      if (objectGet(vm, store, name, &out)) return out;
      break;
    }
    case KindObject:
      if (objectGet(vm, target.asObject(), name, &out)) return out;
      break;
    default: {
      NativeClass* cls = vm->kindClasses[target.kind];
      if (!cls) break;
      ScriptValue self = target;
      if (cls->property && cls->property(vm, cls, &self, name, 0, &out)) return out;
      ScriptObject** props = propsOf(target);
      if (name == vm->atoms.proto) {
        if (!props) break;
        if (!*props) *props = newObject(vm);
        return ScriptValue::object(*props);
      }
      if (props && *props && objectGet(vm, *props, name, &out)) return out;
      if (cls->statics && objectGet(vm, cls->statics, name, &out)) return out;
      break;
    }
  }
  *found = false;
  return ScriptValue::undefined();
}

}  // namespace

void setArrayElementOps(ScriptVM* vm, const ArrayElementOps& ops) { vm->arrayOps = ops; }
void setIndexClasses(ScriptVM* vm, const IndexClasses& classes) { vm->indexClasses = classes; }

ScriptValue findProperty(ScriptVM* vm, const ScriptValue& target, Atom name, bool* found) {
  return lookup(vm, target, name, found);
}

ScriptValue getProperty(ScriptVM* vm, const ScriptValue& target, Atom name) {
  bool found;
  ScriptValue v = lookup(vm, target, name, &found);
  if (!found) writeWarning(vm, kUndefinedProperty, nameOf(vm, name));
  return v;
}

void setProperty(ScriptVM* vm, const ScriptValue& target, Atom name, const ScriptValue& value) {
  switch (target.kind) {
    case KindNative: {
      NativeObject* n = target.asNative();
      NativeClass* cls = n->cls;
      if (!cls->property) {
        writeWarning(vm, kUndefinedProperty, nameOf(vm, name));
        return;
      }
      ScriptValue v = value;
      if (cls->property(vm, cls, n->data, name, 1, &v)) return;
      if (name == vm->atoms.proto) {
        if (value.kind == KindObject) {
          nativeStore(n) = value.asObject();
        } else {
          writeWarning(vm, kWrongProtoType, nameOf(vm, name));
        }
        return;
      }
      objectSet(vm, nativeStore(n), name, value);
      return;
    }
    case KindObject:
      objectSet(vm, target.asObject(), name, value);
      return;
    default: {
      NativeClass* cls = vm->kindClasses[target.kind];
      ScriptValue self = target, v = value;
      if (cls && cls->property && cls->property(vm, cls, &self, name, 1, &v)) return;
      ScriptObject** props = propsOf(target);
      if (!cls || !props) {
        writeWarning(vm, kUndefinedProperty, nameOf(vm, name));
        return;
      }
      if (name == vm->atoms.proto) {
        if (value.kind == KindObject) {
          *props = value.asObject();
        } else {
          writeWarning(vm, kWrongProtoType, nameOf(vm, name));
        }
        return;
      }
      if (!*props) *props = newObject(vm);
      objectSet(vm, *props, name, value);
      return;
    }
  }
}

ScriptValue getElement(ScriptVM* vm, const ScriptValue& target, const ScriptValue& key) {
  int64_t index;
  switch (target.kind) {
    case KindArray: {
      if (!integerKey(key, &index)) break;
      ScriptValue out;
      if (vm->arrayOps.get && vm->arrayOps.get(vm, target.asArray(), index, &out)) return out;
      return ScriptValue::undefined();
    }
    case KindString: {
      if (key.kind != KindInteger) break;
      const ScriptString* s = target.asString();
      if (key.asInt() < 0 || static_cast<uint64_t>(key.asInt()) >= s->length) {
        writeWarning(vm, kStringIndexRange);
        return ScriptValue::undefined();
      }
      return ScriptValue::integer(s->chars[key.asInt()]);
    }
    case KindObject:
      if (key.kind == KindSymbol) {
        ScriptValue out;
        return objectGet(vm, target.asObject(), key.asAtom(), &out) ? out : ScriptValue::undefined();
      }
      return objectGetByKey(vm, target.asObject(), key);
    case KindNative: {
      NativeObject* n = target.asNative();
      const IndexClasses& special = vm->indexClasses;
      if (n->cls == special.activeXObject && n->cls->method) {
        ScriptValue args[2] = {ScriptValue::integer(1), key};
        ScriptValue out;
        n->cls->method(vm, n->cls, n->data, intern(vm, "Item"), &out, args);
        return out;
      }
      if (n->cls == special.structArray && special.structArrayGet) {
        ScriptValue out;
        if (integerKey(key, &index) && special.structArrayGet(vm, n->data, index, &out)) return out;
        return ScriptValue::undefined();
      }
      if (key.isString()) {
        Atom name = intern(vm, stringToAnsi(key.asString()).c_str());
        if (!n->cls->property) return getProperty(vm, target, name);  // gives the warning
        bool found;
        return lookup(vm, target, name, &found);  // a name found nowhere is undefined, silently
      }
      if (key.kind == KindInteger) return ScriptValue::undefined();
      break;
    }
    default:
      return ScriptValue::undefined();
  }
  writeWarning(vm, kInvalidIndex);
  return ScriptValue::undefined();
}

void setElement(ScriptVM* vm, const ScriptValue& target, const ScriptValue& key, const ScriptValue& value) {
  int64_t index;
  switch (target.kind) {
    case KindArray:
      if (!integerKey(key, &index)) break;
      if (vm->arrayOps.set) vm->arrayOps.set(vm, target.asArray(), index, value);
      return;
    case KindString: {
      if (key.kind != KindInteger) break;
      ScriptString* s = target.asString();
      if (isStatic(s)) {
        writeWarning(vm, kStaticString);
        return;
      }
      char16_t unit;
      if (value.kind == KindInteger) {
        unit = static_cast<char16_t>(value.asInt() & 0xFF);
      } else if (value.isString() && value.asString()->length > 0) {
        unit = value.asString()->chars[0];
      } else {
        writeWarning(vm, kNonCharacter);
        return;
      }
      int64_t at = key.asInt();
      if (at < 0) {
        writeWarning(vm, kStringIndexRange);
        return;
      }
      if (static_cast<uint64_t>(at) >= s->length) {
        // Grows to at + 1 code units, the gap filled with spaces.
        if (static_cast<uint64_t>(at) >= UINT32_MAX) raiseOutOfMemory(vm);
        size_t newLength = static_cast<size_t>(at) + 1;
        auto* chars = static_cast<char16_t*>(heapResize(vm, mutableChars(s), newLength * sizeof(char16_t)));
        for (size_t i = s->length; i < newLength; ++i) chars[i] = u' ';
        s->chars = chars;
        s->length = static_cast<uint32_t>(newLength);
      }
      mutableChars(s)[at] = unit;
      return;
    }
    case KindObject:
      if (key.kind == KindSymbol) {
        objectSet(vm, target.asObject(), key.asAtom(), value);
      } else {
        objectSetByKey(vm, target.asObject(), key, value);
      }
      return;
    case KindNative: {
      NativeObject* n = target.asNative();
      const IndexClasses& special = vm->indexClasses;
      if (n->cls == special.structArray && special.structArraySet) {
        if (integerKey(key, &index)) special.structArraySet(vm, n->data, index, value);
        return;
      }
      if (key.isString()) {
        setProperty(vm, target, intern(vm, stringToAnsi(key.asString()).c_str()), value);
        return;
      }
      if (key.kind == KindInteger) return;
      break;
    }
    default:
      return;
  }
  writeWarning(vm, kInvalidIndex);
}

void deleteProperty(ScriptVM* vm, const ScriptValue& target, Atom name) {
  if (target.kind == KindObject) objectDelete(vm, target.asObject(), name);
}

void deleteElement(ScriptVM* vm, const ScriptValue& target, const ScriptValue& key) {
  if (target.kind == KindObject) {
    if (key.kind == KindSymbol) {
      objectDelete(vm, target.asObject(), key.asAtom());
    } else {
      objectDeleteByKey(vm, target.asObject(), key);
    }
  } else if (target.kind == KindArray && key.kind == KindInteger && vm->arrayOps.remove) {
    vm->arrayOps.remove(vm, target.asArray(), key.asInt());
  }
}

bool nextItem(ScriptVM* vm, const ScriptValue& collection, uint64_t index, ScriptValue* item) {
  switch (collection.kind) {
    case KindString: {
      const ScriptString* s = collection.asString();
      if (index >= s->length) return false;
      *item = ScriptValue::integer(s->chars[index]);
      return true;
    }
    case KindArray: {
      ScriptArray* a = collection.asArray();
      if (index >= a->length) return false;
      ScriptValue out;
      bool present = vm->arrayOps.get && vm->arrayOps.get(vm, a, static_cast<int64_t>(index), &out);
      *item = present ? out : ScriptValue::undefined();
      return true;
    }
    case KindObject:
      return objectPropertyNameAt(vm, collection.asObject(), index, item);
    default:
      return false;
  }
}

}  // namespace vorlo
