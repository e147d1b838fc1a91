// The element storage of arrays: a dense run of slots from index 0 (holes marked) and a sorted
// table of sparse elements beyond it. All blocks live in the collected heap; the Array class marks
// them.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/array.h"
#include "engine/value.h"

namespace vorlo {

// Elements in index order.
using ElementList = std::vector<std::pair<uint64_t, ScriptValue>>;

bool storeGet(const ScriptArray* array, uint64_t index, ScriptValue* out);
void storeSet(ScriptVM* vm, ScriptArray* array, uint64_t index, const ScriptValue& value);
void storeRemove(ScriptArray* array, uint64_t index);
// Removes every element at or beyond `length` (the array's length is not changed).
void storeTruncate(ScriptArray* array, uint64_t length);
// The present elements in index order (optionally only those in [from, to)).
ElementList storeElements(const ScriptArray* array, uint64_t from = 0, uint64_t to = UINT64_MAX);
// Removes every element.
void storeClear(ScriptArray* array);
// Replaces every element with `elements` (index order not required).
void storeReplace(ScriptVM* vm, ScriptArray* array, const ElementList& elements);
void storeMark(ScriptVM* vm, ScriptArray* array);

}  // namespace vorlo
