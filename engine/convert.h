// Conversions between value kinds. Conversions of objects and native objects call their "toString"
// and "valueOf" methods; a call that runs script code ends with a collection, so callers keep any
// other value they still need in a scoped root (roots.h). The input value is kept alive by the
// conversion itself; the result is not rooted.
#pragma once
#include <cstdint>

#include "engine/value.h"

namespace vorlo {

enum class PrimitiveHint { String, Number };

bool toBoolean(const ScriptValue& value);
// An integer, float or NaN value.
ScriptValue toNumber(ScriptVM* vm, const ScriptValue& value);
// The low 32 bits of the number, zero-extended.
uint32_t toInt32(ScriptVM* vm, const ScriptValue& value);
int64_t toInt64(ScriptVM* vm, const ScriptValue& value);
// Always a string value.
ScriptValue toStringValue(ScriptVM* vm, const ScriptValue& value);
ScriptValue toPrimitive(ScriptVM* vm, const ScriptValue& value, PrimitiveHint hint);
ScriptValue toObject(ScriptVM* vm, const ScriptValue& value);

// Calls the method `name` of a value with an empty ArgList as the conversions do: a native object's
// class `method` slot; an object's property (prototype chain) when it is a function, or the Object
// class's `method` slot when there is no such property; for other kinds the `method` slot of the class
// serving the kind. True with the result when the method exists and the call completed.
bool callConversionMethod(ScriptVM* vm, const ScriptValue& receiver, Atom name, ScriptValue* result);

// Truncation toward zero of a finite double, wrapped to 64 bits (the low 64 bits of the integer).
int64_t truncateToInt64(double d);

}  // namespace vorlo
