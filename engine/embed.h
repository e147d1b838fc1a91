// The embedding surface: engines with their options, running text, source files and images, calling
// script functions from native code, eval/evals, pinned values, the result and the last message.
// Every entry that can run script code protects itself: a runtime error or an uncaught THROW ends
// the entry with a failure (the reason in the message) and leaves the engine usable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/value.h"
#include "engine/vm.h"

namespace vorlo {

// Binds the native classes into a new machine (the standard library supplies its registration list).
using ClassRegistration = void (*)(ScriptVM* vm);

struct Engine {
  VMOptions options;
  ScriptVM* vm;
};

// Null when the machine cannot be built or a registration fails.
Engine* createEngine(const VMOptions* options, ClassRegistration registerClasses);
void destroyEngine(Engine* engine);

// The compile flags derived from an options record.
uint32_t compileFlagsFor(const VMOptions& options);

// Runs: 1 on success (the result in vm->result); 0 when nothing could run (a compile error, a
// missing or malformed image); -1 for a source file that cannot be opened or compiled; and 0 too
// when the run failed with a runtime error or an uncaught THROW (runFailed tells the two apart).
int runText(Engine* engine, const char* text, size_t length);
// The same for native code that has only the machine (the compile options come from its flags).
int runTextInMachine(ScriptVM* vm, const char* text, size_t length);
int runSourceFile(Engine* engine, const char* path);
int runImageFile(Engine* engine, const char* path);
int runImageBuffer(Engine* engine, const uint8_t* bytes, size_t length);
// By extension: ".vsc" image, ".vos" source; otherwise by content (an optional "#" first line, then
// the image magic or source text).
int runFile(Engine* engine, const char* path);

// Runs fn(vm, context) under an error frame: false when a runtime error escaped from it.
bool guardedCall(Engine* engine, void (*fn)(ScriptVM* vm, void* context), void* context);

// Calling scripts from native code. `slots` is an ArgList of slotCount values (the count first).
// Each clears the message, sets vm->result to undefined, and answers true on success.
bool callValue(ScriptVM* vm, const ScriptValue* thisValue, const ScriptValue& function,
               uint32_t slotCount, const ScriptValue* slots);
bool callGlobal(ScriptVM* vm, const char* name, uint32_t slotCount, const ScriptValue* slots);
bool callMethod(ScriptVM* vm, const ScriptValue& receiver, const char* name, uint32_t slotCount,
                const ScriptValue* slots);

// The last diagnostic: the long message when one is kept, else the message buffer.
const char* engineMessage(const ScriptVM* vm);
// Function and line where the last failed entry left the script ("" when unknown).
const std::string& lastErrorLocation(const ScriptVM* vm);

// Defines the global functions `eval` and `evals` (done by createEngine).
void defineEvalFunctions(Engine* engine);

}  // namespace vorlo
