#include "engine/heap.h"
#include "engine/object.h"
#include "engine/symbols.h"

#include <cstddef>
#include <cstring>

namespace vorlo {

namespace {

uint32_t bucketOf(const char* text, size_t length) {
  return nameHash(text, length) % kNameIndexBuckets;
}

NameEntry* newEntry(ScriptVM* vm, std::string_view name, uint32_t slot) {
  auto* e = static_cast<NameEntry*>(heapAlloc(vm, offsetof(NameEntry, name) + name.size() + 1));
  e->slot = slot;
  e->length = static_cast<uint32_t>(name.size());
  std::memcpy(e->name, name.data(), name.size());
  return e;
}

void link(ScriptObject* o, uint32_t bucket, NameEntry* e) {
  NameEntry** at = &o->index[bucket];
  while (*at && (*at)->slot < e->slot) at = &(*at)->next;
  e->next = *at;
  *at = e;
  o->bucketCounts[bucket]++;
}

}  // namespace

void nameIndexBuild(ScriptVM* vm, ScriptObject* o) {
  if (o->index) return;
  // All blocks are made before any is attached: heapAlloc never collects, and a failure leaves the
  // object without an index rather than with half of one.
  auto** index = static_cast<NameEntry**>(heapAlloc(vm, kNameIndexBuckets * sizeof(NameEntry*)));
  auto* counts = static_cast<uint32_t*>(heapAlloc(vm, kNameIndexBuckets * sizeof(uint32_t)));
  NameEntry* made = nullptr;  // entries in slot order, chained through `next` until linked
  NameEntry** tail = &made;
  for (uint32_t i = 0; i < o->slotCount; i++) {
    if (o->slots[i].key == kFreeSlot || o->slots[i].key == kUnnamedSlot) continue;
    *tail = newEntry(vm, atomName(vm, o->slots[i].key), i);
    tail = &(*tail)->next;
  }
  o->index = index;
  o->bucketCounts = counts;
  while (NameEntry* e = made) {
    made = e->next;
    link(o, bucketOf(e->name, e->length), e);
  }
}

void nameIndexAdd(ScriptVM* vm, ScriptObject* o, uint32_t slot) {
  if (!o->index || o->slots[slot].key == kUnnamedSlot) return;
  NameEntry* e = newEntry(vm, atomName(vm, o->slots[slot].key), slot);
  link(o, bucketOf(e->name, e->length), e);
}

void nameIndexRemove(ScriptVM* vm, ScriptObject* o, uint32_t slot) {
  if (!o->index || o->slots[slot].key == kUnnamedSlot) return;
  std::string_view name = atomName(vm, o->slots[slot].key);
  uint32_t bucket = bucketOf(name.data(), name.size());
  for (NameEntry** at = &o->index[bucket]; *at; at = &(*at)->next) {
    if ((*at)->slot == slot) {
      NameEntry* gone = *at;
      *at = gone->next;
      o->bucketCounts[bucket]--;
      heapFree(vm, gone);
      return;
    }
  }
}

int64_t nameIndexFind(const ScriptObject* o, const char* text, size_t length) {
  for (NameEntry* e = o->index[bucketOf(text, length)]; e; e = e->next) {
    if (e->length == length && std::memcmp(e->name, text, length) == 0) return e->slot;
  }
  return -1;
}

}  // namespace vorlo
