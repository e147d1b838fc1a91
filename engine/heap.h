// The collected heap: power-of-two blocks carved from large chunks, 20 segregated free lists, a mark
// bit and an optional finalizer per block. Blocks never move.
//
// Block format: one 8-byte header word in front of every block holding (size << 2) | flags. Sizes are
// multiples of 8 (requests round up to a power of two, at least 8), so every block starts 8-byte aligned
// on both targets and 64-bit integers and doubles inside records are always aligned.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vorlo {

struct ScriptVM;

// Called by the sweep with the block address just before the block is reclaimed. It is stored in the
// first word of a block allocated with heapAllocFinalized. It must not allocate from the collected heap
// and must not throw.
using BlockFinalizer = void (*)(ScriptVM* vm, void* block);

inline constexpr size_t kChunkSize = 102400;
inline constexpr int kFreeListCount = 20;
inline constexpr uint64_t kDefaultCollectThreshold = 0x200000;
// The collected heap may hold at most this many bytes of chunks unless the engine options say
// otherwise; beyond it allocation is "Out of memory". The same on every build, so a script that runs
// out of memory does so at the same point in the 32-bit product and in the 64-bit builds.
inline constexpr uint64_t kDefaultMemoryLimit = uint64_t(1536) << 20;
// The next collection comes when the heap has grown by this fraction (1/n) of what survived the last
// one, and never sooner than the threshold. A fixed threshold alone marks the whole live heap again
// after every threshold of allocation, so a program that keeps many records alive slows down with the
// square of its size; pacing by the survivors keeps the marking work proportional to allocation.
inline constexpr uint64_t kSurvivorGrowthDivisor = 2;
inline constexpr size_t kBlockHeaderSize = 8;
inline constexpr size_t kChunkHeaderSize = 16;
// Bytes of a chunk that no block can use: the chunk header and the first block's header.
inline constexpr size_t kChunkOverhead = kChunkHeaderSize + kBlockHeaderSize;
inline constexpr size_t kMinBlockSize = 8;

inline constexpr uint64_t kBlockMarked = 1;
inline constexpr uint64_t kBlockFinalized = 2;
inline constexpr uint64_t kBlockFree = 4;  // on a free list (detects a second free)

struct HeapChunk;
struct FreeBlock;

// What the last full collection learnt about the blocks with finalizers, and what has been made
// since. The collection that ends a run (collectAfterRun) decides from it whether a full collection
// could make any difference that can be seen.
struct FinalizerCensus {
  uint64_t quiet = 0;      // marked blocks whose finalizer only returns memory (counted by the marker)
  uint64_t acting = 0;     // marked blocks whose finalizer calls a class's finalize (marker)
  uint64_t surviving = 0;  // marked blocks with a finalizer (counted by the sweep)
  // Survivors of the last full collection whose finalizer may act: `acting` and every survivor the
  // marker could not name. Valid while `known`.
  uint64_t mayAct = 0;
  uint64_t madeSince = 0;  // blocks with a finalizer allocated since the last sweep
  bool known = false;
};

struct Heap {
  HeapChunk* chunks = nullptr;
  FreeBlock* freeLists[kFreeListCount] = {};
  uint32_t nonEmptyLists = 0;  // bit n set when free list n has a block
  uint64_t bytesSinceCollection = 0;
  uint64_t freeBytes = 0;
  uint64_t chunkBytes = 0;
  uint64_t limit = kDefaultMemoryLimit;  // the most chunkBytes may reach
  uint64_t chunkCount = 0;
  uint64_t collections = 0;
  uint64_t threshold = kDefaultCollectThreshold;  // the least allocation between two collections
  uint64_t liveAfterSweep = 0;  // bytes in blocks that survived the last sweep, headers included
  uint64_t bytesSinceSweep = 0;  // allocated since the last full collection, deferred ones aside
  FinalizerCensus census;
  bool sweeping = false;
};

// The allocation since the last collection at which the next one is due: the threshold, or the
// paced share of the survivors when that is larger.
inline uint64_t collectionAllowance(const Heap& heap) {
  uint64_t paced = heap.liveAfterSweep / kSurvivorGrowthDivisor;
  return paced > heap.threshold ? paced : heap.threshold;
}
inline bool heapCollectionDue(const Heap& heap) {
  return heap.bytesSinceCollection >= heap.threshold &&
         heap.bytesSinceCollection >= heap.liveAfterSweep / kSurvivorGrowthDivisor;
}

// Size classes: 0 below 8 bytes, otherwise the number of significant bits of (size >> 3), at most 19.
int sizeClass(size_t size);
// The block size a request gets: the next power of two, at least kMinBlockSize. Raises "Out of
// memory" for a request larger than kMaxHeapRequest.
size_t roundedBlockSize(ScriptVM* vm, size_t request);

// A zeroed block of at least `size` bytes. Never collects. Raises "Out of memory" when the request is
// too large to represent or the system has no memory for a new chunk.
void* heapAlloc(ScriptVM* vm, size_t size);
// As heapAlloc, with the finalizer flag set; the caller stores the BlockFinalizer in the first word.
void* heapAllocFinalized(ScriptVM* vm, size_t size);
// Returns a block to its free list at once, without running its finalizer. Null is ignored.
void heapFree(ScriptVM* vm, void* block);
// The block itself when it already holds `size` bytes; otherwise a new block with the old contents
// (the rest zeroed), the old one freed. A null block behaves as heapAlloc.
void* heapResize(ScriptVM* vm, void* block, size_t size);

inline uint64_t& blockHeader(void* block) {
  return *reinterpret_cast<uint64_t*>(static_cast<char*>(block) - kBlockHeaderSize);
}
inline uint64_t blockHeader(const void* block) {
  return *reinterpret_cast<const uint64_t*>(static_cast<const char*>(block) - kBlockHeaderSize);
}
inline size_t heapBlockSize(const void* block) {
  return static_cast<size_t>((blockHeader(block) >> 2) & ~uint64_t(7));
}
// Sets the mark bit; false when the block was already marked.
inline bool heapTryMark(void* block) {
  uint64_t& h = blockHeader(block);
  if (h & kBlockMarked) return false;
  h |= kBlockMarked;
  return true;
}
inline bool heapIsMarked(const void* block) { return (blockHeader(block) & kBlockMarked) != 0; }

// Reclaims every unmarked block (finalizers first, adjacent garbage merged) and clears the marks of
// the rest. Empties and rebuilds the free lists and resets the byte counters.
void heapSweep(ScriptVM* vm);
// Clears every mark bit (used when a marking phase cannot be completed).
void heapClearMarks(ScriptVM* vm);
// Returns every chunk to the system. Only for the end of the VM.
void heapReleaseChunks(Heap& heap);

struct HeapBlockInfo {
  void* block;
  size_t size;
  uint64_t flags;
};
// Walks every block of every chunk in address order within each chunk (diagnostics and tests).
template <typename Visit>
void heapForEachBlock(const Heap& heap, Visit&& visit);

// --- implementation detail of heapForEachBlock ---
struct HeapChunk {
  HeapChunk* next;
  uint64_t bytes;  // keeps the header 16 bytes on both targets
};
static_assert(sizeof(HeapChunk) == kChunkHeaderSize);

inline char* chunkFirstBlock(HeapChunk* chunk) {
  return reinterpret_cast<char*>(chunk) + kChunkOverhead;
}
inline char* chunkEnd(HeapChunk* chunk) { return reinterpret_cast<char*>(chunk) + chunk->bytes; }

template <typename Visit>
void heapForEachBlock(const Heap& heap, Visit&& visit) {
  for (HeapChunk* chunk = heap.chunks; chunk; chunk = chunk->next) {
    for (char* p = chunkFirstBlock(chunk); p < chunkEnd(chunk);) {
      size_t size = heapBlockSize(p);
      visit(HeapBlockInfo{p, size, blockHeader(p) & 7});
      p += size + kBlockHeaderSize;
    }
  }
}

}  // namespace vorlo
