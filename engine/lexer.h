// The lexer: script source bytes to tokens, one token per call, and the line counter that every
// compiler message uses.
#pragma once
#include <cstdint>
#include <string>

#include "engine/compile_arena.h"
#include "engine/compile_messages.h"
#include "engine/source_stream.h"
#include "engine/token.h"

#include "engine/options.h"

namespace vorlo {

struct ScriptVM;

inline constexpr int kRegExpGlobal = 1;
inline constexpr int kRegExpIgnoreCase = 2;
inline constexpr int kRegExpMultiline = 4;

struct RegExpLiteral {
  Text body;  // may hold NUL bytes decoded from escapes: use its length
  int flags = 0;
};

class Lexer {
 public:
  // The machine's keyword table must be loaded (loadKeywords).
  Lexer(ScriptVM* vm, SourceStream& source, MessageStream& messages, CompileArena& arena,
        uint32_t flags)
      : vm_(vm), source_(source), messages_(messages), arena_(arena), flags_(flags) {}

  Token next();
  // The rest of a regular-expression literal whose opening "/" the parser has taken.
  // When the parser took the token "/=", the "=" is the body's first byte.
  RegExpLiteral scanRegExp(bool startsWithEquals = false);

  int line() const { return source_.line; }

 private:
  int read();  // a byte, counting line feeds
  void unread(int byte);
  void skipLineComment();
  void skipBlockComment();
  void scanString(int quote, Token& token);
  void scanCharacter(Token& token);
  void scanNumber(int first, Token& token);
  void scanName(int first, Token& token);
  int scanOperator(int first);
  // One escape after a backslash inside a string or character literal. Returns the byte it stands
  // for, or -1 for a line continuation.
  int readEscape(const char* what);
  int readHexEscape(const char* what, int digits);
  int readOctalEscape(int first);
  [[noreturn]] void error(const char* format, ...);
  void warningAt(int line, const char* format, ...);

  ScriptVM* vm_;
  SourceStream& source_;
  MessageStream& messages_;
  CompileArena& arena_;
  uint32_t flags_;
  std::string buffer_;  // the literal being collected
};

}  // namespace vorlo
