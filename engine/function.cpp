#include "engine/function.h"

#include "engine/heap.h"

namespace vorlo {

FunctionValue* newFunctionValue(ScriptVM* vm, CompiledFunction* code) {
  auto* f = static_cast<FunctionValue*>(heapAlloc(vm, sizeof(FunctionValue)));
  f->code = code;
  return f;
}

}  // namespace vorlo
