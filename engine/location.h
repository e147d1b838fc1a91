// Where an instruction lies: the function whose word code contains it and, with debug information,
// the source name and line.
#pragma once
#include <cstdint>
#include <string>

namespace vorlo {

struct ScriptVM;
struct CompiledFunction;

struct CodeLocation {
  const CompiledFunction* function = nullptr;  // null when no running code contains the address
  std::string functionName;                   // ".main" when none is found
  std::string sourceName;                     // empty without debug information
  uint32_t line = 0;                          // from 1 as editors count; 0 without debug information
};

// Searches the functions being run (innermost first), then the functions held by globals.
CodeLocation locateInstruction(const ScriptVM* vm, const uint32_t* ip);
// "in function f (file.vos:3)", "in function f", or "" when ip is null.
std::string describeLocation(const ScriptVM* vm, const uint32_t* ip);

}  // namespace vorlo
