#include "engine/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cstddef>

#include "engine/vm.h"

namespace vorlo {

ScriptError::ScriptError(const char* text) {
  std::snprintf(text_, sizeof text_, "%s", text ? text : "");
}

void raiseRuntimeError(ScriptVM* vm, const char* format, ...) {
  char detail[kMessageBufferSize - sizeof("Runtime error: ") + 1];
  va_list args;
  va_start(args, format);
  std::vsnprintf(detail, sizeof detail, format, args);
  va_end(args);
  std::snprintf(vm->message, sizeof vm->message, "Runtime error: %s", detail);
  throw RuntimeError(vm->message);
}

void raiseOutOfMemory(ScriptVM* vm) { raiseRuntimeError(vm, "%s", "Out of memory"); }

void raiseStackOverflow(ScriptVM* vm) {
  // The innermost host entry (eval's run, a comparator) that began in the deeper half of the value
  // stack did not exhaust the stack by itself: the recursion runs through natives, and ending only
  // that entry would let its callers go on as deep again. Such an overflow unwinds every entry; an
  // entry that filled the stack on its own ends alone.
  ExecutionState& exec = vm->exec;
  for (size_t i = exec.errorFrames.size(); i-- > 0;) {
    const ErrorFrame& f = exec.errorFrames[i];
    if (f.isTry) continue;
    ptrdiff_t usedBefore = f.sp ? stackTop(vm) - f.sp : 0;
    exec.stackOverflow = usedBefore * 2 >= ptrdiff_t(vm->stackSlots);
    break;
  }
  raiseRuntimeError(vm, "%s", "stack overflow");
}

void passOnStackOverflow(ScriptVM* vm) {
  if (vm->exec.stackOverflow && vm->exec.hostNesting > 0) raiseRuntimeError(vm, "%s", "stack overflow");
}

}  // namespace vorlo
