// Allocates and drops millions of objects and strings; memory must stay flat once the heap has
// reached its working size, and the heap's block structure must stay whole.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/roots.h"
#include "engine_fixture.h"

namespace vorlo::test {
namespace {

class StressTest : public EngineTest {
 protected:
  std::vector<std::unique_ptr<Counted>> natives;  // outlives the machine (see TearDown)
};

// Blocks and their headers must tile every chunk exactly.
void expectHeapWhole(ScriptVM* vm) {
  uint64_t covered = 0;
  heapForEachBlock(vm->heap, [&](const HeapBlockInfo& b) { covered += b.size + kBlockHeaderSize; });
  EXPECT_EQ(covered, vm->heap.chunkBytes - vm->heap.chunkCount * kChunkHeaderSize);
}

TEST_F(StressTest, MillionsOfRecordsComeAndGoInFlatMemory) {
  constexpr int kRounds = 20;
  constexpr int kPerRound = 100000;
  NativeClass* cls = newCountingClass(vm);
  setGlobal("cls", ScriptValue::native(newNativeObject(vm, cls, nullptr)));
  Atom next = atom("next"), name = atom("name"), index = atom("index");
  ValueRoot survivors(vm);  // the last round's chain stays alive through the next collection
  uint64_t settledChunkBytes = 0;
  for (int round = 0; round < kRounds; round++) {
    ScriptValue chain = ScriptValue::null();
    ValueRoot building(vm);
    for (int i = 0; i < kPerRound; i++) {
      ScriptObject* o = newObject(vm);
      objectSet(vm, o, next, chain);
      objectSet(vm, o, index, ScriptValue::integer(i));
      // Strings of varying length, so blocks of many classes are split and merged.
      std::u16string text(static_cast<size_t>(i % 61), u'x');
      objectSet(vm, o, name, ownedString(vm, text));
      if (i % 1000 == 0) {
        natives.push_back(std::make_unique<Counted>());
        objectSet(vm, o, atom("native"), ScriptValue::native(newNativeObject(vm, cls, natives.back().get())));
      }
      if (i % 7 == 0) ownedString(vm, u"dropped at once");
      chain = ScriptValue::object(o);
      building.value = chain;
    }
    survivors.value = chain;
    collectGarbage(vm);
    expectHeapWhole(vm);
    // Every native of the rounds before the last is finalized exactly once; the last round's live on.
    size_t liveFrom = natives.size() - kPerRound / 1000;
    for (size_t n = 0; n < natives.size(); n++)
      ASSERT_EQ(natives[n]->finalized, n < liveFrom ? 1 : 0) << "round " << round << " native " << n;
    if (round == 3) settledChunkBytes = vm->heap.chunkBytes;
    if (round > 3) {
      ASSERT_EQ(vm->heap.chunkBytes, settledChunkBytes) << "round " << round;
    }
  }
  // The survivors are intact: walk the chain back.
  int64_t expected = kPerRound - 1;
  for (ScriptValue v = survivors.value; v.isObject(); expected--) {
    ScriptValue i;
    ASSERT_TRUE(objectGet(vm, v.asObject(), index, &i));
    ASSERT_EQ(i.asInt(), expected);
    objectGet(vm, v.asObject(), next, &v);
  }
  EXPECT_EQ(expected, -1);
}

}  // namespace
}  // namespace vorlo::test
