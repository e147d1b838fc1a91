#include "engine/compile_arena.h"

#include <cstring>
#include <new>

#include "engine/checked.h"
#include "engine/error.h"
#include "engine/heap.h"

namespace vorlo {

CompileArena::~CompileArena() {
  for (void* block : blocks_) heapFree(vm_, block);
}

void* CompileArena::allocate(size_t size) {
  size_t rounded;
  if (!checkedAdd(size, 7, &rounded)) raiseOutOfMemory(vm_);
  rounded &= ~size_t(7);
  if (rounded == 0) rounded = 8;
  try {
    // Room for the next block first, so that a block is never allocated without being recorded.
    if (blocks_.size() == blocks_.capacity()) blocks_.reserve(blocks_.size() * 2 + 8);
  } catch (const std::bad_alloc&) {
    raiseOutOfMemory(vm_);
  }
  if (rounded > kBlockSize / 4) {
    // Large texts get a block of their own so that the current block is not wasted.
    void* block = heapAlloc(vm_, rounded);
    blocks_.push_back(block);
    return block;
  }
  if (rounded > left_) {
    cursor_ = static_cast<char*>(heapAlloc(vm_, kBlockSize));
    blocks_.push_back(cursor_);
    left_ = kBlockSize;
  }
  void* p = cursor_;
  cursor_ += rounded;
  left_ -= rounded;
  return p;
}

Text CompileArena::copyText(const char* text, size_t length) {
  size_t bytes;
  if (!checkedAdd(length, 1, &bytes)) raiseOutOfMemory(vm_);
  auto* copy = static_cast<char*>(allocate(bytes));
  if (length) std::memcpy(copy, text, length);
  copy[length] = '\0';
  return Text{copy, length};
}

}  // namespace vorlo
