#include "engine/object.h"

#include "engine/checked.h"
#include "engine/error.h"
#include "engine/heap.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

// Grows the slot array to `count` slots; new slots hold undefined and key 0 (the block is zeroed by
// the heap) until the caller gives them their keys. The block only moves when it is full, so
// one-slot growth stays cheap.
void growSlots(ScriptVM* vm, ScriptObject* o, uint64_t count) {
  size_t bytes;
  if (count > UINT32_MAX - 1 || !checkedMul(count, sizeof(PropertySlot), &bytes)) raiseOutOfMemory(vm);
  o->slots = static_cast<PropertySlot*>(heapResize(vm, o->slots, bytes));
  o->slotCount = static_cast<uint32_t>(count);
}

void freeSlot(ScriptVM* vm, ScriptObject* o, uint32_t i) {
  if (o->slots[i].key == kFreeSlot) return;
  nameIndexRemove(vm, o, i);
  o->slots[i].key = kFreeSlot;
  o->slots[i].value = ScriptValue::undefined();
}

// Slot number of a property named by a string key value, or -1. Builds the index when absent.
int64_t findByText(ScriptVM* vm, ScriptObject* o, const ScriptString* key, std::string* text) {
  *text = stringToAnsi(key);
  nameIndexBuild(vm, o);
  return nameIndexFind(o, text->data(), text->size());
}

}  // namespace

ScriptObject* newObject(ScriptVM* vm) {
  return static_cast<ScriptObject*>(heapAlloc(vm, sizeof(ScriptObject)));
}

PropertySlot* objectFindOwn(const ScriptObject* o, Atom key) {
  for (uint32_t i = 0; i < o->slotCount; i++)
    if (o->slots[i].key == key) return &o->slots[i];
  return nullptr;
}

bool objectGet(ScriptVM* vm, const ScriptObject* o, Atom key, ScriptValue* out) {
  const Atom proto = vm->atoms.proto;
  // The slow pointer follows at half speed; meeting it means "__proto__" links form a cycle.
  const ScriptObject* slow = o;
  for (uint64_t hops = 0; o; hops++) {
    const ScriptObject* next = nullptr;
    for (uint32_t i = 0; i < o->slotCount; i++) {
      const PropertySlot& s = o->slots[i];
      if (s.key == key) {
        *out = s.value;
        return true;
      }
      if (!next && s.key == proto && s.value.isObject()) next = s.value.asObject();
    }
    o = next;
    if (hops & 1) {
      for (uint32_t i = 0; i < slow->slotCount; i++) {
        const PropertySlot& s = slow->slots[i];
        if (s.key == proto && s.value.isObject()) {
          slow = s.value.asObject();
          break;
        }
      }
    }
    if (o && o == slow) return false;
  }
  return false;
}

void objectSet(ScriptVM* vm, ScriptObject* o, Atom key, const ScriptValue& value) {
  int64_t freeIndex = -1;
  for (uint32_t i = 0; i < o->slotCount; i++) {
    Atom k = o->slots[i].key;
    if (k == key) {
      o->slots[i].value = value;
      return;
    }
    if (k == kFreeSlot && freeIndex < 0) freeIndex = i;
  }
  uint32_t i;
  if (freeIndex >= 0) {
    i = static_cast<uint32_t>(freeIndex);
  } else {
    i = o->slotCount;
    growSlots(vm, o, uint64_t(i) + 1);
  }
  o->slots[i].key = key;
  o->slots[i].value = value;
  nameIndexAdd(vm, o, i);
}

bool objectDelete(ScriptVM* vm, ScriptObject* o, Atom key) {
  for (uint32_t i = 0; i < o->slotCount; i++) {
    if (o->slots[i].key == key) {
      freeSlot(vm, o, i);
      return true;
    }
  }
  return false;
}

ScriptValue objectGetByKey(ScriptVM* vm, ScriptObject* o, const ScriptValue& key) {
  if (key.is(KindInteger)) {
    int64_t n = key.asInt();
    return n >= 0 && n < o->slotCount ? o->slots[n].value : ScriptValue::undefined();
  }
  if (key.isString()) {
    std::string text;
    int64_t slot = findByText(vm, o, key.asString(), &text);
    return slot >= 0 ? o->slots[slot].value : ScriptValue::undefined();
  }
  return ScriptValue::undefined();
}

void objectSetByKey(ScriptVM* vm, ScriptObject* o, const ScriptValue& key, const ScriptValue& value) {
  if (key.is(KindInteger)) {
    int64_t n = key.asInt();
    if (n < 0) return;  // no slot lies before the first
    if (static_cast<uint64_t>(n) >= o->slotCount) {
      // The new slots name nothing: key 0 would be "__proto__" and make the value the prototype.
      uint32_t first = o->slotCount;
      growSlots(vm, o, static_cast<uint64_t>(n) + 1);
      for (uint32_t i = first; i < o->slotCount; i++) o->slots[i].key = kUnnamedSlot;
    }
    o->slots[n].value = value;
    return;
  }
  if (key.isString()) {
    std::string text;
    int64_t slot = findByText(vm, o, key.asString(), &text);
    if (slot >= 0) {
      o->slots[slot].value = value;
      return;
    }
    Atom atom = intern(vm, text.data(), text.size());
    uint32_t i = o->slotCount;
    growSlots(vm, o, uint64_t(i) + 1);
    o->slots[i].key = atom;
    o->slots[i].value = value;
    nameIndexAdd(vm, o, i);
  }
}

void objectDeleteByKey(ScriptVM* vm, ScriptObject* o, const ScriptValue& key) {
  if (key.is(KindInteger)) {
    int64_t n = key.asInt();
    if (n >= 0 && n < o->slotCount) freeSlot(vm, o, static_cast<uint32_t>(n));
  } else if (key.isString()) {
    std::string text;
    int64_t slot = findByText(vm, o, key.asString(), &text);
    if (slot >= 0) freeSlot(vm, o, static_cast<uint32_t>(slot));
  }
}

bool objectPropertyNameAt(ScriptVM* vm, ScriptObject* o, uint64_t n, ScriptValue* name) {
  nameIndexBuild(vm, o);
  for (int b = 0; b < kNameIndexBuckets; b++) {
    if (n >= o->bucketCounts[b]) {
      n -= o->bucketCounts[b];
      continue;
    }
    NameEntry* e = o->index[b];
    while (n--) e = e->next;
    *name = ScriptValue::string(newStringFromAnsi(vm, e->name, e->length));
    return true;
  }
  return false;
}

}  // namespace vorlo
