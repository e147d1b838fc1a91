// The interpreter: runs the word code of linked functions on the machine's value stack.
//
// Stack layout (the stack grows downward; fp designates a frame's link slot):
//   fp + k + 1   frame slot k: 0 `this`, 1 the argument count, 2... the arguments
//   fp           frame link: the caller's fp (0 for the outermost frame of a run)
//   fp - 1       frame info: slot count before ARGFIX padding (low word), padded slots (high word)
//   fp - 2       the frame's with-list (0 when empty)
//   fp - 3       return instruction (0 for the outermost frame)
//   fp - 4 - j   local j
// The four slots from fp down are the frame header (FrameHeaderSlot); they hold the only pointers on
// the stack. Script-to-script calls push a frame and continue in the same loop; only native code
// recurses.
#pragma once
#include <cstdint>

#include "engine/error.h"
#include "engine/value.h"

namespace vorlo {

struct CompiledFunction;

// The frame header: each slot's distance below fp, and the header's size (local j lies at
// fp - kFrameHeaderSlots - j).
enum FrameHeaderSlot : int {
  kFrameLinkSlot = 0,
  kFrameInfoSlot = 1,
  kFrameWithListSlot = 2,
  kFrameReturnSlot = 3,
};
inline constexpr int kFrameHeaderSlots = 4;

// A THROW that left the script: the message buffer holds the thrown value's text, or a try frame of
// the running script receives the value (ExecutionState::exception).
class ScriptThrow : public ScriptError {
 public:
  using ScriptError::ScriptError;
};

// Runs `code` with `thisValue` (null when none) and the n slots of an ArgList (the count first).
// The result goes to vm->result; a run ends with a collection. An error that no script handler
// catches leaves as RuntimeError or ScriptThrow, with the value stack as it was on entry.
void runFunction(ScriptVM* vm, const ScriptValue* thisValue, CompiledFunction* code, uint32_t n,
                 const ScriptValue* slots);

// The name of a fused instruction that the interpreter wrote over the first word of a sequence in
// running code ("Form.Source.Operator" of engine/fused_instructions.inc, such as
// "LocalPushCompareJump.Const.Lt"), or null for any other word.
const char* fusedInstructionName(uint32_t word);

// A collection when one is due, then the host's hook (event 2); a nonzero answer is the runtime
// error "hook break N".
void collectionPoint(ScriptVM* vm);

}  // namespace vorlo
