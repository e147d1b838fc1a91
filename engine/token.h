// Tokens of script source: their codes and the record the lexer hands to the parser.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vorlo {

// Codes below 128 are single-byte tokens: the code is the byte ("(" is 40, ";" is 59).
enum TokenCode : int {
  TokEnd = 128,
  TokInteger = 129,
  TokFloat = 130,
  TokString = 131,
  TokIdentifier = 132,
  // keywords
  TokBreak = 133,
  TokContinue,
  TokDelete,
  TokElse,
  TokFor,
  TokFunction,
  TokIf,
  TokIn,
  TokNew,
  TokReturn,
  TokThis,
  TokTypeof,
  TokVar,
  TokVoid,
  TokWhile,
  TokWith,
  TokCase,
  TokCatch,
  TokClass,
  TokConst,
  TokDebugger,
  TokDefault,
  TokDo,
  TokEnum,
  TokExport,
  TokExtends,
  TokFinally,
  TokImport,
  TokSuper,
  TokSwitch,
  TokThrow,
  TokTry,
  TokNull,
  TokTrue,
  TokFalse = 167,
  // operators of more than one byte
  TokEq = 168,         // ==
  TokNe,               // !=
  TokLe,               // <=
  TokGe,               // >=
  TokAndAnd,           // &&
  TokOrOr,             // ||
  TokPlusPlus,         // ++
  TokMinusMinus,       // --
  TokMulAssign,        // *=
  TokDivAssign,        // /=
  TokModAssign,        // %=
  TokAddAssign,        // +=
  TokSubAssign,        // -=
  TokAndAssign,        // &=
  TokXorAssign,        // ^=
  TokOrAssign,         // |=
  TokShlAssign,        // <<=
  TokShl,              // <<
  TokShr,              // >>
  TokUshr,             // >>>
  TokShrAssign,        // >>=
  TokUshrAssign,       // >>>=
  TokStrictEq,         // ===
  TokStrictNe = 191,   // !==
  // keywords of the dialect
  TokUndefined = 192,
  TokStruct,
  TokDllimport,
  TokAs = 195,
};

// 8-bit text owned by the compilation: `chars` is NUL-terminated; null `chars` means "none".
struct Text {
  const char* chars = nullptr;
  size_t length = 0;

  bool present() const { return chars != nullptr; }
};

struct Token {
  int code = TokEnd;
  int line = 0;         // line counter when the token's first byte was read
  int64_t integer = 0;  // integer and character literals
  double number = 0;    // float literals
  Text text;            // identifiers and string literals
};

// The spelling of a token code for messages and tree dumps ("==", "while", "identifier", "(").
const char* tokenSpelling(int code);

}  // namespace vorlo
