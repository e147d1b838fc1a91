// The dialect's operators on values: arithmetic on 64-bit wrapping integers and doubles with NaN as a
// kind of its own, bitwise operators and shifts, comparisons, equality and typeof. The VM calls these
// for the operator opcodes; each takes its operands by value and returns the result.
//
// Operands may be converted (toNumber, toStringValue, toPrimitive), and a conversion of an object may
// run script code and end with a collection: callers keep the operands rooted, as the VM does by
// leaving them on its stack until the result replaces them.
#pragma once
#include "engine/value.h"

namespace vorlo {

ScriptValue opAdd(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opSub(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opMul(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opDiv(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opMod(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opNeg(ScriptVM* vm, const ScriptValue& a);
ScriptValue opNot(const ScriptValue& a);

ScriptValue opAnd(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opOr(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opXor(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opShl(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opShr(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);
ScriptValue opUshr(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);

enum class Relation { Less, Greater, LessOrEqual, GreaterOrEqual };
// A boolean, or undefined when either side is NaN after conversion.
ScriptValue opCompare(ScriptVM* vm, Relation relation, const ScriptValue& a, const ScriptValue& b);

// === : no conversions.
bool strictEquals(const ScriptValue& a, const ScriptValue& b);
// == : with the dialect's conversions.
bool looseEquals(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b);

// A static string naming the kind: "undefined", "object", "boolean", "number", "string",
// "function", or "" for symbols and the internal kinds.
ScriptValue opTypeof(ScriptVM* vm, const ScriptValue& a);

}  // namespace vorlo
