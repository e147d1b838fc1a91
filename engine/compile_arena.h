// Memory for one compilation: tokens' texts and syntax-tree nodes come from blocks of the VM heap
// that are all returned when the compilation ends. No collection may run while a compilation holds
// an arena (the blocks are not reachable from any root).
#pragma once
#include <cstddef>
#include <vector>

#include "engine/token.h"

namespace vorlo {

struct ScriptVM;

class CompileArena {
 public:
  explicit CompileArena(ScriptVM* vm) : vm_(vm) {}
  ~CompileArena();
  CompileArena(const CompileArena&) = delete;
  CompileArena& operator=(const CompileArena&) = delete;

  // `size` zeroed bytes, 8-byte aligned. Raises "Out of memory" like the heap.
  void* allocate(size_t size);
  template <typename T>
  T* make() {
    return new (allocate(sizeof(T))) T();
  }
  // A NUL-terminated copy of `length` bytes.
  Text copyText(const char* text, size_t length);

  ScriptVM* vm() const { return vm_; }

 private:
  static constexpr size_t kBlockSize = 16384;
  ScriptVM* vm_;
  std::vector<void*> blocks_;
  char* cursor_ = nullptr;
  size_t left_ = 0;
};

}  // namespace vorlo
