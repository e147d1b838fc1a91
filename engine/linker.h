// Loading a validated BytecodeImage into a machine: its constants are appended to the VM's constant
// table, every function is linked from byte code into word code (one 32-bit word per opcode and per
// operand, END appended) and bound to the global of its name. Names of anonymous and nested
// functions ("@F_n") are renumbered so that they stay unique across every image loaded into one VM.
#pragma once
#include <cstdint>

#include "engine/image.h"
#include "engine/value.h"

namespace vorlo {

struct ScriptVM;

struct LinePair {
  uint32_t word;  // word address within the function's code
  uint32_t line;
};

// A heap block with a finalizer (its first word) that owns everything else.
struct CompiledFunction {
  void (*finalizer)(ScriptVM*, void*);
  char* name;
  uint32_t* code;
  uint32_t codeWords;
  char* sourceName;  // "unknown" without a source-name record
  LinePair* lines;
  uint32_t lineCount;
};

// Makes the value of a regular-expression constant (the RegExp class supplies it).
using RegExpFactory = ScriptValue (*)(ScriptVM* vm, const char16_t* text, size_t length, int flags);

struct ImageLoadContext {
  // The VM-wide count of anonymous functions bound so far; advanced by every load.
  uint32_t* anonymousCounter = nullptr;
  // Without a factory a regular-expression constant loads as a static string of its source text.
  RegExpFactory makeRegExp = nullptr;
};

// Appends the constants (once per image object), links and binds every function. Returns the linked
// main function, or null when the image has none. Raises RuntimeError ("Out of memory").
CompiledFunction* loadImage(ScriptVM* vm, BytecodeImage& image, const ImageLoadContext& context);

// Links one function of the image (exposed for tests and tools).
CompiledFunction* linkFunction(ScriptVM* vm, const BytecodeImage& image, const ImageFunction& function);

}  // namespace vorlo
