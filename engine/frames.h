// Execution state of the interpreter kept in the machine: the error-frame chain (host entries and
// script TRY handlers), the code of the script frames being run, the nesting of host entries and the
// saved position of the running instruction.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/value.h"

namespace vorlo {

struct CompiledFunction;

// One link of the error-frame chain. A plain frame marks a host entry; a try frame holds where a
// script handler resumes.
struct ErrorFrame {
  bool isTry = false;
  ScriptValue* sp = nullptr;
  ScriptValue* fp = nullptr;
  const uint32_t* catchIp = nullptr;
  size_t codeDepth = 0;
};

// Nested host entries (natives calling scripts calling natives...) are bounded so that deep recursion
// through conversions, comparators or eval ends with "stack overflow" rather than exhausting the
// native stack. Each level costs a few kilobytes of native stack at most; the Windows executables
// reserve 8 MB of stack so both builds stop at this same depth.
inline constexpr uint32_t kMaxHostNesting = 200;

struct ExecutionState {
  std::vector<ErrorFrame> errorFrames;
  // Code of every script frame being run, innermost last (keeps the code alive and locates errors).
  std::vector<CompiledFunction*> runningCode;
  uint32_t hostNesting = 0;
  // A stack overflow is unwinding (set when raised, cleared when a script handler takes it or the
  // outermost entry starts).
  bool stackOverflow = false;
  // Saved by the interpreter before it calls native code and before it raises an error.
  const uint32_t* savedIp = nullptr;
  // The value a THROW hands to a try frame.
  ScriptValue exception;
  // Function and line where the last uncaught error left a script ("" until one did).
  std::string errorLocation;
  // Compiler messages of 1,024 bytes or more (the message buffer then holds a truncated copy).
  std::string longMessage;
  uint32_t anonymousCounter = 0;
};

}  // namespace vorlo
