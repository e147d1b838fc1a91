// Function values: a compiled function and the function's property object.
#pragma once
#include "engine/value.h"

namespace vorlo {

// Made by the image loader: a heap block with a finalizer that owns the word code, names and line
// table. The collector treats it as a leaf block.
struct CompiledFunction;

struct FunctionValue {
  CompiledFunction* code;
  // Created on the first `new` of the function; objects constructed from it get it as "__proto__".
  ScriptObject* props;
};

FunctionValue* newFunctionValue(ScriptVM* vm, CompiledFunction* code);

}  // namespace vorlo
