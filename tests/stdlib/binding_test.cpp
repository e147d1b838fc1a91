// Native classes bound through member tables, and the property and element rules around them, on
// every value kind.
#include <string>
#include <vector>

#include "engine/convert.h"
#include "engine/function.h"
#include "engine/gc.h"
#include "engine/properties.h"
#include "engine/roots.h"
#include "engine/trace.h"
#include "stdlib/binding.h"
#include "tests/engine/engine_fixture.h"
#include "util/platform.h"
#include "util/text.h"

namespace vorlo::test {
namespace {

struct Gadget {
  int64_t count = 0;
  std::string label = "plain";
  EventHandler onChange;
};

Gadget* gadget(void* self) { return static_cast<Gadget*>(self); }

const Member kGadgetMembers[] = {
    {"count", nullptr, [](ScriptVM*, void* self, ScriptValue* v) { *v = ScriptValue::integer(self ? gadget(self)->count : -1); },
     [](ScriptVM* vm, void* self, const ScriptValue& v) {
       if (self && v.kind == KindInteger) gadget(self)->count = v.asInt();
     }},
    {"label", nullptr,
     [](ScriptVM* vm, void* self, ScriptValue* v) {
       std::string l = self ? gadget(self)->label : "";
       setStringFromAnsi(vm, v, l.data(), l.size());
     }},
    {"bump",
     [](MemberCall& c) {
       if (!c.self) return;  // neutral result on the class object
       int64_t by = c.arg(0).kind == KindInteger ? c.arg(0).asInt() : 1;
       *c.result = ScriptValue::integer(gadget(c.self)->count += by);
     }},
    {"onChange", nullptr, [](ScriptVM*, void* self, ScriptValue* v) { if (self) gadget(self)->onChange.read(v); },
     [](ScriptVM*, void* self, const ScriptValue& v) { if (self) gadget(self)->onChange.write(v); }},
    {"toString",
     [](MemberCall& c) {
       static const char16_t kClass[] = u"[type Gadget]", kInstance[] = u"[object Gadget]";
       if (c.self) {
         setStaticString(c.vm, c.result, kInstance, 15);
       } else {
         setStaticString(c.vm, c.result, kClass, 13);
       }
     }},
};

int gFinalized = 0;

const ClassDef kGadget{
    .name = "Gadget",
    .members = kGadgetMembers,
    .finalize =
        [](NativeClass*, void* self) {
          ++gFinalized;
          delete gadget(self);
        },
    .mark = [](ScriptVM* vm, NativeClass*, void* self) { markValue(vm, gadget(self)->onChange.function); },
    .data = typeKey<Gadget>(),
};

// A second class with data of its own type.
struct Widget {
  int size = 3;
};
const ClassDef kWidget{.name = "Widget", .finalize = finalizeData<Widget>, .data = typeKey<Widget>()};

// A class serving strings: answers "length", nothing else.
const Member kTextMembers[] = {
    {"length", nullptr, [](ScriptVM*, void* self, ScriptValue* v) {
       *v = ScriptValue::integer(static_cast<ScriptValue*>(self)->asString()->length);
     }},
};
const ClassDef kText{.name = "Text", .members = kTextMembers, .servesKinds = kindBit(KindString)};

class BindingTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    setTraceSink([](void* ctx, std::string_view line) { static_cast<BindingTest*>(ctx)->lines.emplace_back(line); }, this);
    gFinalized = 0;
    gadgetClass = registerClass(vm, kGadget);
    widgetClass = registerClass(vm, kWidget);
    registerClass(vm, kText);
  }
  void TearDown() override {
    setTraceSink(nullptr, nullptr);
    EngineTest::TearDown();
  }
  ScriptValue instance(Gadget* data) {
    ScriptValue v;
    makeInstance(vm, gadgetClass, data, &v);
    return v;
  }
  ScriptValue get(const ScriptValue& target, const char* name) { return getProperty(vm, target, atom(name)); }
  void set(const ScriptValue& target, const char* name, const ScriptValue& v) { setProperty(vm, target, atom(name), v); }
  std::vector<std::string> takeLines() { return std::exchange(lines, {}); }

  NativeClass* gadgetClass = nullptr;
  NativeClass* widgetClass = nullptr;
  std::vector<std::string> lines;
};

TEST_F(BindingTest, RegistrationBindsTheClassObjectAndInternsMembersInOrder) {
  ScriptValue classObject = getGlobal(vm, atom("Gadget"));
  ASSERT_EQ(classObject.kind, KindNative);
  EXPECT_EQ(classObject.asNative()->cls, gadgetClass);
  EXPECT_EQ(classObject.asNative()->data, nullptr);
  auto atoms = memberAtoms(gadgetClass);
  ASSERT_EQ(atoms.size(), 5u);
  EXPECT_EQ(atoms[0], atom("count"));
  EXPECT_EQ(atoms[2], atom("bump"));
  EXPECT_EQ(vm->kindClasses[KindString]->classData != nullptr, true);
}

TEST_F(BindingTest, MethodsDispatchFromTheTable) {
  auto* g = new Gadget;
  ValueRoot obj(vm, instance(g));
  ScriptValue result;
  ScriptValue noArgs[1] = {ScriptValue::integer(0)};
  ScriptValue five[2] = {ScriptValue::integer(1), ScriptValue::integer(5)};
  EXPECT_EQ(gadgetClass->method(vm, gadgetClass, g, atom("bump"), &result, noArgs), 1);
  EXPECT_EQ(result.asInt(), 1);
  EXPECT_EQ(gadgetClass->method(vm, gadgetClass, g, atom("bump"), &result, five), 1);
  EXPECT_EQ(result.asInt(), 6);
  EXPECT_EQ(gadgetClass->method(vm, gadgetClass, g, atom("Bump"), &result, noArgs), 0) << "names are case-sensitive";
  EXPECT_EQ(gadgetClass->method(vm, gadgetClass, g, atom("count"), &result, noArgs), 0) << "a property is no method";
  // The class object's members see a null self and answer neutrally.
  result = ScriptValue::undefined();
  EXPECT_EQ(gadgetClass->method(vm, gadgetClass, nullptr, atom("bump"), &result, five), 1);
  EXPECT_TRUE(result.isUndefined());
  EXPECT_EQ(text(toStringValue(vm, getGlobal(vm, atom("Gadget")))), "[type Gadget]");
  EXPECT_EQ(text(toStringValue(vm, obj.value)), "[object Gadget]");
}

TEST_F(BindingTest, PropertiesReadOnlyMembersAndUnknownNames) {
  auto* g = new Gadget;
  ValueRoot obj(vm, instance(g));
  set(obj.value, "count", ScriptValue::integer(41));
  EXPECT_EQ(get(obj.value, "count").asInt(), 41);
  set(obj.value, "label", str("changed"));
  EXPECT_EQ(text(get(obj.value, "label")), "plain") << "a read-only member keeps its value";
  EXPECT_TRUE(takeLines().empty());

  EXPECT_TRUE(get(obj.value, "Count").isUndefined());
  EXPECT_EQ(takeLines(), std::vector<std::string>{"Warning: using undefined property \"Count\""});
  // Through [] a name found nowhere is undefined without a warning; a number key is undefined too.
  EXPECT_TRUE(getElement(vm, obj.value, str("Count")).isUndefined());
  EXPECT_EQ(getElement(vm, obj.value, str("count")).asInt(), 41);
  EXPECT_TRUE(getElement(vm, obj.value, ScriptValue::integer(0)).isUndefined());
  EXPECT_TRUE(takeLines().empty());
  EXPECT_TRUE(getElement(vm, obj.value, ScriptValue::number(1.5)).isUndefined());
  EXPECT_EQ(takeLines(), std::vector<std::string>{"Warning: invalid index for operator []"});

  // Names the class does not handle live in the instance's own property object.
  set(obj.value, "extra", ScriptValue::integer(7));
  EXPECT_EQ(get(obj.value, "extra").asInt(), 7);
  EXPECT_TRUE(get(getGlobal(vm, atom("Gadget")), "extra").isUndefined());
  takeLines();
}

TEST_F(BindingTest, DataLessInstancesShareTheStatics) {
  ValueRoot a(vm, instance(nullptr));
  set(a.value, "k", ScriptValue::integer(1));
  EXPECT_EQ(get(getGlobal(vm, atom("Gadget")), "k").asInt(), 1);
  // Instances with data see the statics through "__proto__".
  ValueRoot b(vm, instance(new Gadget));
  EXPECT_EQ(get(b.value, "k").asInt(), 1);
  ScriptValue proto = get(b.value, "__proto__");
  ASSERT_EQ(proto.kind, KindObject);
  EXPECT_NE(proto.asObject(), gadgetClass->statics) << "an instance's own property object";
  EXPECT_TRUE(takeLines().empty());
}

TEST_F(BindingTest, ProtoOfANativeMustBeAnObject) {
  ValueRoot obj(vm, instance(new Gadget));
  ScriptObject* before = obj.value.asNative()->props;
  set(obj.value, "__proto__", ScriptValue::integer(5));
  EXPECT_EQ(takeLines(), std::vector<std::string>{"Warning: can't set property \"__proto__\" with a wrong type"});
  EXPECT_EQ(obj.value.asNative()->props, before);
  ValueRoot replacement(vm, newObjectValue());
  set(obj.value, "__proto__", replacement.value);
  EXPECT_EQ(obj.value.asNative()->props, replacement.value.asObject());
}

TEST_F(BindingTest, EventPropertiesHoldFunctionsAndKeepThemAlive) {
  auto* g = new Gadget;
  ValueRoot obj(vm, instance(g));
  set(obj.value, "onChange", ScriptValue::integer(3));
  EXPECT_TRUE(get(obj.value, "onChange").isUndefined());
  ScriptValue fn = ScriptValue::function(newFunctionValue(vm, nullptr));
  set(obj.value, "onChange", fn);
  collectGarbage(vm);
  EXPECT_TRUE(isLiveBlock(fn.asFunction())) << "the class's mark keeps the handler";
  EXPECT_EQ(get(obj.value, "onChange").bits, fn.bits);
}

TEST_F(BindingTest, UnreachableInstancesAreFinalizedOnce) {
  instance(new Gadget);
  collectGarbage(vm);
  EXPECT_EQ(gFinalized, 1);
  collectGarbage(vm);
  EXPECT_EQ(gFinalized, 1);
}

// The class itself decides, not the global that held its class object: a script can rebind that.
TEST_F(BindingTest, DataOfTakesOnlyInstancesOfTheClassItself) {
  auto* data = new Gadget;
  ValueRoots<2> kept(vm);
  kept[0] = instance(data);
  kept[1] = makeInstance(vm, widgetClass, std::make_unique<Widget>());
  ScriptValue gadgetValue = kept[0], widgetValue = kept[1];
  EXPECT_EQ(dataOf<Gadget>(gadgetValue, gadgetClass), data);
  EXPECT_EQ(dataOf<Widget>(widgetValue, widgetClass)->size, 3);
  struct Case {
    const char* what;
    bool refused;
  };
  const Case cases[] = {
      {"an instance of another class", dataOf<Gadget>(widgetValue, gadgetClass) == nullptr},
      {"the right instance asked for another data type", dataOf<Widget>(gadgetValue, gadgetClass) == nullptr},
      {"the class object (no data)", dataOf<Gadget>(classObjectOf(gadgetClass), gadgetClass) == nullptr},
      {"a string", dataOf<Gadget>(str("x"), gadgetClass) == nullptr},
      {"a plain object", dataOf<Gadget>(newObjectValue(), gadgetClass) == nullptr},
  };
  for (const Case& c : cases) EXPECT_TRUE(c.refused) << c.what;

  // The receiver of a member call: typed by the class that dispatched it.
  ScriptValue result;
  ScriptValue noArgs[1] = {ScriptValue::integer(0)};
  EXPECT_EQ(dataOf<Gadget>(MemberCall{vm, gadgetClass, data, &result, noArgs}), data);
  EXPECT_EQ(dataOf<Gadget>(MemberCall{vm, widgetClass, dataOf<Widget>(widgetValue, widgetClass), &result, noArgs}),
            nullptr);
  EXPECT_EQ(dataOf<Gadget>(MemberCall{vm, gadgetClass, nullptr, &result, noArgs}), nullptr);

  // A script rebinds the names: the instance is still a Gadget, the Widget still not.
  setGlobal("Gadget", classObjectOf(widgetClass));
  setGlobal("Widget", classObjectOf(gadgetClass));
  EXPECT_EQ(dataOf<Gadget>(gadgetValue, gadgetClass), data);
  EXPECT_EQ(dataOf<Gadget>(widgetValue, gadgetClass), nullptr);
}

// The one rule for failed system calls: the neutral result, and the code with the system's text kept
// as the machine's last error until the next failure.
TEST_F(BindingTest, OsFailuresGiveTheNeutralResultAndKeepTheLastError) {
  EXPECT_EQ(lastOsError(vm).code, 0u);
  EXPECT_TRUE(lastOsError(vm).text.empty());
  ScriptValue noArgs[1] = {ScriptValue::integer(0)};
  ScriptValue result = ScriptValue::integer(7);
  MemberCall call{vm, gadgetClass, nullptr, &result, noArgs};
  osFailure(call, 2);
  EXPECT_TRUE(result.is(KindBoolean) && !result.asBool());
  EXPECT_EQ(lastOsError(vm).code, 2u);
  EXPECT_EQ(lastOsError(vm).text, utf8ToUtf16(os::errorText(2)));
  EXPECT_FALSE(lastOsError(vm).text.empty());
  osFailure(call, 13, ScriptValue::null());
  EXPECT_TRUE(result.is(KindNull));
  EXPECT_EQ(lastOsError(vm).code, 13u);
  EXPECT_NE(lastOsError(vm).text, utf8ToUtf16(os::errorText(2)));
}

TEST_F(BindingTest, ValueKindsUseTheirClassThenTheirOwnProperties) {
  ValueRoot s(vm, str("abc"));
  EXPECT_EQ(get(s.value, "length").asInt(), 3);
  set(s.value, "tag", ScriptValue::integer(9));
  EXPECT_EQ(get(s.value, "tag").asInt(), 9);
  EXPECT_TRUE(takeLines().empty());
  // Kinds without a class have no properties at all.
  EXPECT_TRUE(get(ScriptValue::integer(1), "x").isUndefined());
  set(ScriptValue::null(), "x", ScriptValue::integer(1));
  EXPECT_EQ(takeLines(), (std::vector<std::string>{"Warning: using undefined property \"x\"",
                                                    "Warning: using undefined property \"x\""}));
}

TEST_F(BindingTest, ObjectsReadThroughTheirPrototypeChain) {
  ValueRoot proto(vm, newObjectValue());
  ValueRoot obj(vm, newObjectValue());
  set(proto.value, "inherited", ScriptValue::integer(1));
  set(obj.value, "__proto__", proto.value);
  EXPECT_EQ(get(obj.value, "inherited").asInt(), 1);
  EXPECT_TRUE(get(obj.value, "x").isUndefined());
  EXPECT_EQ(takeLines(), std::vector<std::string>{"Warning: using undefined property \"x\""});
  setElement(vm, obj.value, str("viaKey"), ScriptValue::integer(2));
  EXPECT_EQ(get(obj.value, "viaKey").asInt(), 2);
  EXPECT_EQ(getElement(vm, obj.value, ScriptValue::symbol(atom("inherited"))).asInt(), 1);
  deleteProperty(vm, obj.value, atom("viaKey"));
  EXPECT_TRUE(getElement(vm, obj.value, str("viaKey")).isUndefined());
  takeLines();
}

TEST_F(BindingTest, StringElements) {
  ValueRoot s(vm, str("abc"));
  EXPECT_EQ(getElement(vm, s.value, ScriptValue::integer(1)).asInt(), 98);
  EXPECT_TRUE(getElement(vm, s.value, ScriptValue::integer(5)).isUndefined());
  EXPECT_TRUE(getElement(vm, s.value, ScriptValue::integer(-1)).isUndefined());
  EXPECT_TRUE(getElement(vm, s.value, str("0")).isUndefined());
  EXPECT_EQ(takeLines(), (std::vector<std::string>{"Warning: string index out of range", "Warning: string index out of range",
                                                    "Warning: invalid index for operator []"}));

  ValueRoot owned(vm, str("ab"));
  setElement(vm, owned.value, ScriptValue::integer(5), ScriptValue::integer(0x141));  // low 8 bits: 'A'
  EXPECT_EQ(text(owned.value), "ab   A");
  setElement(vm, owned.value, ScriptValue::integer(0), str("xyz"));
  EXPECT_EQ(text(owned.value), "xb   A");
  setElement(vm, owned.value, ScriptValue::integer(1), ScriptValue::number(66.0));
  EXPECT_EQ(text(owned.value), "xb   A");
  ValueRoot literal(vm, staticString(vm, u"lit"));
  setElement(vm, literal.value, ScriptValue::integer(0), ScriptValue::integer('L'));
  EXPECT_EQ(text(literal.value), "lit");
  EXPECT_EQ(takeLines(), (std::vector<std::string>{"Warning: can't store a non-charactor value to string",
                                                    "Warning: can't change a static string"}));
}

TEST_F(BindingTest, ForInSteps) {
  ValueRoot s(vm, str("ab"));
  ScriptValue item;
  ASSERT_TRUE(nextItem(vm, s.value, 0, &item));
  EXPECT_EQ(item.asInt(), 97);
  ASSERT_TRUE(nextItem(vm, s.value, 1, &item));
  EXPECT_EQ(item.asInt(), 98);
  EXPECT_FALSE(nextItem(vm, s.value, 2, &item));
  ValueRoot obj(vm, newObjectValue());
  set(obj.value, "only", ScriptValue::integer(1));
  ASSERT_TRUE(nextItem(vm, obj.value, 0, &item));
  EXPECT_EQ(text(item), "only");
  EXPECT_FALSE(nextItem(vm, obj.value, 1, &item));
  EXPECT_FALSE(nextItem(vm, ScriptValue::integer(3), 0, &item));
}

}  // namespace
}  // namespace vorlo::test
