// Non-local exits of the engine. A runtime error formats "Runtime error: %s" into the VM's message
// buffer and unwinds as a C++ exception to the innermost entry point that catches it.
#pragma once
#include <exception>

namespace vorlo {

struct ScriptVM;

inline constexpr int kMessageBufferSize = 1024;

// Base of every exception the engine raises on behalf of a script. The text is kept inside the
// exception (not on the free store) so that raising "Out of memory" cannot itself fail.
class ScriptError : public std::exception {
 public:
  explicit ScriptError(const char* text);
  const char* what() const noexcept override { return text_; }

 private:
  char text_[kMessageBufferSize];
};

class RuntimeError : public ScriptError {
 public:
  using ScriptError::ScriptError;
};

// Formats "Runtime error: " + the printf-style message into vm->message and throws RuntimeError.
[[noreturn]] void raiseRuntimeError(ScriptVM* vm, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

[[noreturn]] void raiseOutOfMemory(ScriptVM* vm);

}  // namespace vorlo
