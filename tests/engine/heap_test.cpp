// Block sizes, size classes, chunks, splitting, resizing and the byte counters of the collected heap.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/checked.h"
#include "engine/heap.h"
#include "engine/string.h"
#include "engine_fixture.h"

namespace vorlo::test {
namespace {

using HeapTest = EngineTest;

TEST(HeapSizes, SizeClassesFollowTheBitsOfSizeOverEight) {
  struct Row {
    size_t size;
    int cls;
  } rows[] = {{0, 0},      {4, 0},      {7, 0},       {8, 1},        {15, 1},       {16, 2},
              {31, 2},     {32, 3},     {100, 4},     {1024, 8},     {65536, 14},   {102376, 14},
              {131072, 15}, {1u << 20, 18}, {(1u << 21) - 8, 18}, {1u << 21, 19}, {1u << 22, 19},
              {size_t(1) << 30, 19}};
  for (const Row& r : rows) EXPECT_EQ(sizeClass(r.size), r.cls) << "size " << r.size;
}

TEST_F(HeapTest, RequestsRoundUpToPowersOfTwoOfAtLeastEight) {
  struct Row {
    size_t request, block;
  } rows[] = {{0, 8}, {1, 8}, {4, 8}, {8, 8}, {9, 16}, {24, 32}, {100, 128}, {4096, 4096}, {4097, 8192}};
  for (const Row& r : rows) {
    void* b = heapAlloc(vm, r.request);
    EXPECT_EQ(heapBlockSize(b), r.block) << "request " << r.request;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % 8, 0u);
  }
}

TEST_F(HeapTest, FirstAllocationAddsOneChunkAndSplitsItsBlock) {
  EXPECT_EQ(vm->heap.chunkCount, 0u);
  auto* a = static_cast<char*>(heapAlloc(vm, 64));
  EXPECT_EQ(vm->heap.chunkCount, 1u);
  EXPECT_EQ(vm->heap.chunkBytes, kChunkSize);
  EXPECT_EQ(vm->heap.freeBytes, kChunkSize - kChunkOverhead - 64 - kBlockHeaderSize);
  // The remainder was split off right behind the block, so the next block follows it directly.
  auto* b = static_cast<char*>(heapAlloc(vm, 64));
  EXPECT_EQ(b, a + 64 + kBlockHeaderSize);
}

TEST_F(HeapTest, ABlockThatExceedsTheRequestByEightOrLessIsNotSplit) {
  // Carve the first chunk's block down until 40 bytes remain: 32 + 8 is not worth a header.
  for (size_t size : {32768, 32768, 32768, 2048, 1024, 512, 256, 128}) heapAlloc(vm, size);
  EXPECT_EQ(vm->heap.freeBytes, 40u);
  void* last = heapAlloc(vm, 32);
  EXPECT_EQ(heapBlockSize(last), 40u);
  EXPECT_EQ(vm->heap.freeBytes, 0u);
  EXPECT_EQ(vm->heap.chunkCount, 1u);
  EXPECT_EQ(vm->heap.bytesSinceCollection, 3 * 32768u + 2048 + 1024 + 512 + 256 + 128 + 40);
}

TEST_F(HeapTest, LargeRequestGetsAChunkOfItsOwn) {
  heapAlloc(vm, 16);
  uint64_t before = vm->heap.chunkBytes;
  void* big = heapAlloc(vm, 200000);
  EXPECT_EQ(heapBlockSize(big), 262144u);
  EXPECT_EQ(vm->heap.chunkCount, 2u);
  EXPECT_EQ(vm->heap.chunkBytes - before, 262144u + kChunkOverhead);
  // The largest request that still fits an ordinary chunk does not get one of its own.
  ScriptVM* other = createVM();
  heapAlloc(other, 65536);
  EXPECT_EQ(other->heap.chunkBytes, kChunkSize);
  destroyVM(other);
}

TEST_F(HeapTest, UnrepresentableRequestsAreOutOfMemory) {
  for (size_t request : {kMaxHeapRequest + 1, size_t(-1), size_t(-1) / 2 + 1}) {
    try {
      heapAlloc(vm, request);
      ADD_FAILURE() << "request " << request << " was granted";
    } catch (const RuntimeError& e) {
      EXPECT_STREQ(e.what(), "Runtime error: Out of memory");
      EXPECT_STREQ(vm->message, "Runtime error: Out of memory");
    }
  }
  void* b = heapAlloc(vm, 16);
  EXPECT_THROW(heapResize(vm, b, size_t(-8)), RuntimeError);
  EXPECT_EQ(vm->heap.chunkCount, 1u);  // nothing was allocated for the failed requests
}

TEST_F(HeapTest, StringsBeyondTheLongestAreOutOfMemoryBeforeAnyAllocation) {
  uint64_t before = vm->heap.bytesSinceCollection;
  // Just past the longest; lengths whose byte count overflows size_t; and, where size_t is wider than
  // the record's 32-bit length field, the first length that field would wrap to 0.
  std::vector<size_t> lengths = {kMaxStringUnits + 1, SIZE_MAX / 2 + 1, SIZE_MAX};
  if (SIZE_MAX > UINT32_MAX) lengths.push_back(static_cast<size_t>(uint64_t(UINT32_MAX) + 1));
  for (size_t length : lengths) {
    EXPECT_THROW(newStringBuffer(vm, length), RuntimeError) << length;
    EXPECT_THROW(newStaticString(vm, u"", length), RuntimeError) << length;
  }
  EXPECT_EQ(vm->heap.bytesSinceCollection, before);
}

TEST(CheckedSizes, ProductsAndSumsBeyondTheLimitAreRefused) {
  size_t out;
  EXPECT_TRUE(checkedMul(1000, 24, &out));
  EXPECT_EQ(out, 24000u);
  EXPECT_FALSE(checkedMul(uint64_t(1) << 62, 24, &out));
  EXPECT_FALSE(checkedMul(kMaxHeapRequest, 2, &out));
  EXPECT_FALSE(checkedMul(UINT64_MAX, UINT64_MAX, &out));
  EXPECT_TRUE(checkedAdd(kMaxHeapRequest - 1, 1, &out));
  EXPECT_FALSE(checkedAdd(kMaxHeapRequest, 1, &out));
  EXPECT_FALSE(checkedAdd(UINT64_MAX, 2, &out));
}

TEST_F(HeapTest, FreedBlocksAreReusedAndHandedOutZeroed) {
  void* a = heapAlloc(vm, 64);
  std::memset(a, 0xAB, 64);
  heapFree(vm, a);
  EXPECT_EQ(blockHeader(a) & kBlockFree, kBlockFree);
  void* b = heapAlloc(vm, 50);
  ASSERT_EQ(b, a);
  std::vector<unsigned char> zero(64, 0);
  EXPECT_EQ(std::memcmp(b, zero.data(), 64), 0);
  heapFree(vm, nullptr);  // ignored
}

TEST_F(HeapTest, ResizeKeepsTheBlockWhileItFitsAndCopiesWhenItGrows) {
  auto* a = static_cast<unsigned char*>(heapAlloc(vm, 100));
  EXPECT_EQ(heapResize(vm, a, 128), a);
  for (int i = 0; i < 128; i++) a[i] = static_cast<unsigned char>(i + 1);
  auto* b = static_cast<unsigned char*>(heapResize(vm, a, 129));
  ASSERT_NE(b, a);
  EXPECT_EQ(heapBlockSize(b), 256u);
  for (int i = 0; i < 128; i++) ASSERT_EQ(b[i], i + 1);
  for (int i = 128; i < 256; i++) ASSERT_EQ(b[i], 0) << i;
  EXPECT_EQ(heapAlloc(vm, 128), a);  // the old block went back to its free list
  void* c = heapResize(vm, nullptr, 10);
  EXPECT_EQ(heapBlockSize(c), 16u);
}

TEST_F(HeapTest, FinalizedBlocksAreZeroedAndFlagged) {
  void* b = heapAllocFinalized(vm, 48);
  EXPECT_EQ(blockHeader(b) & kBlockFinalized, kBlockFinalized);
  EXPECT_EQ(*static_cast<BlockFinalizer*>(b), nullptr);
  EXPECT_EQ(heapBlockSize(b), 64u);
}

TEST_F(HeapTest, AllocationCounterRunsUntilACollectionResetsIt) {
  EXPECT_EQ(vm->heap.threshold, 0x200000u);
  heapAlloc(vm, 100);
  heapAlloc(vm, 3);
  EXPECT_EQ(vm->heap.bytesSinceCollection, 128u + 8u);
  EXPECT_FALSE(collectionDue(vm));
  while (vm->heap.bytesSinceCollection < 0x200000) heapAlloc(vm, 4096);
  EXPECT_TRUE(collectionDue(vm));
  uint64_t collections = vm->heap.collections;
  collectGarbage(vm);
  EXPECT_EQ(vm->heap.bytesSinceCollection, 0u);
  EXPECT_EQ(vm->heap.collections, collections + 1);
  EXPECT_FALSE(collectionDue(vm));
  // Everything was garbage: the free bytes are all of the chunks but their overhead.
  EXPECT_EQ(vm->heap.freeBytes, vm->heap.chunkBytes - vm->heap.chunkCount * kChunkOverhead);
}

// With much alive, the next collection waits until the heap has grown by a share of the survivors
// (marking them again after every threshold of allocation would cost the square of their number);
// once they are gone the threshold alone paces again.
TEST_F(HeapTest, CollectionsArePacedByWhatSurvivedTheLastOne) {
  ScriptObject* keep = newObject(vm);
  setGlobal("keep", ScriptValue::object(keep));
  for (int i = 0; i < 2048; i++)
    objectSetByKey(vm, keep, ScriptValue::integer(i), ScriptValue::string(newStringBuffer(vm, 2000)));
  collectGarbage(vm);
  uint64_t live = vm->heap.liveAfterSweep;
  EXPECT_GE(live, uint64_t{8} << 20);
  while (vm->heap.bytesSinceCollection < vm->heap.threshold) heapAlloc(vm, 4096);
  EXPECT_FALSE(collectionDue(vm));
  while (vm->heap.bytesSinceCollection < live / kSurvivorGrowthDivisor) heapAlloc(vm, 4096);
  EXPECT_TRUE(collectionDue(vm));

  setGlobal("keep", ScriptValue::undefined());
  collectGarbage(vm);
  EXPECT_LT(vm->heap.liveAfterSweep, vm->heap.threshold);
  while (vm->heap.bytesSinceCollection < vm->heap.threshold) heapAlloc(vm, 4096);
  EXPECT_TRUE(collectionDue(vm));
}

}  // namespace
}  // namespace vorlo::test
