#include "engine/vm.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/checked.h"
#include "engine/pin.h"

namespace vorlo {

namespace {

void buildVM(ScriptVM* vm, const VMOptions& options) {
  vm->userValue = options.userValue;
  vm->optionBits = options.optionBits;
  vm->hook = options.hook;
  vm->hookData = options.hookData;
  vm->heap.limit = options.memoryLimit;
  size_t bytes;
  if (options.stackSlots < 16 || !checkedMul(options.stackSlots, sizeof(ScriptValue), &bytes))
    raiseOutOfMemory(vm);
  vm->stack = static_cast<ScriptValue*>(std::calloc(options.stackSlots, sizeof(ScriptValue)));
  if (!vm->stack) raiseOutOfMemory(vm);
  vm->stackSlots = options.stackSlots;
  vm->stackPointer = stackTop(vm) - 1;
  vm->atoms.proto = intern(vm, "__proto__");
  vm->atoms.prototype = intern(vm, "prototype");
  vm->atoms.toSource = intern(vm, "toSource");
  vm->atoms.toString = intern(vm, "toString");
  vm->atoms.valueOf = intern(vm, "valueOf");
}

}  // namespace

ScriptVM* createVM(const VMOptions* options) {
  auto* vm = new (std::nothrow) ScriptVM;
  if (!vm) return nullptr;
  try {
    buildVM(vm, options ? *options : VMOptions{});
  } catch (const std::exception&) {
    destroyVM(vm);
    return nullptr;
  }
  return vm;
}

void destroyVM(ScriptVM* vm) {
  if (!vm) return;
  // Nothing is marked between collections, so this sweep reclaims every block and runs every
  // finalizer.
  heapSweep(vm);
  for (const ClassStateSlot& slot : vm->classStates) slot.release(slot.state);
  releasePinned(vm);
  for (char16_t* text : vm->constantTexts) std::free(text);
  releaseTable(vm->constants);
  releaseSymbols(vm->symbols);
  releaseTable(vm->globals);
  std::free(vm->stack);
  heapReleaseChunks(vm->heap);
  delete vm;
}

const char16_t* keepConstantText(ScriptVM* vm, const char16_t* text, size_t length) {
  size_t bytes;
  if (!checkedMul(length ? length : 1, sizeof(char16_t), &bytes)) raiseOutOfMemory(vm);
  auto* copy = static_cast<char16_t*>(std::malloc(bytes));
  if (!copy) raiseOutOfMemory(vm);
  if (length) std::memcpy(copy, text, length * sizeof(char16_t));
  try {
    vm->constantTexts.push_back(copy);
  } catch (const std::bad_alloc&) {
    std::free(copy);
    raiseOutOfMemory(vm);
  }
  return copy;
}

}  // namespace vorlo
