#include "engine/heap.h"

#include <bit>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "engine/checked.h"
#include "engine/error.h"
#include "engine/vm.h"

namespace vorlo {

struct FreeBlock {
  FreeBlock* next;
};

namespace {

void setHeader(void* block, size_t size, uint64_t flags) {
  blockHeader(block) = (static_cast<uint64_t>(size) << 2) | flags;
}

void pushFree(Heap& heap, void* block, size_t size) {
  setHeader(block, size, kBlockFree);
  int c = sizeClass(size);
  auto* fb = static_cast<FreeBlock*>(block);
  fb->next = heap.freeLists[c];
  heap.freeLists[c] = fb;
  heap.nonEmptyLists |= 1u << c;
  heap.freeBytes += size;
}

// First block of at least `size` bytes from the list of its class or any higher one. Below class 19
// the head of a list always fits (a class holds [2^(c+2), 2^(c+3)) bytes and requests are powers of
// two); class 19 holds everything from 2 MiB up and is searched.
void* takeFree(Heap& heap, size_t size) {
  int c = sizeClass(size);
  uint32_t candidates = heap.nonEmptyLists & ~((1u << c) - 1);
  while (candidates) {
    int list = std::countr_zero(candidates);
    candidates &= candidates - 1;
    FreeBlock** link = &heap.freeLists[list];
    for (FreeBlock* fb = *link; fb; link = &fb->next, fb = fb->next) {
      size_t have = heapBlockSize(fb);
      if (have < size) continue;
      *link = fb->next;
      if (!heap.freeLists[list]) heap.nonEmptyLists &= ~(1u << list);
      heap.freeBytes -= have;
      return fb;
    }
  }
  return nullptr;
}

void addChunk(ScriptVM* vm, size_t rounded) {
  Heap& heap = vm->heap;
  size_t bytes = rounded > kChunkSize - kChunkOverhead ? rounded + kChunkOverhead : kChunkSize;
  if (bytes > heap.limit || heap.chunkBytes > heap.limit - bytes) raiseOutOfMemory(vm);
  auto* chunk = static_cast<HeapChunk*>(std::malloc(bytes));
  if (!chunk) raiseOutOfMemory(vm);
  chunk->next = heap.chunks;
  chunk->bytes = bytes;
  heap.chunks = chunk;
  heap.chunkBytes += bytes;
  heap.chunkCount++;
  pushFree(heap, chunkFirstBlock(chunk), bytes - kChunkOverhead);
}

void* allocate(ScriptVM* vm, size_t request, uint64_t flags) {
  Heap& heap = vm->heap;
  assert(!heap.sweeping && "a finalizer must not allocate from the collected heap");
  if (heap.sweeping) throw std::logic_error("heap allocation inside a finalizer");
  size_t rounded = roundedBlockSize(vm, request);
  void* block;
  while (!(block = takeFree(heap, rounded))) addChunk(vm, rounded);
  size_t size = heapBlockSize(block);
  if (size - rounded > 8) {
    char* rest = static_cast<char*>(block) + rounded + kBlockHeaderSize;
    pushFree(heap, rest, size - rounded - kBlockHeaderSize);
    size = rounded;
  }
  setHeader(block, size, flags);
  heap.bytesSinceCollection += size;
  heap.bytesSinceSweep += size;
  if (flags & kBlockFinalized) heap.census.madeSince++;
  // Zeroed so that a record is never seen by the marker holding stale pointers.
  std::memset(block, 0, size);
  return block;
}

void runFinalizer(ScriptVM* vm, void* block) {
  uint64_t& h = blockHeader(block);
  if (!(h & kBlockFinalized)) return;
  h &= ~kBlockFinalized;  // a finalizer runs once, whatever happens next
  BlockFinalizer fn = *static_cast<BlockFinalizer*>(block);
  if (!fn) return;
  try {
    fn(vm, block);
  } catch (...) {
    // Nothing can be unwound from the middle of a sweep; the block is reclaimed regardless.
  }
}

}  // namespace

int sizeClass(size_t size) {
  if (size < 8) return 0;
  int bits = std::bit_width(size >> 3);
  return bits < kFreeListCount - 1 ? bits : kFreeListCount - 1;
}

size_t roundedBlockSize(ScriptVM* vm, size_t request) {
  if (request > kMaxHeapRequest) raiseOutOfMemory(vm);
  if (request < kMinBlockSize) return kMinBlockSize;
  return std::bit_ceil(request);
}

void* heapAlloc(ScriptVM* vm, size_t size) { return allocate(vm, size, 0); }

void* heapAllocFinalized(ScriptVM* vm, size_t size) {
  if (size < sizeof(BlockFinalizer)) size = sizeof(BlockFinalizer);
  return allocate(vm, size, kBlockFinalized);
}

void heapFree(ScriptVM* vm, void* block) {
  if (!block) return;
  uint64_t h = blockHeader(block);
  assert(!(h & kBlockFree) && "heap block freed twice");
  if (h & kBlockFree) return;
  pushFree(vm->heap, block, heapBlockSize(block));
}

void* heapResize(ScriptVM* vm, void* block, size_t size) {
  if (!block) return heapAlloc(vm, size);
  size_t have = heapBlockSize(block);
  if (have >= size) return block;
  void* grown = allocate(vm, size, blockHeader(block) & kBlockFinalized);
  std::memcpy(grown, block, have);
  blockHeader(block) &= ~kBlockFinalized;  // the finalizer travels with the contents
  heapFree(vm, block);
  return grown;
}

void heapSweep(ScriptVM* vm) {
  Heap& heap = vm->heap;
  heap.sweeping = true;
  for (auto& list : heap.freeLists) list = nullptr;
  heap.nonEmptyLists = 0;
  heap.freeBytes = 0;
  heap.bytesSinceCollection = 0;
  heap.bytesSinceSweep = 0;
  heap.census.surviving = 0;
  heap.census.madeSince = 0;
  for (HeapChunk* chunk = heap.chunks; chunk; chunk = chunk->next) {
    char* end = chunkEnd(chunk);
    char* p = chunkFirstBlock(chunk);
    while (p < end) {
      size_t size = heapBlockSize(p);
      uint64_t& h = blockHeader(p);
      if (h & kBlockMarked) {
        if (h & kBlockFinalized) heap.census.surviving++;
        h &= ~kBlockMarked;
        p += size + kBlockHeaderSize;
        continue;
      }
      // A run of garbage: finalizers in address order, then one free block for the whole run.
      char* run = p;
      size_t runSize = size;
      runFinalizer(vm, p);
      p += size + kBlockHeaderSize;
      while (p < end && !heapIsMarked(p)) {
        size_t next = heapBlockSize(p);
        runFinalizer(vm, p);
        runSize += next + kBlockHeaderSize;
        p += next + kBlockHeaderSize;
      }
      pushFree(heap, run, runSize);
    }
  }
  heap.liveAfterSweep = heap.chunkBytes - heap.freeBytes - heap.chunkCount * kChunkHeaderSize;
  heap.collections++;
  heap.sweeping = false;
}

void heapClearMarks(ScriptVM* vm) {
  for (HeapChunk* chunk = vm->heap.chunks; chunk; chunk = chunk->next) {
    for (char* p = chunkFirstBlock(chunk); p < chunkEnd(chunk); p += heapBlockSize(p) + kBlockHeaderSize)
      blockHeader(p) &= ~kBlockMarked;
  }
}

void heapReleaseChunks(Heap& heap) {
  while (HeapChunk* chunk = heap.chunks) {
    heap.chunks = chunk->next;
    std::free(chunk);
  }
  for (auto& list : heap.freeLists) list = nullptr;
  heap.nonEmptyLists = 0;
  heap.freeBytes = heap.chunkBytes = heap.chunkCount = 0;
  heap.liveAfterSweep = 0;
}

}  // namespace vorlo
