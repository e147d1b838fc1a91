// Conversions between kinds, with their exact rules and error texts.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "engine/convert.h"
#include "engine/function.h"
#include "engine/number_reader.h"
#include "engine/roots.h"
#include "engine_fixture.h"

namespace vorlo::test {
namespace {

const double kInf = std::numeric_limits<double>::infinity();

// Stand-ins for the built-in classes, which arrive with the standard library: the value-kind class
// answers "toString" with "kind:<kind>", the Object class with "[object Object]" and "valueOf" with
// the object itself.
int kindToString(ScriptVM* vm, NativeClass*, void* self, Atom name, ScriptValue* result, const ScriptValue*) {
  if (name != vm->atoms.toString) return 0;
  std::string t = "kind:" + std::to_string(static_cast<ScriptValue*>(self)->kind);
  *result = ScriptValue::string(newStringFromAnsi(vm, t.data(), t.size()));
  return 1;
}
int objectClassMethod(ScriptVM* vm, NativeClass*, void* self, Atom name, ScriptValue* result, const ScriptValue*) {
  if (name == vm->atoms.toString) {
    *result = staticString(vm, u"[object Object]");
    return 1;
  }
  if (name == vm->atoms.valueOf) {
    *result = *static_cast<ScriptValue*>(self);
    return 1;
  }
  return 0;
}

// Script functions for the tests: a function's property object says what the call does. "result"
// is returned; "fail" makes the call fail; "collect" runs a collection first, as the end of every run
// does.
bool fakeCall(ScriptVM* vm, const ScriptValue&, const ScriptValue& function, const ScriptValue*, ScriptValue* result) {
  ScriptObject* props = function.asFunction()->props;
  ScriptValue v;
  if (objectGet(vm, props, intern(vm, "collect"), &v)) collectGarbage(vm);
  if (objectGet(vm, props, intern(vm, "fail"), &v)) return false;
  objectGet(vm, props, intern(vm, "result"), result);
  return true;
}

class ConvertTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    vm->hooks.callFunction = fakeCall;
  }
  void installKindClasses() {
    NativeClass* kinds = newNativeClass(vm);
    kinds->method = kindToString;
    for (Kind k : {KindBoolean, KindInteger, KindFloat, KindArray, KindFunction, KindNaN}) vm->kindClasses[k] = kinds;
    NativeClass* objects = newNativeClass(vm);
    objects->method = objectClassMethod;
    vm->kindClasses[KindObject] = objects;
  }
  // A script function whose call answers `result` (or fails when `fail`).
  ScriptValue scriptFunction(const ScriptValue& result, bool fail = false, bool collect = false) {
    FunctionValue* f = newFunctionValue(vm, nullptr);
    f->props = newObject(vm);
    objectSet(vm, f->props, atom("result"), result);
    if (fail) objectSet(vm, f->props, atom("fail"), ScriptValue::boolean(true));
    if (collect) objectSet(vm, f->props, atom("collect"), ScriptValue::boolean(true));
    return ScriptValue::function(f);
  }
  ScriptValue objectWith(const char* method, const ScriptValue& fn) {
    ScriptValue o = newObjectValue();
    objectSet(vm, o.asObject(), atom(method), fn);
    return o;
  }
  std::string runtimeError(const std::function<void()>& f) {
    try {
      f();
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), vm->message);
      return e.what();
    }
    return "(no error)";
  }
};

TEST(TextToNumber, StringRules) {
  struct Row {
    const char16_t* text;
    Kind kind;
    double value;
  } rows[] = {
      {u"", KindInteger, 0},
      {u"010", KindInteger, 8},
      {u"0x1F", KindInteger, 31},
      {u"0X1f", KindInteger, 31},
      {u"12abc", KindInteger, 12},
      {u"1.5", KindFloat, 1.5},
      {u"abc", KindNaN, 0},
      {u"99999999999999999999", KindFloat, 1e20},
      {u"  \t\n-42", KindInteger, -42},
      {u"+7", KindInteger, 7},
      {u"09", KindInteger, 0},  // octal: the reader stops at 9
      {u"1e3", KindFloat, 1000},
      {u"1d3", KindFloat, 1000},
      {u"1E-2", KindFloat, 0.01},
      {u"12.5abc", KindFloat, 12.5},
      {u".5", KindFloat, 0.5},
      {u"-.5", KindFloat, -0.5},
      {u"0x1F.8", KindFloat, 0},  // stops at '.', the whole text read as a decimal float: "0"
      {u"9223372036854775808", KindFloat, 9223372036854775808.0},
      {u"-9223372036854775808", KindFloat, -9223372036854775808.0},
      {u"0xFFFFFFFFFFFFFFFFF", KindFloat, 2.9514790517935283e+20},
      {u"1e999", KindFloat, kInf},
      {u"-1e999", KindFloat, -kInf},
      {u"1e-999", KindFloat, 0},
      {u" ", KindNaN, 0},
      {u"-", KindNaN, 0},
      {u"Infinity", KindNaN, 0},
      {u".", KindNaN, 0},
  };
  for (const Row& r : rows) {
    ScriptValue v = textToNumber(r.text);
    std::string label(r.text, r.text + std::char_traits<char16_t>::length(r.text));
    ASSERT_EQ(v.kind, uint32_t(r.kind)) << '"' << label << '"';
    if (r.kind == KindInteger) {
      EXPECT_EQ(v.asInt(), static_cast<int64_t>(r.value)) << label;
    }
    if (r.kind == KindFloat) {
      EXPECT_EQ(v.asFloat(), r.value) << label;
    }
  }
  EXPECT_EQ(textToNumber(u"9223372036854775807").asInt(), INT64_MAX);
  EXPECT_EQ(textToNumber(u"-9223372036854775807").asInt(), -INT64_MAX);
}

TEST(IntegerReader, ExplicitRadixAndStopPosition) {
  IntegerScan s = scanInteger(u"  ff zz", 16);
  EXPECT_TRUE(s.found);
  EXPECT_EQ(s.value, 255);
  EXPECT_EQ(s.end, 4u);
  EXPECT_EQ(scanInteger(u"0x10", 16).value, 16);
  EXPECT_EQ(scanInteger(u"z", 36).value, 35);
  EXPECT_FALSE(scanInteger(u"2", 2).found);
}

TEST_F(ConvertTest, ToNumberOfEveryKind) {
  EXPECT_EQ(toNumber(vm, ScriptValue::null()).asInt(), 0);
  EXPECT_EQ(toNumber(vm, ScriptValue::null()).kind, uint32_t(KindInteger));
  EXPECT_EQ(toNumber(vm, ScriptValue::boolean(true)).asInt(), 1);
  EXPECT_EQ(toNumber(vm, ScriptValue::boolean(false)).kind, uint32_t(KindInteger));
  EXPECT_EQ(toNumber(vm, ScriptValue::integer(-5)).asInt(), -5);
  EXPECT_EQ(toNumber(vm, ScriptValue::number(2.5)).asFloat(), 2.5);
  EXPECT_EQ(toNumber(vm, str("0x1F")).asInt(), 31);
  for (ScriptValue v : {ScriptValue::undefined(), ScriptValue::nan(), ScriptValue::symbol(3),
                        ScriptValue::make(KindFrameLink, 0), ScriptValue::make(KindFrameInfo, 0)})
    EXPECT_EQ(toNumber(vm, v).kind, uint32_t(KindNaN)) << v.kind;
  installKindClasses();
  // Objects: valueOf first; a non-primitive answer falls back to the text, which reads as NaN here.
  EXPECT_EQ(toNumber(vm, objectWith("valueOf", scriptFunction(ScriptValue::integer(5)))).asInt(), 5);
  EXPECT_EQ(toNumber(vm, objectWith("toString", scriptFunction(str("12")))).asInt(), 12);
  EXPECT_EQ(toNumber(vm, newObjectValue()).kind, uint32_t(KindNaN));
}

TEST_F(ConvertTest, ToBooleanFollowsTruthiness) {
  struct Row {
    ScriptValue v;
    bool expected;
  } rows[] = {{ScriptValue::undefined(), false}, {ScriptValue::null(), false},
              {ScriptValue::boolean(true), true}, {ScriptValue::make(KindBoolean, 0x100000000ull), false},
              {ScriptValue::integer(0), false},   {ScriptValue::integer(INT64_MIN), true},
              {str(""), false},                   {str("0"), true},
              {ScriptValue::number(0.0), false},  {ScriptValue::number(-0.0), false},
              {ScriptValue::number(0.1), true},   {newObjectValue(), true},
              {ScriptValue::symbol(1), false},    {ScriptValue::nan(), false},
              {ScriptValue::make(KindFrameLink, 5), false}};
  for (const Row& r : rows) EXPECT_EQ(toBoolean(r.v), r.expected) << "kind " << r.v.kind;
  EXPECT_TRUE(toBoolean(ScriptValue::function(newFunctionValue(vm, nullptr))));
}

TEST_F(ConvertTest, ToInt32AndToInt64TakeLowBitsOfTheTruncation) {
  struct Row {
    ScriptValue v;
    uint32_t i32;
    int64_t i64;
  } rows[] = {
      {ScriptValue::integer(0x100000005LL), 5u, 0x100000005LL},
      {ScriptValue::integer(-1), 0xFFFFFFFFu, -1},
      {ScriptValue::number(3.9), 3u, 3},
      {ScriptValue::number(-3.9), 0xFFFFFFFDu, -3},
      {ScriptValue::number(kInf), 0u, 0},
      {ScriptValue::number(-kInf), 0u, 0},
      {ScriptValue::number(4294967296.0 + 7), 7u, 4294967303LL},
      {ScriptValue::number(1e20), 1661992960u, 7766279631452241920LL},
      {ScriptValue::number(-1e20), static_cast<uint32_t>(-1661992960LL), -7766279631452241920LL},
      {ScriptValue::number(9223372036854775808.0), 0u, INT64_MIN},
      {ScriptValue::nan(), 0u, 0},
      {ScriptValue::undefined(), 0u, 0},
      {ScriptValue::boolean(true), 1u, 1},
      {ScriptValue::null(), 0u, 0},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(toInt32(vm, r.v), r.i32) << "kind " << r.v.kind << " bits " << r.v.bits;
    EXPECT_EQ(toInt64(vm, r.v), r.i64) << "kind " << r.v.kind << " bits " << r.v.bits;
  }
  EXPECT_EQ(toInt32(vm, str("0x10")), 16u);
  EXPECT_EQ(toInt64(vm, str("2.9")), 2);
}

TEST_F(ConvertTest, ToStringOfNullIsUndefined) {
  for (ScriptValue v : {ScriptValue::null(), ScriptValue::undefined()}) {
    ScriptValue s = toStringValue(vm, v);
    EXPECT_EQ(text(s), "undefined");
    EXPECT_TRUE(isStatic(s.asString()));
  }
  EXPECT_EQ(text(toStringValue(vm, ScriptValue::symbol(atom("someName")))), "someName");
  EXPECT_EQ(text(toStringValue(vm, ScriptValue::symbol(123456))), "???");
  ScriptValue s = str("same");
  EXPECT_EQ(toStringValue(vm, s).asString(), s.asString());
  EXPECT_EQ(text(toStringValue(vm, ScriptValue::make(KindFrameInfo, 0))), "unknown");
}

TEST_F(ConvertTest, ValueKindsAreConvertedByTheClassServingTheirKind) {
  // Before the built-in classes are registered there is nobody to ask.
  EXPECT_THROW(toStringValue(vm, ScriptValue::integer(1)), std::logic_error);
  installKindClasses();
  EXPECT_EQ(text(toStringValue(vm, ScriptValue::integer(42))), "kind:3");
  EXPECT_EQ(text(toStringValue(vm, ScriptValue::number(1.5))), "kind:5");
  EXPECT_EQ(text(toStringValue(vm, ScriptValue::nan())), "kind:13");
  EXPECT_EQ(text(toStringValue(vm, ScriptValue::boolean(true))), "kind:2");
  EXPECT_EQ(text(toStringValue(vm, ScriptValue::function(newFunctionValue(vm, nullptr)))), "kind:12");
}

TEST_F(ConvertTest, ObjectToStringUsesItsMethodOrGivesObject) {
  EXPECT_EQ(text(toStringValue(vm, newObjectValue())), "object");  // no Object class yet
  installKindClasses();
  EXPECT_EQ(text(toStringValue(vm, newObjectValue())), "[object Object]");
  EXPECT_EQ(text(toStringValue(vm, objectWith("toString", scriptFunction(str("custom"))))), "custom");
  // Found through the prototype chain.
  ScriptValue proto = objectWith("toString", scriptFunction(str("inherited")));
  ScriptValue child = newObjectValue();
  objectSet(vm, child.asObject(), vm->atoms.proto, proto);
  EXPECT_EQ(text(toStringValue(vm, child)), "inherited");
  // A result that is not a string, a failed call or a method that is not a function: "object".
  EXPECT_EQ(text(toStringValue(vm, objectWith("toString", scriptFunction(ScriptValue::integer(1))))), "object");
  EXPECT_EQ(text(toStringValue(vm, objectWith("toString", scriptFunction(str("x"), true)))), "object");
  EXPECT_EQ(text(toStringValue(vm, objectWith("toString", ScriptValue::integer(3)))), "object");
  // Without an interpreter no script function can run.
  vm->hooks.callFunction = nullptr;
  EXPECT_EQ(text(toStringValue(vm, objectWith("toString", scriptFunction(str("custom"))))), "object");
}

TEST_F(ConvertTest, NativeObjectsConvertThroughTheirClassMethod) {
  NativeClass* plain = newNativeClass(vm);
  ScriptValue bare = ScriptValue::native(newNativeObject(vm, plain, nullptr));
  EXPECT_EQ(text(toStringValue(vm, bare)), "object");
  EXPECT_EQ(runtimeError([&] { toPrimitive(vm, bare, PrimitiveHint::String); }),
            "Runtime error: Can't convert to primitive type");
  EXPECT_EQ(runtimeError([&] { toPrimitive(vm, bare, PrimitiveHint::Number); }),
            "Runtime error: Can't convert to primitive type");

  NativeClass* named = newNativeClass(vm);
  named->method = [](ScriptVM* vm, NativeClass*, void* self, Atom name, ScriptValue* result, const ScriptValue*) {
    if (name != vm->atoms.toString) return 0;
    *result = staticString(vm, u"[object Named]");
    return self ? 1 : 0;  // only instances with data answer
  };
  int data = 0;
  ScriptValue instance = ScriptValue::native(newNativeObject(vm, named, &data));
  EXPECT_EQ(text(toStringValue(vm, instance)), "[object Named]");
  EXPECT_EQ(text(toPrimitive(vm, instance, PrimitiveHint::String)), "[object Named]");
  EXPECT_EQ(text(toPrimitive(vm, instance, PrimitiveHint::Number)), "[object Named]");  // no valueOf
  ScriptValue classObject = ScriptValue::native(newNativeObject(vm, named, nullptr));
  EXPECT_EQ(text(toStringValue(vm, classObject)), "object");
  EXPECT_EQ(runtimeError([&] { toPrimitive(vm, classObject, PrimitiveHint::String); }),
            "Runtime error: Can't convert to primitive type");

  // A class object answering valueOf with itself must not send toNumber round for ever.
  NativeClass* selfish = newNativeClass(vm);
  selfish->method = [](ScriptVM* vm, NativeClass*, void*, Atom name, ScriptValue* result, const ScriptValue*) {
    if (name != vm->atoms.valueOf) return 0;
    *result = vm->result;  // the instance, parked there by the test
    return 1;
  };
  vm->result = ScriptValue::native(newNativeObject(vm, selfish, nullptr));
  EXPECT_EQ(toNumber(vm, vm->result).kind, uint32_t(KindNaN));
}

TEST_F(ConvertTest, ToPrimitiveRules) {
  installKindClasses();
  for (ScriptValue v : {ScriptValue::undefined(), ScriptValue::null(), ScriptValue::boolean(true),
                        ScriptValue::integer(3), ScriptValue::number(1.5), ScriptValue::nan(), str("s")}) {
    ScriptValue p = toPrimitive(vm, v, PrimitiveHint::String);
    EXPECT_EQ(p.kind, v.kind);
    EXPECT_EQ(p.bits, v.bits);
  }
  // Hint string: toString when primitive, else valueOf when primitive, else an error.
  ScriptValue both = objectWith("toString", scriptFunction(str("text")));
  objectSet(vm, both.asObject(), atom("valueOf"), scriptFunction(ScriptValue::integer(7)));
  EXPECT_EQ(text(toPrimitive(vm, both, PrimitiveHint::String)), "text");
  EXPECT_EQ(toPrimitive(vm, both, PrimitiveHint::Number).asInt(), 7);
  ScriptValue objectText = objectWith("toString", scriptFunction(newObjectValue()));
  objectSet(vm, objectText.asObject(), atom("valueOf"), scriptFunction(ScriptValue::boolean(true)));
  EXPECT_EQ(toPrimitive(vm, objectText, PrimitiveHint::String).kind, uint32_t(KindBoolean));
  ScriptValue neither = objectWith("toString", scriptFunction(newObjectValue()));
  EXPECT_EQ(runtimeError([&] { toPrimitive(vm, neither, PrimitiveHint::String); }),
            "Runtime error: Can't convert to primitive type");
  // Hint number: valueOf when primitive, else the string conversion (which never fails).
  EXPECT_EQ(text(toPrimitive(vm, neither, PrimitiveHint::Number)), "object");
  EXPECT_EQ(text(toPrimitive(vm, newObjectValue(), PrimitiveHint::Number)), "[object Object]");
  // Arrays and functions become text; symbols and frame kinds cannot be converted.
  EXPECT_EQ(text(toPrimitive(vm, ScriptValue::function(newFunctionValue(vm, nullptr)), PrimitiveHint::Number)),
            "kind:12");
  for (ScriptValue v : {ScriptValue::symbol(1), ScriptValue::make(KindFrameLink, 0)})
    EXPECT_EQ(runtimeError([&] { toPrimitive(vm, v, PrimitiveHint::Number); }),
              "Runtime error: Can't convert to primitive type");
}

TEST_F(ConvertTest, ToObjectCopiesStringsAndRefusesEmptyValues) {
  ScriptValue original = staticString(vm, u"abc");
  ScriptValue copy = toObject(vm, original);
  ASSERT_TRUE(copy.isString());
  EXPECT_NE(copy.asString(), original.asString());
  EXPECT_FALSE(isStatic(copy.asString()));
  EXPECT_EQ(text(copy), "abc");
  mutableChars(copy.asString())[0] = u'X';
  EXPECT_EQ(text(original), "abc");
  ScriptValue empty = toObject(vm, str(""));
  EXPECT_EQ(empty.asString()->chars, nullptr);
  ScriptValue o = newObjectValue();
  for (ScriptValue v : {ScriptValue::boolean(false), ScriptValue::integer(1), ScriptValue::number(2), o,
                        ScriptValue::nan()})
    EXPECT_EQ(toObject(vm, v).bits, v.bits);
  for (ScriptValue v : {ScriptValue::undefined(), ScriptValue::null(), ScriptValue::symbol(0)})
    EXPECT_EQ(runtimeError([&] { toObject(vm, v); }), "Runtime error: Can't convert to object");
}

TEST_F(ConvertTest, TheReceiverSurvivesTheCollectionThatEndsAScriptCall) {
  installKindClasses();
  ScriptValue o = objectWith("toString", scriptFunction(str("after collection"), false, true));
  ScriptObject* record = o.asObject();
  // Nothing but the conversion itself refers to the object or its method.
  ScriptValue s = toStringValue(vm, o);
  EXPECT_TRUE(isLiveBlock(record));
  EXPECT_TRUE(isLiveBlock(record->slots[0].value.asFunction()));
  EXPECT_EQ(text(s), "after collection");
  collectGarbage(vm);
  EXPECT_FALSE(isLiveBlock(record));
}

}  // namespace
}  // namespace vorlo::test
