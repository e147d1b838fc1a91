// Shared fixture of the engine tests: a fresh machine per test and a small native class that counts
// its finalizations.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "engine/gc.h"
#include "engine/native.h"
#include "engine/object.h"
#include "engine/string.h"
#include "engine/tables.h"
#include "engine/vm.h"

namespace vorlo::test {

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vm = createVM();
    ASSERT_NE(vm, nullptr);
  }
  void TearDown() override { destroyVM(vm); }

  ScriptValue str(const char* ascii) {
    std::u16string wide(ascii, ascii + std::char_traits<char>::length(ascii));
    return ownedString(vm, wide);
  }
  static std::string text(const ScriptValue& v) {
    if (!v.isString()) return "<kind " + std::to_string(v.kind) + ">";
    std::u16string_view s = stringView(v.asString());
    return std::string(s.begin(), s.end());
  }
  ScriptValue newObjectValue() { return ScriptValue::object(newObject(vm)); }
  Atom atom(const char* name) { return intern(vm, name); }
  void setGlobal(const char* name, const ScriptValue& v) { vorlo::setGlobal(vm, atom(name), v); }
  // True when `block` starts a heap block that is not free. Garbage merged into a free run is not a
  // block start any more, so this cannot be fooled by contents left behind in reclaimed memory.
  bool isLiveBlock(const void* block) const {
    bool live = false;
    heapForEachBlock(vm->heap, [&](const HeapBlockInfo& b) {
      if (b.block == block) live = !(b.flags & kBlockFree);
    });
    return live;
  }
  // Bytes in blocks that are not free.
  uint64_t liveBytes() const {
    return vm->heap.chunkBytes - vm->heap.chunkCount * kChunkOverhead - vm->heap.freeBytes;
  }
  bool isLiveString(const ScriptValue& v) const {
    const ScriptString* s = v.asString();
    return isLiveBlock(s) && (isStatic(s) || !s->chars || isLiveBlock(s->chars));
  }

  ScriptVM* vm = nullptr;
};

// Native data of the counting class: how many times finalize saw it.
struct Counted {
  int finalized = 0;
  ScriptValue held;  // marked by the class's mark slot
};

// Like a registered class, it is kept alive by its class object in a global of its own.
inline NativeClass* newCountingClass(ScriptVM* vm) {
  NativeClass* cls = newNativeClass(vm);
  std::string name = "CountingClass" + std::to_string(vm->globals.count);
  setGlobal(vm, intern(vm, name.c_str()), ScriptValue::native(newNativeObject(vm, cls, nullptr)));
  cls->finalize = [](NativeClass*, void* self) { static_cast<Counted*>(self)->finalized++; };
  cls->mark = [](ScriptVM* vm, NativeClass*, void* self) { markValue(vm, static_cast<Counted*>(self)->held); };
  return cls;
}

}  // namespace vorlo::test
