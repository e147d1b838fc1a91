// Marking from every root, finalizers, merging of garbage, stable addresses, scoped roots and deep
// graphs.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/array.h"
#include "engine/function.h"
#include "engine/pin.h"
#include "engine/roots.h"
#include "engine/tables.h"
#include "engine_fixture.h"

namespace vorlo::test {
namespace {

struct Instance {
  Counted data;
  ScriptValue value;  // not a root: only for the test to look at
};

class GcTest : public EngineTest {
 protected:
  Instance* newInstance(NativeClass* cls) {
    keep.push_back(std::make_unique<Instance>());
    Instance* i = keep.back().get();
    i->value = ScriptValue::native(newNativeObject(vm, cls, &i->data));
    return i;
  }
  // Native data outlives the machine: members go after TearDown has destroyed it.
  std::vector<std::unique_ptr<Instance>> keep;
};

TEST_F(GcTest, UnreachableNativeIsFinalizedOnceAtTheNextCollection) {
  NativeClass* cls = newCountingClass(vm);
  Instance* kept = newInstance(cls);
  Instance* dropped = newInstance(cls);
  setGlobal("kept", kept->value);
  collectGarbage(vm);
  EXPECT_EQ(dropped->data.finalized, 1);
  EXPECT_EQ(kept->data.finalized, 0);
  collectGarbage(vm);
  EXPECT_EQ(dropped->data.finalized, 1);
  setGlobal("kept", ScriptValue::undefined());
  collectGarbage(vm);
  EXPECT_EQ(kept->data.finalized, 1);
}

TEST_F(GcTest, PinnedNativeIsFinalizedOnlyWhenUnpinned) {
  Instance* i = newInstance(newCountingClass(vm));
  PinnedValue* pin = pinValue(vm, i->value);
  EXPECT_EQ(pin->tag, kPinTag);
  EXPECT_EQ(pin->self, pin);
  for (int n = 0; n < 3; n++) collectGarbage(vm);
  EXPECT_EQ(i->data.finalized, 0);
  EXPECT_EQ(findPinned(vm, pin), pin);
  EXPECT_TRUE(unpinValue(vm, pin));
  EXPECT_EQ(i->data.finalized, 1);  // at once, not at the next collection
  EXPECT_EQ(i->value.asNative()->data, nullptr);
  collectGarbage(vm);
  EXPECT_EQ(i->data.finalized, 1);
  // A handle that is no longer (or never was) a node of this VM is refused without being read.
  EXPECT_FALSE(unpinValue(vm, pin));
  int notANode = 0;
  EXPECT_EQ(findPinned(vm, &notANode), nullptr);
  EXPECT_FALSE(unpinValue(vm, nullptr));
}

TEST_F(GcTest, DestroyingTheMachineFinalizesEverythingLeftOnce) {
  NativeClass* cls = newCountingClass(vm);
  Instance* global = newInstance(cls);
  Instance* pinned = newInstance(cls);
  setGlobal("g", global->value);
  pinValue(vm, pinned->value);
  collectGarbage(vm);
  destroyVM(vm);
  vm = createVM();  // for TearDown
  EXPECT_EQ(global->data.finalized, 1);
  EXPECT_EQ(pinned->data.finalized, 1);
}

TEST_F(GcTest, EveryRootKeepsItsValue) {
  NativeClass* cls = newCountingClass(vm);
  struct Root {
    const char* name;
    std::function<void(const ScriptValue&)> hold;
    std::function<void()> release;
  };
  ScriptValue* top = stackTop(vm);
  std::unique_ptr<ValueRoot> scoped;
  PinnedValue* pin = nullptr;
  std::vector<Root> roots = {
      {"global", [&](const ScriptValue& v) { setGlobal("r", v); },
       [&] { setGlobal("r", ScriptValue::undefined()); }},
      {"constant", [&](const ScriptValue& v) { appendValue(vm, vm->constants, v); },
       [&] { vm->constants.count--; }},
      {"pinned", [&](const ScriptValue& v) { pin = pinValue(vm, v); },
       [&] {
         // Unpinning finalizes a native at once; detach the data first to watch the collector.
         pin->value = ScriptValue::undefined();
         unpinValue(vm, pin);
       }},
      {"scoped root", [&](const ScriptValue& v) { scoped = std::make_unique<ValueRoot>(vm, v); },
       [&] { scoped.reset(); }},
      {"result", [&](const ScriptValue& v) { vm->result = v; }, [&] { vm->result = {}; }},
      {"stack", [&](const ScriptValue& v) {
         top[-1] = v;
         vm->stackPointer = top - 2;
       },
       [&] { vm->stackPointer = top - 1; }},  // the slot keeps its bits, but it is above the top
      {"with-list of a frame",
       [&](const ScriptValue& v) {
         auto* w = static_cast<WithList*>(heapAlloc(vm, sizeof(WithList) + sizeof(ScriptValue)));
         w->count = 2;
         w->values[1] = v;
         // From the stack pointer upward: return pointer, with-list, frame info, frame link, `this`.
         top[-6] = ScriptValue::make(KindFrameLink, 0);
         top[-5] = ScriptValue::pointer(KindFrameLink, w);
         top[-4] = ScriptValue::make(KindFrameInfo, 0);
         top[-3] = ScriptValue::make(KindFrameLink, 0);
         top[-2] = ScriptValue::null();
         top[-1] = ScriptValue::integer(0);
         vm->stackPointer = top - 7;
       },
       [&] { vm->stackPointer = top - 1; }},
  };
  for (const Root& root : roots) {
    Instance* i = newInstance(cls);
    root.hold(i->value);
    collectGarbage(vm);
    EXPECT_EQ(i->data.finalized, 0) << root.name;
    root.release();
    collectGarbage(vm);
    EXPECT_EQ(i->data.finalized, 1) << root.name;
  }
}

TEST_F(GcTest, ValuesReachableFromRecordsSurvive) {
  // object slot -> string -> its property object -> function -> its property object -> native,
  // whose mark slot keeps a string held only in its native data.
  Instance* n = newInstance(newCountingClass(vm));
  n->data.held = str("held by native data");
  FunctionValue* f = newFunctionValue(vm, nullptr);
  f->props = newObject(vm);
  objectSet(vm, f->props, atom("n"), n->value);
  ScriptValue s = str("string with properties");
  s.asString()->props = newObject(vm);
  objectSet(vm, s.asString()->props, atom("f"), ScriptValue::function(f));
  ScriptValue o = newObjectValue();
  objectSet(vm, o.asObject(), atom("s"), s);
  setGlobal("o", o);
  for (int i = 0; i < 3; i++) {
    for (int j = 0; j < 1000; j++) str("garbage in between");
    collectGarbage(vm);
  }
  EXPECT_EQ(n->data.finalized, 0);
  EXPECT_TRUE(isLiveString(n->data.held));
  EXPECT_EQ(text(n->data.held), "held by native data");
  EXPECT_TRUE(isLiveString(s));
  EXPECT_TRUE(isLiveBlock(s.asString()->props));
  EXPECT_TRUE(isLiveBlock(f));
  EXPECT_TRUE(isLiveBlock(f->props));
  EXPECT_TRUE(isLiveBlock(n->value.asNative()));
  ScriptValue back;
  ASSERT_TRUE(objectGet(vm, f->props, atom("n"), &back));
  EXPECT_EQ(back.asNative(), n->value.asNative());
}

TEST_F(GcTest, ArrayRecordsAreMarkedThroughTheClassServingArrays) {
  NativeClass* arrays = newNativeClass(vm);
  // The test's element storage: a heap block with one value.
  arrays->mark = [](ScriptVM* vm, NativeClass*, void* self) {
    auto* a = static_cast<ScriptArray*>(self);
    markBlock(vm, a->elements);
    markValue(vm, *static_cast<ScriptValue*>(a->elements));
  };
  vm->kindClasses[KindArray] = arrays;
  auto* a = static_cast<ScriptArray*>(heapAlloc(vm, sizeof(ScriptArray)));
  a->elements = heapAlloc(vm, sizeof(ScriptValue));
  *static_cast<ScriptValue*>(a->elements) = str("element");
  a->length = 1;
  setGlobal("a", ScriptValue::array(a));
  collectGarbage(vm);
  EXPECT_FALSE(heapIsMarked(a));  // marks are cleared by the sweep
  EXPECT_TRUE(isLiveBlock(a));
  EXPECT_TRUE(isLiveBlock(a->elements));
  EXPECT_TRUE(isLiveString(*static_cast<ScriptValue*>(a->elements)));
  vm->kindClasses[KindArray] = nullptr;
  collectGarbage(vm);  // without the class the record survives but its storage is not reached
  EXPECT_TRUE(isLiveBlock(a));
  EXPECT_FALSE(isLiveBlock(a->elements));
}

TEST_F(GcTest, AdjacentGarbageIsMergedIntoOneFreeBlock) {
  // Three finalized blocks in a row, then a live string, then more garbage.
  static std::vector<void*> order;
  order.clear();
  BlockFinalizer record = [](ScriptVM*, void* block) { order.push_back(block); };
  void* blocks[3];
  for (void*& b : blocks) {
    b = heapAllocFinalized(vm, 64);
    *static_cast<BlockFinalizer*>(b) = record;
  }
  ValueRoot live(vm, str("live"));
  heapAlloc(vm, 64);
  collectGarbage(vm);
  ASSERT_EQ(order.size(), 3u);
  for (int i = 0; i < 3; i++) EXPECT_EQ(order[i], blocks[i]);
  // The first run is one free block covering the three blocks and the two headers between them.
  EXPECT_EQ(blockHeader(blocks[0]) & 7, kBlockFree);
  EXPECT_EQ(heapBlockSize(blocks[0]), 3 * 64 + 2 * kBlockHeaderSize);
  int freeBlocks = 0;
  heapForEachBlock(vm->heap, [&](const HeapBlockInfo& b) { freeBlocks += (b.flags & kBlockFree) != 0; });
  EXPECT_EQ(freeBlocks, 2);  // before and after the live string's blocks
  // A request the merged block can hold is served from it.
  EXPECT_EQ(heapAlloc(vm, 128), blocks[0]);
  collectGarbage(vm);
  EXPECT_EQ(order.size(), 3u);  // finalizers never run twice
}

TEST_F(GcTest, CollectionsNeverMoveLiveRecords) {
  std::vector<ScriptObject*> objects;
  ScriptValue list = newObjectValue();
  setGlobal("list", list);
  for (int i = 0; i < 2000; i++) {
    ScriptObject* o = newObject(vm);
    objectSet(vm, o, atom("i"), ScriptValue::integer(i));
    objectSetByKey(vm, list.asObject(), ScriptValue::integer(i), ScriptValue::object(o));
    objects.push_back(o);
    str("garbage");
  }
  for (int round = 0; round < 3; round++) {
    collectGarbage(vm);
    for (int i = 0; i < 50000; i++) newObject(vm);
  }
  for (int i = 0; i < 2000; i++) {
    ASSERT_EQ(list.asObject()->slots[i].value.asObject(), objects[i]);
    if (i % 500 == 0) {
      ASSERT_TRUE(isLiveBlock(objects[i]));
    }
    ScriptValue v;
    ASSERT_TRUE(objectGet(vm, objects[i], atom("i"), &v));
    ASSERT_EQ(v.asInt(), i);
  }
}

TEST_F(GcTest, ScopedRootsUnlinkWhenAnErrorUnwinds) {
  Instance* i = newInstance(newCountingClass(vm));
  try {
    ValueRoots<2> roots(vm);
    roots[1] = i->value;
    ValueRoot inner(vm, str("x"));
    collectGarbage(vm);
    EXPECT_EQ(i->data.finalized, 0);
    EXPECT_TRUE(isLiveString(inner.value));
    heapAlloc(vm, size_t(-1));
  } catch (const RuntimeError&) {
  }
  EXPECT_EQ(vm->roots, nullptr);
  collectGarbage(vm);
  EXPECT_EQ(i->data.finalized, 1);
}

TEST_F(GcTest, SpanRootFollowsStorageThatMoves) {
  std::vector<ScriptValue> values;
  SpanRoot root(vm, values.data(), 0);
  for (int i = 0; i < 100; i++) {
    values.push_back(str("kept"));
    root.reset(values.data(), values.size());
    collectGarbage(vm);
  }
  for (const ScriptValue& v : values) ASSERT_TRUE(isLiveString(v));
}

// A recursive marker needs one native frame per level for these graphs and overflows the stack.
TEST_F(GcTest, MillionLongChainIsMarkedWithoutDeepRecursion) {
  NativeClass* cls = newCountingClass(vm);
  collectGarbage(vm);
  uint64_t liveBefore = liveBytes();
  Instance* tail = newInstance(cls);
  Atom next = atom("next");
  ScriptValue head = tail->value;
  ValueRoot root(vm, head);
  for (int i = 0; i < 1000000; i++) {
    ScriptObject* o = newObject(vm);
    objectSet(vm, o, next, head);
    head = ScriptValue::object(o);
  }
  root.value = head;
  collectGarbage(vm);
  EXPECT_EQ(tail->data.finalized, 0);
  root.value = ScriptValue::undefined();
  collectGarbage(vm);
  EXPECT_EQ(tail->data.finalized, 1);
  EXPECT_EQ(liveBytes(), liveBefore);
}

TEST_F(GcTest, DeepGraphWithSeveralChildrenPerNodeIsMarked) {
  // Two nodes per level, each pointing at both nodes of the level below: every node has several
  // unmarked children when it is reached.
  Instance* bottom = newInstance(newCountingClass(vm));
  Atom a = atom("a"), b = atom("b");
  ValueRoots<2> level(vm);
  level[0] = level[1] = bottom->value;
  for (int depth = 0; depth < 200000; depth++) {
    ScriptValue pair[2];
    for (ScriptValue& node : pair) {
      ScriptObject* o = newObject(vm);
      objectSet(vm, o, a, level[0]);
      objectSet(vm, o, b, level[1]);
      node = ScriptValue::object(o);
    }
    level[0] = pair[0];
    level[1] = pair[1];
  }
  collectGarbage(vm);
  EXPECT_EQ(bottom->data.finalized, 0);
  level[0] = level[1] = ScriptValue::undefined();
  collectGarbage(vm);
  EXPECT_EQ(bottom->data.finalized, 1);
}

}  // namespace
}  // namespace vorlo::test
