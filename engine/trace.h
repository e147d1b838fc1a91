// The trace output: the one log of the system. `trace` lines, engine warnings and messages of native
// code go here as ANSI text lines; the host decides where they end up (the projector's trace file,
// the command-line tool's standard output) and discards them while it has no place for them.
#pragma once
#include <string_view>

#include "engine/value.h"

namespace vorlo {

// Receives one line of text without its line end.
using TraceSink = void (*)(void* context, std::string_view line);

// Process-wide, as the trace file is.
void setTraceSink(TraceSink sink, void* context);
void traceLine(std::string_view line);

// "Warning: " lines formatted from a message with one %s, which receives `name` (the engine's own
// messages only; never a script's text as the format).
void writeWarning(ScriptVM* vm, const char* message);
void writeWarning(ScriptVM* vm, const char* messageWithName, std::string_view name);

}  // namespace vorlo
