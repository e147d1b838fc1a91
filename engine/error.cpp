#include "engine/error.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

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

}  // namespace vorlo
