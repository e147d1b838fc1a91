// The message stream of a compilation: "error: line N: text" and "warning: line N: text" lines, each
// ended by CR LF. An error ends the compilation: it is raised as a CompileError that the compiler's
// entry point catches.
#pragma once
#include <string>

#include "engine/error.h"

namespace vorlo {

inline constexpr size_t kCompileMessageSize = 256;  // one message is formatted into this many bytes

class CompileError : public ScriptError {
 public:
  using ScriptError::ScriptError;
};

struct MessageStream {
  std::string text;
  int errors = 0;
  int warnings = 0;
};

// Appends the error line and throws CompileError (carrying the line).
[[noreturn]] void reportError(MessageStream& messages, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

void reportWarning(MessageStream& messages, int line, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;

}  // namespace vorlo
