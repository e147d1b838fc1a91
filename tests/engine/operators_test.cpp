#include <cmath>
#include <limits>

#include "engine/operators.h"
#include "tests/engine/engine_fixture.h"

namespace vorlo::test {
namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
const double kInf = std::numeric_limits<double>::infinity();

class OperatorTest : public EngineTest {
 protected:
  // A value written so that a failing case reads plainly.
  std::string show(const ScriptValue& v) {
    switch (v.kind) {
      case KindUndefined: return "undefined";
      case KindNull: return "null";
      case KindNaN: return "NaN";
      case KindBoolean: return v.asBool() ? "true" : "false";
      case KindInteger: return "int " + std::to_string(v.asInt());
      case KindFloat: {
        char b[64];
        std::snprintf(b, sizeof b, "float %.17g", v.asFloat());
        return b;
      }
      case KindString: return "'" + text(v) + "'";
      default: return "kind " + std::to_string(v.kind);
    }
  }
  ScriptValue I(int64_t i) { return ScriptValue::integer(i); }
  ScriptValue F(double d) { return ScriptValue::number(d); }
};

using Binary = ScriptValue (*)(ScriptVM*, const ScriptValue&, const ScriptValue&);

TEST_F(OperatorTest, Arithmetic) {
  struct Case {
    const char* what;
    Binary op;
    ScriptValue a, b;
    std::string expected;
  };
  ScriptValue nan = ScriptValue::nan();
  std::vector<Case> cases = {
      {"max + 1 wraps", opAdd, I(kMax), I(1), "int " + std::to_string(kMin)},
      {"int + float", opAdd, I(1), F(0.5), "float 1.5"},
      {"NaN + 1", opAdd, nan, I(1), "NaN"},
      {"strings join", opAdd, str("ab"), str("cd"), "'abcd'"},
      {"'5' - 1 converts", opSub, str("5"), I(1), "int 4"},
      {"min - 1 wraps", opSub, I(kMin), I(1), "int " + std::to_string(kMax)},
      {"int * int wraps", opMul, I(kMax), I(2), "int -2"},
      {"Infinity * 0", opMul, F(kInf), I(0), "NaN"},
      {"0 * -Infinity", opMul, I(0), F(-kInf), "NaN"},
      {"Infinity * 0.0", opMul, F(kInf), F(0.0), "NaN"},
      {"7 / 2 is a float", opDiv, I(7), I(2), "float 3.5"},
      {"6 / 3 is still a float", opDiv, I(6), I(3), "float 2"},
      {"1 / 0", opDiv, I(1), I(0), "float inf"},
      {"-1 / 0", opDiv, I(-1), I(0), "float -inf"},
      {"0 / 0", opDiv, I(0), I(0), "NaN"},
      {"Infinity / Infinity", opDiv, F(kInf), F(-kInf), "NaN"},
      {"-Infinity / 0", opDiv, F(-kInf), I(0), "float -inf"},
      {"7 % 2", opMod, I(7), I(2), "int 1"},
      {"-7 % 2 keeps the dividend's sign", opMod, I(-7), I(2), "int -1"},
      {"7 % 0", opMod, I(7), I(0), "NaN"},
      {"min % -1 does not trap", opMod, I(kMin), I(-1), "int 0"},
      {"5.5 % 2", opMod, F(5.5), I(2), "float 1.5"},
      {"Infinity % 2", opMod, F(kInf), I(2), "NaN"},
      {"5 % Infinity", opMod, I(5), F(kInf), "int 5"},
      {"0.0 % 5", opMod, F(0.0), I(5), "float 0"},
      {"5 % 0.0", opMod, I(5), F(0.0), "NaN"},
      {"'9' % 4 converts", opMod, str("9"), I(4), "int 1"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(c.op(vm, c.a, c.b)), c.expected) << c.what;
  EXPECT_EQ(show(opNeg(vm, I(kMin))), "int " + std::to_string(kMin));
  EXPECT_EQ(show(opNeg(vm, F(2.5))), "float -2.5");
  EXPECT_EQ(show(opNeg(vm, nan)), "NaN");
  EXPECT_EQ(show(opNeg(vm, str("3"))), "int -3");
  EXPECT_EQ(show(opNot(I(0))), "true");
  EXPECT_EQ(show(opNot(str("x"))), "false");
}

TEST_F(OperatorTest, BitsAndShifts) {
  struct Case {
    const char* what;
    Binary op;
    ScriptValue a, b;
    std::string expected;
  };
  std::vector<Case> cases = {
      {"and", opAnd, I(12), I(10), "int 8"},
      {"or", opOr, I(12), I(10), "int 14"},
      {"xor", opXor, I(12), I(10), "int 6"},
      {"and converts floats", opAnd, F(7.9), I(3), "int 3"},
      {"1 << 63", opShl, I(1), I(63), "int " + std::to_string(kMin)},
      {"1 << 64 is 0", opShl, I(1), I(64), "int 0"},
      {"1 << 256 counts only the low 8 bits", opShl, I(1), I(256), "int 1"},
      {"-8 >> 1 keeps the sign", opShr, I(-8), I(1), "int -4"},
      {"-1 >> 70", opShr, I(-1), I(70), "int -1"},
      {"5 >> 70", opShr, I(5), I(70), "int 0"},
      {"-1 >>> 1", opUshr, I(-1), I(1), "int " + std::to_string(kMax)},
      {"-1 >>> 0", opUshr, I(-1), I(0), "int -1"},
      {"2.5 << 1.9 converts both", opShl, F(2.5), F(1.9), "int 4"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(c.op(vm, c.a, c.b)), c.expected) << c.what;
}

TEST_F(OperatorTest, Comparisons) {
  struct Case {
    const char* what;
    Relation r;
    ScriptValue a, b;
    const char* expected;
  };
  ScriptValue nan = ScriptValue::nan();
  std::vector<Case> cases = {
      {"NaN < 1", Relation::Less, nan, I(1), "undefined"},
      {"1 >= NaN", Relation::GreaterOrEqual, I(1), nan, "undefined"},
      {"'ab' < 'abc'", Relation::Less, str("ab"), str("abc"), "true"},
      {"'b' > 'abc'", Relation::Greater, str("b"), str("abc"), "true"},
      {"'a' <= 'a'", Relation::LessOrEqual, str("a"), str("a"), "true"},
      {"-1 < 1 as signed", Relation::Less, I(-1), I(1), "true"},
      {"max > min", Relation::Greater, I(kMax), I(kMin), "true"},
      {"1 < 1.5", Relation::Less, I(1), F(1.5), "true"},
      {"'10' < 9 compares numbers", Relation::Less, str("10"), I(9), "false"},
      {"'abc' < 1 is NaN", Relation::Less, str("abc"), I(1), "undefined"},
      {"2 >= 2.0", Relation::GreaterOrEqual, I(2), F(2.0), "true"},
  };
  for (const auto& c : cases) EXPECT_EQ(show(opCompare(vm, c.r, c.a, c.b)), c.expected) << c.what;
}

TEST_F(OperatorTest, Equality) {
  ScriptValue arr1 = newObjectValue(), arr2 = newObjectValue();
  ScriptValue nan = ScriptValue::nan();
  struct Case {
    const char* what;
    ScriptValue a, b;
    bool strict, loose;
  };
  std::vector<Case> cases = {
      {"1 and 1.0", I(1), F(1.0), true, true},
      {"'a' and 'a'", str("a"), str("a"), true, true},
      {"1 and '1'", I(1), str("1"), false, true},
      {"true and 1", ScriptValue::boolean(true), I(1), false, true},
      {"null and undefined", ScriptValue::null(), ScriptValue::undefined(), false, true},
      {"null and null", ScriptValue::null(), ScriptValue::null(), true, true},
      {"null and 0", ScriptValue::null(), I(0), false, false},
      {"NaN and NaN", nan, nan, false, false},
      {"'x' and NaN-ish text", str("x"), I(0), false, false},
      {"two objects", arr1, arr2, false, false},
      {"one object", arr1, arr1, true, true},
      {"a symbol and itself", ScriptValue::symbol(7), ScriptValue::symbol(7), false, true},
      {"two symbols", ScriptValue::symbol(7), ScriptValue::symbol(8), false, false},
      {"0.1+0.2 and 0.3", F(0.1 + 0.2), F(0.3), false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(strictEquals(c.a, c.b), c.strict) << "=== " << c.what;
    EXPECT_EQ(looseEquals(vm, c.a, c.b), c.loose) << "== " << c.what;
  }
}

TEST_F(OperatorTest, Typeof) {
  struct Case {
    ScriptValue v;
    const char* expected;
  };
  std::vector<Case> cases = {{ScriptValue::undefined(), "undefined"}, {ScriptValue::null(), "object"},
                             {newObjectValue(), "object"},            {ScriptValue::boolean(false), "boolean"},
                             {I(1), "number"},                        {F(1.5), "number"},
                             {ScriptValue::nan(), "number"},          {str("s"), "string"},
                             {ScriptValue::symbol(3), ""}};
  for (const auto& c : cases) EXPECT_EQ(text(opTypeof(vm, c.v)), c.expected) << show(c.v);
}

}  // namespace
}  // namespace vorlo::test
