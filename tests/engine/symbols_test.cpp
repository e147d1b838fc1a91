// Interned names, the name hash, the global and constant tables.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/tables.h"
#include "engine_fixture.h"

namespace vorlo::test {
namespace {

using SymbolTest = EngineTest;

TEST(NameHash, MatchesTheDefinedMixing) {
  struct Row {
    const char* name;
    uint32_t hash;
  } rows[] = {{"", 0u},
              {"a", 97u},
              {"__proto__", 1010342539u},
              {"toString", 1522925269u},
              {"length", 3731288618u},
              {"abcdefghijklmnopqrstuvwxyz", 4216736159u}};
  for (const Row& r : rows) EXPECT_EQ(nameHash(r.name, std::strlen(r.name)), r.hash) << r.name;
  // Bytes count as unsigned: a high byte must not sign-extend into the hash.
  EXPECT_EQ(nameHash("\xE9", 1), 0xE9u);
}

TEST_F(SymbolTest, EngineNamesComeFirstInTheirOrder) {
  EXPECT_EQ(vm->atoms.proto, 0u);
  EXPECT_EQ(vm->atoms.prototype, 1u);
  EXPECT_EQ(vm->atoms.toSource, 2u);
  EXPECT_EQ(vm->atoms.toString, 3u);
  EXPECT_EQ(vm->atoms.valueOf, 4u);
  EXPECT_EQ(atomName(vm, 3), "toString");
  EXPECT_EQ(vm->globals.count, 5u);
}

TEST_F(SymbolTest, InterningIsCaseSensitiveAndStable) {
  Atom a = atom("Name");
  Atom b = atom("name");
  EXPECT_NE(a, b);
  EXPECT_EQ(atom("Name"), a);
  EXPECT_EQ(intern(vm, "Name and more", 4), a);
  EXPECT_EQ(atomName(vm, b), "name");
  EXPECT_EQ(atomName(vm, 100000), "???");
  EXPECT_EQ(atomName(vm, kFreeSlot), "???");
  // Names may hold any bytes, including NUL.
  Atom withNul = intern(vm, "a\0b", 3);
  EXPECT_NE(withNul, intern(vm, "a", 1));
  EXPECT_EQ(atomName(vm, withNul), std::string_view("a\0b", 3));
  Atom found;
  EXPECT_TRUE(findAtom(vm, "Name", 4, &found));
  EXPECT_EQ(found, a);
  EXPECT_FALSE(findAtom(vm, "never", 5, &found));
}

TEST_F(SymbolTest, EveryNameGetsAGlobalAndTablesGrowByThousandTwentyFour) {
  EXPECT_EQ(vm->globals.capacity, 1024u);
  for (int i = 0; i < 3000; i++) intern(vm, ("name" + std::to_string(i)).c_str());
  EXPECT_EQ(vm->globals.count, 3005u);
  EXPECT_EQ(vm->globals.capacity, 3072u);
  Atom last = atom("name2999");
  EXPECT_EQ(last, 3004u);
  EXPECT_TRUE(getGlobal(vm, last).isUndefined());
  for (int i = 0; i < 1025; i++) appendValue(vm, vm->constants, ScriptValue::integer(i));
  EXPECT_EQ(vm->constants.capacity, 2048u);
  EXPECT_EQ(vm->constants.values[1024].asInt(), 1024);
}

TEST_F(SymbolTest, StoringUndefinedIntoAGlobalClearsItsPayload) {
  Atom g = atom("g");
  vorlo::setGlobal(vm, g, ScriptValue::integer(42));
  EXPECT_EQ(getGlobal(vm, g).asInt(), 42);
  vorlo::setGlobal(vm, g, ScriptValue::make(KindUndefined, 0xDEADBEEF));
  EXPECT_EQ(vm->globals.values[g].kind, uint32_t(KindUndefined));
  EXPECT_EQ(vm->globals.values[g].bits, 0u);
  vorlo::setGlobal(vm, 999999, ScriptValue::integer(1));  // not interned: ignored
  EXPECT_TRUE(getGlobal(vm, 999999).isUndefined());
}

TEST_F(SymbolTest, ConstantTextLivesAsLongAsTheMachine) {
  std::u16string source = u"constant";
  const char16_t* kept = keepConstantText(vm, source.data(), source.size());
  source.assign(u"XXXXXXXX");
  ScriptValue s = ScriptValue::string(newStaticString(vm, kept, 8));
  appendValue(vm, vm->constants, s);
  collectGarbage(vm);
  EXPECT_EQ(text(s), "constant");
  EXPECT_TRUE(isStatic(s.asString()));
}

}  // namespace
}  // namespace vorlo::test
