#include "engine/compile_messages.h"

#include <cstdarg>
#include <cstdio>

namespace vorlo {

namespace {

std::string formatLine(const char* prefix, int line, const char* format, va_list args) {
  char message[kCompileMessageSize];
  std::vsnprintf(message, sizeof message, format, args);
  char head[48];
  std::snprintf(head, sizeof head, "%sline %d: ", prefix, line);
  return std::string(head) + message + "\r\n";
}

}  // namespace

void reportError(MessageStream& messages, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = formatLine("error: ", line, format, args);
  va_end(args);
  messages.text += text;
  messages.errors++;
  throw CompileError(text.c_str());
}

void reportWarning(MessageStream& messages, int line, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = formatLine("warning: ", line, format, args);
  va_end(args);
  messages.text += text;
  messages.warnings++;
}

}  // namespace vorlo
