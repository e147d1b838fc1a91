// The script machine: one collected heap, its names, globals and constants, the value stack and the
// host-facing state. This is the engine's chief header.
#pragma once
#include <cstdint>
#include <vector>

#include "engine/error.h"
#include "engine/frames.h"
#include "engine/heap.h"
#include "engine/keywords.h"
#include "engine/options.h"
#include "engine/properties.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/value.h"

namespace vorlo {

struct NativeClass;
struct PinnedValue;
// What the application embedding the machine gives its host classes (main window, work folder,
// control): defined by the host layer, opaque to the engine.
struct HostContext;

inline constexpr uint32_t kDefaultStackSlots = 4096;

// `event` is a HookEvent (options.h).
using HookFunction = int (*)(ScriptVM* vm, int event, uint32_t hookData);

// The options a host passes at creation (copied), in the order the embedding defines them.
struct VMOptions {
  uint32_t stackSlots = kDefaultStackSlots;   // size of the value stack, in values
  uint32_t hostWord = 2;                      // kept for the host; the engine never reads it
  uint32_t userValue = 0;                     // becomes ScriptVM::userValue; sets kCompileHasUserValue
  uint32_t optionBits = kDefaultOptionFlags;  // OptionBits
  HookFunction hook = nullptr;                // called after collections (HookEvent::AfterCollection)
  uint32_t hookData = 0;                      // passed to the hook
  uint32_t hostWords[2] = {0, 0xFFFFFFFFu};   // kept for the host; the engine never reads them
  uint64_t memoryLimit = kDefaultMemoryLimit; // bytes of collected heap; beyond them "Out of memory"
};

// The names every machine interns first, in this order (so their Atoms are 0 to 4).
struct EngineAtoms {
  Atom proto = 0;      // "__proto__"
  Atom prototype = 0;  // "prototype"
  Atom toSource = 0;   // "toSource"
  Atom toString = 0;   // "toString"
  Atom valueOf = 0;    // "valueOf"
};

// Pieces that the interpreter supplies once it exists. Until one is installed the engine behaves as
// a machine without script code: no function value can be run.
struct EngineHooks {
  // Calls a script function value with `thisValue` and an ArgList. True with the result when the call
  // completed; false when it failed (the reason is left in the message buffer). Like every call from
  // native code into scripts, a run ends with a collection.
  bool (*callFunction)(ScriptVM* vm, const ScriptValue& thisValue, const ScriptValue& function,
                       const ScriptValue* args, ScriptValue* result) = nullptr;
  // Makes the value of a regular-expression constant of a loaded image (pattern text, flags 1 g,
  // 2 i, 4 m); installed by the RegExp class. Without it such a constant loads as its source text.
  ScriptValue (*makeRegExp)(ScriptVM* vm, const char16_t* text, size_t length, int flags) = nullptr;
};

// State a native class keeps for one machine, found by its type key (the binding's classState<T>).
struct ClassStateSlot {
  const void* type;
  void* state;
  void (*release)(void* state);
  void (*mark)(ScriptVM* vm, void* state);  // null when the state holds no script values
};

// A run of values linked into the VM by a scoped root (roots.h).
struct RootLink {
  RootLink* prev;
  ScriptValue* values;
  size_t count;
};

// A frame's with-scope: a heap block holding a count and that many values.
struct WithList {
  uint64_t count;
  ScriptValue values[1];
};

// Work item of the marker: a record whose children still have to be marked.
struct MarkItem {
  void* record;
  uint32_t kind;
};

struct ScriptVM {
  uint32_t userValue = 0;  // first field, for the host
  uint32_t optionBits = 0;  // OptionBits, from VMOptions
  uint32_t hookData = 0;
  HookFunction hook = nullptr;

  Heap heap;
  SymbolTable symbols;
  GlobalTable globals;
  ConstantTable constants;
  std::vector<char16_t*> constantTexts;  // characters of string constants, owned by the VM

  // The value stack grows downward: stackPointer is the next free slot, the live values lie above it
  // up to stack + stackSlots.
  ScriptValue* stack = nullptr;
  uint32_t stackSlots = 0;
  ScriptValue* stackPointer = nullptr;

  ScriptValue result;
  KeywordTable keywords;  // filled by loadKeywords before each compilation
  char message[kMessageBufferSize] = {};

  // The class serving each value kind that is not a native object (filled by the class registrations).
  NativeClass* kindClasses[kKindCount] = {};
  PinnedValue* pinned = nullptr;
  RootLink* roots = nullptr;
  EngineAtoms atoms;
  EngineHooks hooks;
  ArrayElementOps arrayOps;     // installed by the Array class
  IndexClasses indexClasses;    // classes with index access of their own
  std::vector<MarkItem> markStack;
  ExecutionState exec;  // the interpreter's state (frames.h)
  std::vector<ClassStateSlot> classStates;  // marked as roots, released after the last finalizer
  HostContext* host = nullptr;  // set by the embedding application; null in the tools and tests
};

// A new machine, or null when memory runs out while it is built.
ScriptVM* createVM(const VMOptions* options = nullptr);
// Runs every finalizer and returns all memory.
void destroyVM(ScriptVM* vm);

inline ScriptValue* stackTop(ScriptVM* vm) { return vm->stack + vm->stackSlots; }

// Keeps a copy of constant text for the life of the VM (string constants of loaded images refer to it).
const char16_t* keepConstantText(ScriptVM* vm, const char16_t* text, size_t length);

}  // namespace vorlo
