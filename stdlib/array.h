// The Array class and the element storage of array values. Arrays are sparse: a 64-bit length and a
// set of present elements keyed by index; an index below the length may be a hole.
#pragma once
#include <cstdint>

#include "engine/value.h"

namespace vorlo {

struct ScriptArray;

// A new array value of length `length` without elements (not rooted).
ScriptArray* newArray(ScriptVM* vm, uint64_t length);
inline ScriptValue newArrayValue(ScriptVM* vm, uint64_t length) {
  return ScriptValue::array(newArray(vm, length));
}
// The element at index, or false when it is absent (a hole, beyond the length or negative).
bool arrayGet(const ScriptArray* array, int64_t index, ScriptValue* out);
// Stores an element; the length grows to index + 1 when needed. Negative indices store nothing.
void arraySet(ScriptVM* vm, ScriptArray* array, int64_t index, const ScriptValue& value);
// Stores value at the array's length (the length grows by one).
void arrayAppend(ScriptVM* vm, ScriptArray* array, const ScriptValue& value);

void registerArray(ScriptVM* vm);

}  // namespace vorlo
