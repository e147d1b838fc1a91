#include "engine/token.h"

namespace vorlo {

namespace {

constexpr const char* kSpellings[] = {
    "end of input", "integer literal", "float literal", "string literal", "identifier",
    "break", "continue", "delete", "else", "for", "function", "if", "in", "new", "return", "this",
    "typeof", "var", "void", "while", "with", "case", "catch", "class", "const", "debugger",
    "default", "do", "enum", "export", "extends", "finally", "import", "super", "switch", "throw",
    "try", "null", "true", "false", "==", "!=", "<=", ">=", "&&", "||", "++", "--", "*=", "/=",
    "%=", "+=", "-=", "&=", "^=", "|=", "<<=", "<<", ">>", ">>>", ">>=", ">>>=", "===", "!==",
    "undefined", "struct", "dllimport", "as",
};
static_assert(sizeof kSpellings / sizeof kSpellings[0] == TokAs - TokEnd + 1);

struct SingleBytes {
  char text[128][2];
  constexpr SingleBytes() : text{} {
    for (int i = 0; i < 128; i++) text[i][0] = static_cast<char>(i);
  }
};
constexpr SingleBytes kSingleBytes;

}  // namespace

const char* tokenSpelling(int code) {
  if (code >= TokEnd && code <= TokAs) return kSpellings[code - TokEnd];
  if (code > 0 && code < 128) return kSingleBytes.text[code];
  return "?";
}

}  // namespace vorlo
