// Script objects: property slots (key Atom, value) in insertion order. A free slot (key kFreeSlot)
// left by a deletion is reused by the next new property. The prototype is the ordinary property
// "__proto__"; a NameIndex over the slots is built only when a lookup by text or an enumeration
// needs it.
#pragma once
#include <cstddef>
#include <cstdint>

#include "engine/value.h"

namespace vorlo {

struct PropertySlot {
  Atom key;
  uint32_t reserved;
  ScriptValue value;
};

inline constexpr int kNameIndexBuckets = 128;

// One entry of a NameIndex chain: a copy of the property's name as 8-bit text and its slot number.
// Each chain is kept in ascending slot order, so the order of names does not depend on when the index
// was built.
struct NameEntry {
  NameEntry* next;
  uint32_t slot;
  uint32_t length;
  char name[1];  // `length` bytes plus a terminator
};

struct ScriptObject {
  NameEntry** index;       // kNameIndexBuckets chain heads, null until needed
  uint32_t* bucketCounts;  // entries per bucket, null with the index
  uint32_t slotCount;
  uint32_t reserved;
  PropertySlot* slots;
};

ScriptObject* newObject(ScriptVM* vm);

// Lookup by Atom: the own slots, then the object held by the first object-valued "__proto__" slot,
// and so on. A prototype cycle ends the search (not found).
bool objectGet(ScriptVM* vm, const ScriptObject* o, Atom key, ScriptValue* out);
// Own slots only.
PropertySlot* objectFindOwn(const ScriptObject* o, Atom key);
// Changes the own slot of that key or creates one (reusing the first free slot); never consults the
// prototype chain.
void objectSet(ScriptVM* vm, ScriptObject* o, Atom key, const ScriptValue& value);
bool objectDelete(ScriptVM* vm, ScriptObject* o, Atom key);

// Access by a key value. An integer key n is slot n by position whatever its name; a string key is a
// name looked up by text (no prototype chain). Other keys read undefined and write nothing.
ScriptValue objectGetByKey(ScriptVM* vm, ScriptObject* o, const ScriptValue& key);
// An integer key at or beyond the slot count first extends the slots (new ones name nothing,
// kUnnamedSlot, and hold undefined); a negative integer key writes nothing.
void objectSetByKey(ScriptVM* vm, ScriptObject* o, const ScriptValue& key, const ScriptValue& value);
void objectDeleteByKey(ScriptVM* vm, ScriptObject* o, const ScriptValue& key);

// The name of the n-th NameIndex entry, counting bucket by bucket: the for-in order of objects.
bool objectPropertyNameAt(ScriptVM* vm, ScriptObject* o, uint64_t n, ScriptValue* name);

// --- NameIndex (name_index.cpp) ---
void nameIndexBuild(ScriptVM* vm, ScriptObject* o);
void nameIndexAdd(ScriptVM* vm, ScriptObject* o, uint32_t slot);
void nameIndexRemove(ScriptVM* vm, ScriptObject* o, uint32_t slot);
// Slot of the first entry with this name, or -1.
int64_t nameIndexFind(const ScriptObject* o, const char* text, size_t length);

}  // namespace vorlo
