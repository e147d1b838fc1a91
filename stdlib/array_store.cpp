#include "stdlib/array_store.h"

#include <algorithm>

#include "engine/gc.h"
#include "engine/heap.h"

namespace vorlo {
namespace {

// A kind no value has: marks a hole in the dense run.
constexpr uint32_t kHole = 0xFFFFu;
// The dense run grows to at most this many slots; elements beyond go to the sparse table.
constexpr uint64_t kDenseLimit = uint64_t(1) << 24;

struct SparseEntry {
  uint64_t index;
  uint64_t reserved;  // keeps the value 8-byte aligned on every target
  ScriptValue value;
};

struct ArrayStore {
  ScriptValue* dense;
  SparseEntry* sparse;
  uint32_t denseCapacity;
  uint32_t sparseCount;
  uint32_t sparseCapacity;
  uint32_t reserved;
};

ArrayStore* storeOf(const ScriptArray* a) { return static_cast<ArrayStore*>(a->elements); }

ArrayStore* ensureStore(ScriptVM* vm, ScriptArray* a) {
  if (!a->elements) a->elements = heapAlloc(vm, sizeof(ArrayStore));
  return storeOf(a);
}

// First sparse entry whose index is not below `index`.
uint32_t sparseLowerBound(const ArrayStore* s, uint64_t index) {
  const SparseEntry* begin = s->sparse;
  const SparseEntry* end = begin + s->sparseCount;
  return static_cast<uint32_t>(
      std::lower_bound(begin, end, index, [](const SparseEntry& e, uint64_t i) { return e.index < i; }) -
      s->sparse);
}

void growDense(ScriptVM* vm, ArrayStore* s, uint64_t capacity) {
  auto* dense = static_cast<ScriptValue*>(heapResize(vm, s->dense, capacity * sizeof(ScriptValue)));
  for (uint64_t i = s->denseCapacity; i < capacity; i++) dense[i] = ScriptValue::make(kHole, 0);
  s->dense = dense;
  s->denseCapacity = static_cast<uint32_t>(capacity);
  // Sparse elements now inside the dense run move there.
  uint32_t moved = 0;
  while (moved < s->sparseCount && s->sparse[moved].index < capacity) {
    dense[s->sparse[moved].index] = s->sparse[moved].value;
    moved++;
  }
  if (moved) {
    std::move(s->sparse + moved, s->sparse + s->sparseCount, s->sparse);
    s->sparseCount -= moved;
  }
}

void sparseInsert(ScriptVM* vm, ArrayStore* s, uint64_t index, const ScriptValue& value) {
  uint32_t at = sparseLowerBound(s, index);
  if (at < s->sparseCount && s->sparse[at].index == index) {
    s->sparse[at].value = value;
    return;
  }
  if (s->sparseCount == s->sparseCapacity) {
    uint32_t capacity = s->sparseCapacity ? s->sparseCapacity * 2 : 4;
    s->sparse = static_cast<SparseEntry*>(heapResize(vm, s->sparse, size_t(capacity) * sizeof(SparseEntry)));
    s->sparseCapacity = capacity;
  }
  std::move_backward(s->sparse + at, s->sparse + s->sparseCount, s->sparse + s->sparseCount + 1);
  s->sparse[at] = SparseEntry{index, 0, value};
  s->sparseCount++;
}

}  // namespace

bool storeGet(const ScriptArray* a, uint64_t index, ScriptValue* out) {
  const ArrayStore* s = storeOf(a);
  if (!s) return false;
  if (index < s->denseCapacity) {
    if (s->dense[index].kind == kHole) return false;
    *out = s->dense[index];
    return true;
  }
  uint32_t at = sparseLowerBound(s, index);
  if (at == s->sparseCount || s->sparse[at].index != index) return false;
  *out = s->sparse[at].value;
  return true;
}

void storeSet(ScriptVM* vm, ScriptArray* a, uint64_t index, const ScriptValue& value) {
  ArrayStore* s = ensureStore(vm, a);
  if (index < s->denseCapacity) {
    s->dense[index] = value;
    return;
  }
  // Grow the dense run when the index lies close to its end (appending stays amortised).
  uint64_t doubled = std::max<uint64_t>(8, uint64_t(s->denseCapacity) * 2);
  if (index < doubled && index < kDenseLimit) {
    growDense(vm, s, std::min<uint64_t>(std::max<uint64_t>(doubled, index + 1), kDenseLimit));
    s->dense[index] = value;
    return;
  }
  sparseInsert(vm, s, index, value);
}

void storeRemove(ScriptArray* a, uint64_t index) {
  ArrayStore* s = storeOf(a);
  if (!s) return;
  if (index < s->denseCapacity) {
    s->dense[index] = ScriptValue::make(kHole, 0);
    return;
  }
  uint32_t at = sparseLowerBound(s, index);
  if (at == s->sparseCount || s->sparse[at].index != index) return;
  std::move(s->sparse + at + 1, s->sparse + s->sparseCount, s->sparse + at);
  s->sparseCount--;
}

void storeTruncate(ScriptArray* a, uint64_t length) {
  ArrayStore* s = storeOf(a);
  if (!s) return;
  for (uint64_t i = length; i < s->denseCapacity; i++) s->dense[i] = ScriptValue::make(kHole, 0);
  s->sparseCount = sparseLowerBound(s, length);
}

ElementList storeElements(const ScriptArray* a, uint64_t from, uint64_t to) {
  ElementList out;
  const ArrayStore* s = storeOf(a);
  if (!s || from >= to) return out;
  for (uint64_t i = from; i < s->denseCapacity && i < to; i++) {
    if (s->dense[i].kind != kHole) out.emplace_back(i, s->dense[i]);
  }
  for (uint32_t j = sparseLowerBound(s, from); j < s->sparseCount && s->sparse[j].index < to; j++) {
    out.emplace_back(s->sparse[j].index, s->sparse[j].value);
  }
  return out;
}

void storeClear(ScriptArray* a) {
  ArrayStore* s = storeOf(a);
  if (!s) return;
  for (uint32_t i = 0; i < s->denseCapacity; i++) s->dense[i] = ScriptValue::make(kHole, 0);
  s->sparseCount = 0;
}

void storeReplace(ScriptVM* vm, ScriptArray* a, const ElementList& elements) {
  storeClear(a);
  for (const auto& [index, value] : elements) storeSet(vm, a, index, value);
}

void storeMark(ScriptVM* vm, ScriptArray* a) {
  ArrayStore* s = storeOf(a);
  if (!s) return;
  markBlock(vm, s);
  if (s->dense) markBlock(vm, s->dense);
  if (s->sparse) markBlock(vm, s->sparse);
  for (uint32_t i = 0; i < s->denseCapacity; i++) {
    if (s->dense[i].kind != kHole) markValue(vm, s->dense[i]);
  }
  for (uint32_t i = 0; i < s->sparseCount; i++) markValue(vm, s->sparse[i].value);
}

}  // namespace vorlo
