#include "stdlib/globals.h"

#include <limits>
#include <string>

#include "engine/convert.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/trace.h"
#include "engine/vm.h"
#include "stdlib/binding.h"

namespace vorlo {

namespace {

// trace(a, b, ...): every argument's string form, one after another, as one line.
void traceCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  std::string line;
  int64_t n = argCount(args);
  for (int64_t i = 0; i < n; i++) {
    ValueRoot arg(vm, args[1 + i]);
    line += toAnsiText(vm, arg.value);
  }
  traceLine(line);
  *result = ScriptValue::undefined();
}

// In registration order; parseInt, parseFloat, escape, unescape, isNaN and isFinite join this list
// ahead of trace when they exist.
constexpr GlobalFunction kGlobalFunctions[] = {
    {"trace", traceCall},
};

}  // namespace

void registerGlobals(ScriptVM* vm) {
  setGlobal(vm, intern(vm, "NaN"), ScriptValue::nan());
  setGlobal(vm, intern(vm, "Infinity"), ScriptValue::number(std::numeric_limits<double>::infinity()));
  registerGlobalFunctions(vm, kGlobalFunctions);
}

}  // namespace vorlo
