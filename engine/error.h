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

// "stack overflow": the value stack is exhausted. When the recursion runs through natives that run
// scripts of their own (eval, sort comparators, conversion methods), the machine remembers the
// overflow until a script handler takes it, so that those natives pass it on instead of carrying on
// one level up; the nesting bound of host entries counts as such an overflow.
[[noreturn]] void raiseStackOverflow(ScriptVM* vm);
// For a native called by the interpreter whose nested run failed: when the failure was a stack
// overflow no handler took, raise it again so that it unwinds to the outermost entry.
void passOnStackOverflow(ScriptVM* vm);

}  // namespace vorlo
