#include "engine/operators.h"

#include <cmath>
#include <cstring>

#include "engine/convert.h"
#include "engine/native.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/vm.h"

namespace vorlo {
namespace {

bool isNumberKind(const ScriptValue& v) { return v.kind == KindInteger || v.kind == KindFloat; }
double asDouble(const ScriptValue& v) { return numberAsDouble(v); }

// Integer arithmetic wraps at 64 bits: done on unsigned values, where overflow is defined.
int64_t wrapAdd(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) + static_cast<uint64_t>(b)); }
int64_t wrapSub(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) - static_cast<uint64_t>(b)); }
int64_t wrapMul(int64_t a, int64_t b) { return static_cast<int64_t>(static_cast<uint64_t>(a) * static_cast<uint64_t>(b)); }

// Both operands as numbers (integer, float or NaN); the first stays rooted while the second converts.
struct NumberPair {
  ScriptValue a, b;
  bool anyNaN() const { return a.kind == KindNaN || b.kind == KindNaN; }
  bool bothIntegers() const { return a.kind == KindInteger && b.kind == KindInteger; }
};

bool isNumberOrNaN(const ScriptValue& v) {
  return v.kind == KindInteger || v.kind == KindFloat || v.kind == KindNaN;
}

NumberPair numbers(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  if (isNumberOrNaN(a) && isNumberOrNaN(b)) return {a, b};  // nothing to convert, nothing to keep
  ValueRoots<2> keep(vm);
  keep[0] = a;
  keep[1] = b;
  ValueRoot first(vm, toNumber(vm, a));
  return {first.value, toNumber(vm, b)};
}

bool isZero(const ScriptValue& v) { return v.kind == KindInteger ? v.asInt() == 0 : v.asFloat() == 0.0; }
bool isInfinite(const ScriptValue& v) { return v.kind == KindFloat && std::isinf(v.asFloat()); }

std::u16string_view textOf(const ScriptValue& s) { return stringView(s.asString()); }

}  // namespace

ScriptValue opAdd(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  if (a.kind == KindInteger && b.kind == KindInteger) return ScriptValue::integer(wrapAdd(a.asInt(), b.asInt()));
  if (a.isString() || b.isString()) {
    ValueRoots<2> keep(vm);
    keep[0] = a;
    keep[1] = b;
    ValueRoot left(vm, toStringValue(vm, a));
    ValueRoot right(vm, toStringValue(vm, b));
    std::u16string_view l = textOf(left.value), r = textOf(right.value);
    ScriptString* joined = newStringBuffer(vm, l.size() + r.size());
    char16_t* out = mutableChars(joined);
    if (!l.empty()) std::memcpy(out, l.data(), l.size() * sizeof(char16_t));
    if (!r.empty()) std::memcpy(out + l.size(), r.data(), r.size() * sizeof(char16_t));
    return ScriptValue::string(joined);
  }
  NumberPair n = numbers(vm, a, b);
  if (n.anyNaN()) return ScriptValue::nan();
  if (n.bothIntegers()) return ScriptValue::integer(wrapAdd(n.a.asInt(), n.b.asInt()));
  return floatResult(asDouble(n.a) + asDouble(n.b));
}

ScriptValue opSub(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  if (a.kind == KindInteger && b.kind == KindInteger) return ScriptValue::integer(wrapSub(a.asInt(), b.asInt()));
  NumberPair n = numbers(vm, a, b);
  if (n.anyNaN()) return ScriptValue::nan();
  if (n.bothIntegers()) return ScriptValue::integer(wrapSub(n.a.asInt(), n.b.asInt()));
  return floatResult(asDouble(n.a) - asDouble(n.b));
}

ScriptValue opMul(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  if (a.kind == KindInteger && b.kind == KindInteger) return ScriptValue::integer(wrapMul(a.asInt(), b.asInt()));
  NumberPair n = numbers(vm, a, b);
  if (n.anyNaN()) return ScriptValue::nan();
  if (n.bothIntegers()) return ScriptValue::integer(wrapMul(n.a.asInt(), n.b.asInt()));
  if ((isInfinite(n.a) && isZero(n.b)) || (isZero(n.a) && isInfinite(n.b))) return ScriptValue::nan();
  return floatResult(asDouble(n.a) * asDouble(n.b));
}

ScriptValue opDiv(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  if (isNumberPair(a, b)) return divideNumbers(a, b);
  NumberPair n = numbers(vm, a, b);
  if (n.anyNaN()) return ScriptValue::nan();
  return divideNumbers(n.a, n.b);
}

ScriptValue opMod(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  if (a.kind == KindInteger && b.kind == KindInteger) return integerRemainder(a.asInt(), b.asInt());
  NumberPair n = numbers(vm, a, b);
  if (n.anyNaN() || isInfinite(n.a) || isZero(n.b)) return ScriptValue::nan();
  if (isInfinite(n.b) || isZero(n.a)) return n.a;
  if (n.bothIntegers()) return integerRemainder(n.a.asInt(), n.b.asInt());
  double x = asDouble(n.a), y = asDouble(n.b);
  return floatResult(x - y * std::trunc(x / y));
}

ScriptValue opNeg(ScriptVM* vm, const ScriptValue& a) {
  ScriptValue n = (a.kind == KindInteger || a.kind == KindFloat || a.kind == KindNaN) ? a : toNumber(vm, a);
  if (n.kind == KindInteger) return ScriptValue::integer(wrapSub(0, n.asInt()));
  if (n.kind == KindFloat) return ScriptValue::number(-n.asFloat());
  return ScriptValue::nan();
}

ScriptValue opNot(const ScriptValue& a) { return ScriptValue::boolean(!toBoolean(a)); }

namespace {
template <typename Op>
ScriptValue bitwise(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b, Op op) {
  if (a.kind == KindInteger && b.kind == KindInteger) return ScriptValue::integer(op(a.asInt(), b.asInt()));
  ValueRoots<2> keep(vm);
  keep[0] = a;
  keep[1] = b;
  int64_t x = toInt64(vm, a);
  return ScriptValue::integer(op(x, toInt64(vm, b)));
}
}  // namespace

ScriptValue opAnd(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  return bitwise(vm, a, b, [](int64_t x, int64_t y) { return x & y; });
}
ScriptValue opOr(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  return bitwise(vm, a, b, [](int64_t x, int64_t y) { return x | y; });
}
ScriptValue opXor(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  return bitwise(vm, a, b, [](int64_t x, int64_t y) { return x ^ y; });
}

ScriptValue opShl(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  if (a.kind == KindInteger && b.kind == KindInteger) {
    return ScriptValue::integer(shiftLeft(a.asInt(), static_cast<uint32_t>(b.asInt())));
  }
  ValueRoots<2> keep(vm);
  keep[0] = a;
  keep[1] = b;
  int64_t x = toInt64(vm, a);
  return ScriptValue::integer(shiftLeft(x, toInt32(vm, b)));
}

ScriptValue opShr(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  if (a.kind == KindInteger && b.kind == KindInteger) {
    return ScriptValue::integer(shiftRight(a.asInt(), static_cast<uint32_t>(b.asInt())));
  }
  ValueRoots<2> keep(vm);
  keep[0] = a;
  keep[1] = b;
  int64_t x = toInt64(vm, a);
  return ScriptValue::integer(shiftRight(x, toInt32(vm, b)));
}

ScriptValue opUshr(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  ValueRoots<2> keep(vm);
  keep[0] = a;
  keep[1] = b;
  uint64_t x = static_cast<uint64_t>(toInt64(vm, a));
  uint32_t count = toInt32(vm, b) & 0xFF;
  return ScriptValue::integer(static_cast<int64_t>(count >= 64 ? 0 : x >> count));
}

ScriptValue opCompare(ScriptVM* vm, Relation relation, const ScriptValue& a, const ScriptValue& b) {
  int order;  // <0, 0, >0
  if (a.isString() && b.isString()) {
    int c = textOf(a).compare(textOf(b));
    order = c < 0 ? -1 : c > 0 ? 1 : 0;
  } else if (a.kind == KindInteger && b.kind == KindInteger) {
    order = a.asInt() < b.asInt() ? -1 : a.asInt() > b.asInt() ? 1 : 0;
  } else {
    NumberPair n = numbers(vm, a, b);
    if (n.anyNaN()) return ScriptValue::undefined();
    if (n.bothIntegers()) {
      order = n.a.asInt() < n.b.asInt() ? -1 : n.a.asInt() > n.b.asInt() ? 1 : 0;
    } else {
      double x = asDouble(n.a), y = asDouble(n.b);
      switch (relation) {
        case Relation::Less: return ScriptValue::boolean(x < y);
        case Relation::Greater: return ScriptValue::boolean(x > y);
        case Relation::LessOrEqual: return ScriptValue::boolean(x <= y);
        case Relation::GreaterOrEqual: return ScriptValue::boolean(x >= y);
      }
    }
  }
  switch (relation) {
    case Relation::Less: return ScriptValue::boolean(order < 0);
    case Relation::Greater: return ScriptValue::boolean(order > 0);
    case Relation::LessOrEqual: return ScriptValue::boolean(order <= 0);
    case Relation::GreaterOrEqual: return ScriptValue::boolean(order >= 0);
  }
  return ScriptValue::undefined();
}

bool strictEquals(const ScriptValue& a, const ScriptValue& b) {
  if (a.kind != b.kind) return isNumberKind(a) && isNumberKind(b) && asDouble(a) == asDouble(b);
  switch (a.kind) {
    case KindUndefined:
    case KindNull: return true;
    case KindBoolean: return a.asBool() == b.asBool();
    case KindInteger: return a.asInt() == b.asInt();
    case KindFloat: return a.asFloat() == b.asFloat();
    case KindString: return textOf(a) == textOf(b);
    case KindArray:
    case KindObject:
    case KindFunction: return a.bits == b.bits;
    case KindNative: {
      const NativeObject* x = a.asNative();
      const NativeObject* y = b.asNative();
      return x->cls == y->cls && x->data == y->data;
    }
    default: return false;  // NaN, symbols and the internal kinds are never equal
  }
}

bool looseEquals(ScriptVM* vm, const ScriptValue& a, const ScriptValue& b) {
  auto nullish = [](const ScriptValue& v) { return v.kind == KindUndefined || v.kind == KindNull; };
  auto scalar = [](const ScriptValue& v) {
    return v.kind == KindString || v.kind == KindBoolean || v.kind == KindInteger || v.kind == KindFloat || v.kind == KindNaN;
  };
  if (nullish(a) || nullish(b)) return nullish(a) && nullish(b);
  if (a.kind == KindNaN || b.kind == KindNaN) return false;
  if (isNumberKind(a) && isNumberKind(b)) return asDouble(a) == asDouble(b);
  if (a.kind == b.kind) {
    if (a.kind == KindSymbol) return a.asAtom() == b.asAtom();
    return strictEquals(a, b);
  }
  if (scalar(a) && scalar(b)) {
    NumberPair n = numbers(vm, a, b);
    if (n.anyNaN()) return false;
    return asDouble(n.a) == asDouble(n.b);
  }
  if (a.kind == KindObject && scalar(b)) {
    ValueRoot keep(vm, b);
    return looseEquals(vm, toPrimitive(vm, a, PrimitiveHint::Number), b);
  }
  if (b.kind == KindObject && scalar(a)) {
    ValueRoot keep(vm, a);
    return looseEquals(vm, a, toPrimitive(vm, b, PrimitiveHint::Number));
  }
  return false;
}

ScriptValue opTypeof(ScriptVM* vm, const ScriptValue& a) {
  switch (a.kind) {
    case KindUndefined: return staticString(vm, u"undefined");
    case KindNull:
    case KindArray:
    case KindObject:
    case KindNative: return staticString(vm, u"object");
    case KindBoolean: return staticString(vm, u"boolean");
    case KindInteger:
    case KindFloat:
    case KindNaN: return staticString(vm, u"number");
    case KindString: return staticString(vm, u"string");
    case KindFunction: return staticString(vm, u"function");
    default: return staticString(vm, u"");
  }
}

}  // namespace vorlo
