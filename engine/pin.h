// Pinned values: values the host keeps alive across runs, handed out as node addresses.
#pragma once
#include <cstdint>

#include "engine/value.h"

namespace vorlo {

inline constexpr uint32_t kPinTag = 0x6E6F6465;  // "node"

struct PinnedValue {
  ScriptValue value;
  uint32_t tag;
  PinnedValue* self;
  PinnedValue* prev;
  PinnedValue* next;
};

// Appends a node holding a copy of the value; the node address is the handle.
PinnedValue* pinValue(ScriptVM* vm, const ScriptValue& value);
// The node behind a handle of this VM, or null. The handle is compared with the VM's live nodes
// before anything is read through it, so a stale or forged handle is refused safely.
PinnedValue* findPinned(const ScriptVM* vm, const void* handle);
// Unlinks and frees a node. A pinned native object has its class's finalize run on the native data at
// once (the data pointer is cleared, so the later collection of the object does not finalize again).
// False when the handle is not a live node of this VM.
bool unpinValue(ScriptVM* vm, const void* handle);
void releasePinned(ScriptVM* vm);

}  // namespace vorlo
