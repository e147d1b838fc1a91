#include "engine/pin.h"

#include <cstdlib>

#include "engine/error.h"
#include "engine/native.h"
#include "engine/vm.h"

namespace vorlo {

PinnedValue* pinValue(ScriptVM* vm, const ScriptValue& value) {
  auto* node = static_cast<PinnedValue*>(std::malloc(sizeof(PinnedValue)));
  if (!node) raiseOutOfMemory(vm);
  node->value = value;
  node->tag = kPinTag;
  node->self = node;
  node->prev = nullptr;
  node->next = vm->pinned;
  if (vm->pinned) vm->pinned->prev = node;
  vm->pinned = node;
  return node;
}

PinnedValue* findPinned(const ScriptVM* vm, const void* handle) {
  for (PinnedValue* p = vm->pinned; p; p = p->next) {
    if (p == handle) return p->tag == kPinTag && p->self == p ? p : nullptr;
  }
  return nullptr;
}

bool unpinValue(ScriptVM* vm, const void* handle) {
  PinnedValue* node = findPinned(vm, handle);
  if (!node) return false;
  if (node->prev) node->prev->next = node->next;
  else vm->pinned = node->next;
  if (node->next) node->next->prev = node->prev;
  if (node->value.is(KindNative) && node->value.asNative()) releaseNativeData(node->value.asNative());
  node->tag = 0;
  node->self = nullptr;
  std::free(node);
  return true;
}

void releasePinned(ScriptVM* vm) {
  while (PinnedValue* node = vm->pinned) {
    vm->pinned = node->next;
    std::free(node);
  }
}

}  // namespace vorlo
