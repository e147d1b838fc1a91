// Property slots: order, reuse, the prototype chain, access by position and by text, enumeration.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace vorlo::test {
namespace {

class ObjectTest : public EngineTest {
 protected:
  std::vector<std::string> keys(ScriptObject* o) {
    std::vector<std::string> out;
    for (uint32_t i = 0; i < o->slotCount; i++)
      out.push_back(o->slots[i].key == kFreeSlot ? "-" : std::string(atomName(vm, o->slots[i].key)));
    return out;
  }
  std::vector<std::string> enumerate(ScriptObject* o) {
    std::vector<std::string> out;
    ScriptValue name;
    for (uint64_t n = 0; objectPropertyNameAt(vm, o, n, &name); n++) out.push_back(text(name));
    return out;
  }
  int64_t get(ScriptObject* o, const char* name) {
    ScriptValue v;
    return objectGet(vm, o, atom(name), &v) ? v.asInt() : -999;
  }
};

TEST_F(ObjectTest, SlotsKeepInsertionOrderAndADeletedSlotIsReused) {
  ScriptObject* o = newObject(vm);
  for (const char* name : {"a", "b", "c"}) objectSet(vm, o, atom(name), ScriptValue::integer(1));
  objectSet(vm, o, atom("a"), ScriptValue::integer(2));  // overwrite in place
  EXPECT_EQ(keys(o), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(objectDelete(vm, o, atom("b")));
  EXPECT_FALSE(objectDelete(vm, o, atom("b")));
  EXPECT_EQ(keys(o), (std::vector<std::string>{"a", "-", "c"}));
  EXPECT_TRUE(o->slots[1].value.isUndefined());
  EXPECT_EQ(get(o, "b"), -999);
  objectSet(vm, o, atom("d"), ScriptValue::integer(4));
  objectSet(vm, o, atom("e"), ScriptValue::integer(5));
  EXPECT_EQ(keys(o), (std::vector<std::string>{"a", "d", "c", "e"}));
  EXPECT_EQ(get(o, "a"), 2);
  EXPECT_EQ(get(o, "d"), 4);
}

TEST_F(ObjectTest, LookupFollowsProtoButStoresStayOwn) {
  ScriptObject* base = newObject(vm);
  ScriptObject* mid = newObject(vm);
  ScriptObject* o = newObject(vm);
  objectSet(vm, base, atom("x"), ScriptValue::integer(1));
  objectSet(vm, mid, vm->atoms.proto, ScriptValue::object(base));
  // A "__proto__" that is not an object is not followed; the next object-valued one would be.
  objectSet(vm, o, vm->atoms.proto, ScriptValue::integer(7));
  EXPECT_EQ(get(o, "x"), -999);
  objectSet(vm, o, vm->atoms.proto, ScriptValue::object(mid));
  EXPECT_EQ(get(o, "x"), 1);
  objectSet(vm, o, atom("x"), ScriptValue::integer(2));
  EXPECT_EQ(get(o, "x"), 2);
  EXPECT_EQ(get(base, "x"), 1);
  EXPECT_EQ(o->slotCount, 2u);
}

TEST_F(ObjectTest, PrototypeCyclesEndTheLookup) {
  ScriptObject* a = newObject(vm);
  ScriptObject* b = newObject(vm);
  ScriptObject* c = newObject(vm);
  objectSet(vm, a, vm->atoms.proto, ScriptValue::object(b));
  objectSet(vm, b, vm->atoms.proto, ScriptValue::object(c));
  objectSet(vm, c, atom("deep"), ScriptValue::integer(3));
  objectSet(vm, c, vm->atoms.proto, ScriptValue::object(a));
  EXPECT_EQ(get(a, "deep"), 3);
  EXPECT_EQ(get(a, "missing"), -999);
  objectSet(vm, a, vm->atoms.proto, ScriptValue::object(a));
  EXPECT_EQ(get(a, "missing"), -999);
}

TEST_F(ObjectTest, IntegerKeysSelectSlotsByPositionAndExtendTheObject) {
  ScriptObject* o = newObject(vm);
  objectSet(vm, o, atom("first"), ScriptValue::integer(10));
  objectSet(vm, o, atom("second"), ScriptValue::integer(20));
  EXPECT_EQ(objectGetByKey(vm, o, ScriptValue::integer(0)).asInt(), 10);
  EXPECT_EQ(objectGetByKey(vm, o, ScriptValue::integer(1)).asInt(), 20);
  EXPECT_TRUE(objectGetByKey(vm, o, ScriptValue::integer(2)).isUndefined());
  EXPECT_TRUE(objectGetByKey(vm, o, ScriptValue::integer(-1)).isUndefined());

  objectSetByKey(vm, o, ScriptValue::integer(5), ScriptValue::integer(50));
  ASSERT_EQ(o->slotCount, 6u);
  for (uint32_t i = 2; i < 5; i++) {
    EXPECT_EQ(o->slots[i].key, kUnnamedSlot) << i;  // no name: not "__proto__", Atom 0
    EXPECT_TRUE(o->slots[i].value.isUndefined()) << i;
  }
  EXPECT_EQ(objectGetByKey(vm, o, ScriptValue::integer(5)).asInt(), 50);
  // A value stored there is no prototype: a name lookup does not pass through it.
  ScriptObject* p = newObject(vm);
  objectSet(vm, p, atom("inherited"), ScriptValue::integer(1));
  objectSetByKey(vm, o, ScriptValue::integer(3), ScriptValue::object(p));
  ScriptValue found;
  EXPECT_FALSE(objectGet(vm, o, atom("inherited"), &found));
  EXPECT_FALSE(objectGet(vm, o, atom("__proto__"), &found));
  // Writing by position keeps the slot's name.
  objectSetByKey(vm, o, ScriptValue::integer(0), ScriptValue::integer(11));
  EXPECT_EQ(get(o, "first"), 11);
  objectDeleteByKey(vm, o, ScriptValue::integer(1));
  EXPECT_EQ(o->slots[1].key, kFreeSlot);
  // Keys that name no slot write nothing: negative integers and kinds other than integer and string.
  for (ScriptValue key : {ScriptValue::integer(-1), ScriptValue::integer(INT64_MIN), ScriptValue::number(1.0),
                          ScriptValue::null(), ScriptValue::boolean(true)}) {
    objectSetByKey(vm, o, key, ScriptValue::integer(99));
    objectDeleteByKey(vm, o, key);
  }
  EXPECT_EQ(o->slotCount, 6u);
  EXPECT_EQ(get(o, "first"), 11);
}

TEST_F(ObjectTest, EnormousIntegerKeysAreOutOfMemoryAndChangeNothing) {
  ScriptObject* o = newObject(vm);
  objectSet(vm, o, atom("a"), ScriptValue::integer(1));
  for (int64_t key : {INT64_MAX, int64_t(1) << 40, int64_t(UINT32_MAX), int64_t(UINT32_MAX) - 1}) {
    EXPECT_THROW(objectSetByKey(vm, o, ScriptValue::integer(key), ScriptValue::integer(2)), RuntimeError)
        << key;
    EXPECT_STREQ(vm->message, "Runtime error: Out of memory");
    EXPECT_EQ(o->slotCount, 1u);
  }
  EXPECT_EQ(get(o, "a"), 1);
}

TEST_F(ObjectTest, StringKeysAreNamesLookedUpByText) {
  ScriptObject* o = newObject(vm);
  objectSet(vm, o, atom("alpha"), ScriptValue::integer(1));
  EXPECT_EQ(objectGetByKey(vm, o, str("alpha")).asInt(), 1);
  EXPECT_TRUE(objectGetByKey(vm, o, str("Alpha")).isUndefined());  // names are case-sensitive
  objectSetByKey(vm, o, str("alpha"), ScriptValue::integer(2));
  objectSetByKey(vm, o, str("beta"), ScriptValue::integer(3));
  EXPECT_EQ(keys(o), (std::vector<std::string>{"alpha", "beta"}));
  EXPECT_EQ(get(o, "alpha"), 2);
  EXPECT_EQ(get(o, "beta"), 3);
  objectDeleteByKey(vm, o, str("alpha"));
  EXPECT_TRUE(objectGetByKey(vm, o, str("alpha")).isUndefined());
  EXPECT_EQ(get(o, "alpha"), -999);
  // The prototype chain is not consulted for text keys.
  ScriptObject* child = newObject(vm);
  objectSet(vm, child, vm->atoms.proto, ScriptValue::object(o));
  EXPECT_TRUE(objectGetByKey(vm, child, str("beta")).isUndefined());
}

TEST_F(ObjectTest, EnumerationRunsBucketByBucketInSlotOrder) {
  // Buckets (name hash mod 128): "ka", "color", "ca" and "ga" -> 1, "size" -> 38, "x" -> 120.
  const std::vector<std::string> expected = {"ka", "color", "ca", "size", "x"};
  const std::vector<std::string> afterReuse = {"ka", "ga", "ca", "size", "x"};
  for (bool indexFirst : {false, true}) {
    ScriptObject* o = newObject(vm);
    if (indexFirst) {
      EXPECT_TRUE(enumerate(o).empty());  // builds the (empty) index now
    }
    for (const char* name : {"ka", "x", "color", "ca", "size"})
      objectSet(vm, o, atom(name), ScriptValue::integer(0));
    EXPECT_EQ(enumerate(o), expected) << "index built first: " << indexFirst;
    objectDelete(vm, o, atom("color"));
    objectSet(vm, o, atom("ga"), ScriptValue::integer(0));  // takes color's slot 2
    EXPECT_EQ(enumerate(o), afterReuse) << "index built first: " << indexFirst;
    ScriptValue name;
    EXPECT_FALSE(objectPropertyNameAt(vm, o, 5, &name));
    EXPECT_FALSE(objectPropertyNameAt(vm, o, UINT64_MAX, &name));
  }
}

TEST_F(ObjectTest, IndexStaysInStepWithSlotsAcrossCollections) {
  ScriptObject* o = newObject(vm);
  setGlobal("o", ScriptValue::object(o));
  objectSet(vm, o, atom("p"), ScriptValue::integer(1));
  EXPECT_EQ(objectGetByKey(vm, o, str("p")).asInt(), 1);  // builds the index
  // Positional slots name nothing and stay out of the index; a named one added after them is in it.
  objectSetByKey(vm, o, ScriptValue::integer(2), ScriptValue::integer(7));
  objectSet(vm, o, atom("q"), ScriptValue::integer(3));
  collectGarbage(vm);
  for (int i = 0; i < 20000; i++) str("reuse freed memory");
  std::vector<std::string> names = enumerate(o);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"p", "q"}));
  EXPECT_EQ(objectGetByKey(vm, o, str("q")).asInt(), 3);
  EXPECT_EQ(objectGetByKey(vm, o, ScriptValue::integer(2)).asInt(), 7);
  EXPECT_EQ(objectGetByKey(vm, o, str("p")).asInt(), 1);
  EXPECT_TRUE(isLiveBlock(o->index));
}

}  // namespace
}  // namespace vorlo::test
