// The dialect's operators on values: arithmetic on 64-bit wrapping integers and doubles with NaN as a
// kind of its own, bitwise operators and shifts, comparisons, equality and typeof. The VM calls these
// for the operator opcodes; each takes its operands by value and returns the result.
//
// Operands may be converted (toNumber, toStringValue, toPrimitive), and a conversion of an object may
// run script code and end with a collection: callers keep the operands rooted, as the VM does by
// leaving them on its stack until the result replaces them.
#pragma once
#include <cmath>

#include "engine/sanitizer.h"
#include "engine/value.h"

namespace vorlo {

// --- the number cores: operands that are already integers or floats need no conversion ---
// The interpreter takes these inline; the operator functions below use the same ones, so both give
// the same results.
#if defined(__GNUC__) && !defined(VORLO_ADDRESS_SANITIZER)
#define VORLO_NUMBER_CORE inline __attribute__((always_inline))
#else
#define VORLO_NUMBER_CORE inline
#endif

VORLO_NUMBER_CORE bool isNumberPair(const ScriptValue& a, const ScriptValue& b) {
  return (a.kind == KindInteger || a.kind == KindFloat) && (b.kind == KindInteger || b.kind == KindFloat);
}
VORLO_NUMBER_CORE double numberAsDouble(const ScriptValue& v) {
  return v.kind == KindInteger ? static_cast<double>(v.asInt()) : v.asFloat();
}
// A NaN produced by float arithmetic is the NaN kind, never a float holding NaN.
VORLO_NUMBER_CORE ScriptValue floatResult(double d) {
  // A branch rather than a select: NaN is rare, and the result then does not wait for the test.
  if (std::isnan(d)) [[unlikely]] {
#if defined(__GNUC__)
    asm volatile("");  // keeps the compiler from turning the branch back into a select
#endif
    return ScriptValue::nan();
  }
  return ScriptValue::number(d);
}
// Division of two numbers: always a float (or NaN); an infinity divided by zero keeps that infinity.
VORLO_NUMBER_CORE ScriptValue divideNumbers(const ScriptValue& a, const ScriptValue& b) {
  double x = numberAsDouble(a), y = numberAsDouble(b);
  bool aInfinite = a.kind == KindFloat && std::isinf(x), bInfinite = b.kind == KindFloat && std::isinf(y);
  if (aInfinite && bInfinite) return ScriptValue::nan();
  if (aInfinite && y == 0.0) return a;
  if (x == 0.0 && y == 0.0) return ScriptValue::nan();
  return floatResult(x / y);
}
// The remainder of two integers: NaN for a zero divisor, the sign of the dividend otherwise.
VORLO_NUMBER_CORE ScriptValue integerRemainder(int64_t x, int64_t y) {
  if (y == 0) return ScriptValue::nan();
  if (y == -1) return ScriptValue::integer(0);  // the one quotient that overflows
  return ScriptValue::integer(x % y);
}
// Shifts count by the low 8 bits of the count; 64 or more shifts everything out.
VORLO_NUMBER_CORE int64_t shiftLeft(int64_t v, uint64_t count) {
  count &= 0xFF;
  return count >= 64 ? 0 : static_cast<int64_t>(static_cast<uint64_t>(v) << count);
}
VORLO_NUMBER_CORE int64_t shiftRight(int64_t v, uint64_t count) {
  count &= 0xFF;
  if (count >= 64) return v < 0 ? -1 : 0;
  return v >> count;  // arithmetic on every compiler this builds with (and defined since C++20)
}

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
