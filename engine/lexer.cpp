#include "engine/lexer.h"

#include <cerrno>
#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "engine/error.h"
#include "engine/keywords.h"

namespace vorlo {

namespace {

bool isSpace(int c) { return c == ' ' || (c >= 9 && c <= 13); }
bool isDigit(int c) { return c >= '0' && c <= '9'; }
bool isOctal(int c) { return c >= '0' && c <= '7'; }
bool isNameStart(int c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '$' || c == '_';
}
bool isNamePart(int c) { return isNameStart(c) || isDigit(c); }
int hexValue(int c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Out-of-range decimal text: infinity when the value is large, zero when it is tiny. The text is
// digits, an optional fraction and an optional exponent.
double outOfRangeValue(const std::string& text) {
  size_t i = 0;
  long long position = 0;  // power of ten of the first significant digit, plus one
  bool seenDigit = false, seenDot = false;
  for (; i < text.size() && text[i] != 'e' && text[i] != 'E'; i++) {
    char c = text[i];
    if (c == '.') {
      seenDot = true;
      continue;
    }
    if (!seenDigit && c == '0') {
      if (seenDot) position--;
      continue;
    }
    if (!seenDigit) seenDigit = true;
    if (!seenDot) position++;
  }
  if (!seenDigit) return 0.0;
  long long exponent = 0;
  bool negative = false;
  if (i < text.size()) {
    i++;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    for (; i < text.size(); i++)
      if (exponent < 100000000) exponent = exponent * 10 + (text[i] - '0');
  }
  return position + (negative ? -exponent : exponent) > 0 ? std::numeric_limits<double>::infinity()
                                                           : 0.0;
}

double decimalToDouble(const std::string& text) {
  double value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  if (ec == std::errc::result_out_of_range) return outOfRangeValue(text);
  return value;
}

}  // namespace

int Lexer::read() {
  int c = source_.read();
  if (c == '\n') source_.line++;
  return c;
}

void Lexer::unread(int c) {
  if (c == 0) return;
  if (c == '\n') source_.line--;
  source_.unread(c);
}

void Lexer::error(const char* format, ...) {
  char message[kCompileMessageSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  reportError(messages_, source_.line, "%s", message);
}

void Lexer::warningAt(int line, const char* format, ...) {
  char message[kCompileMessageSize];
  va_list args;
  va_start(args, format);
  std::vsnprintf(message, sizeof message, format, args);
  va_end(args);
  reportWarning(messages_, line, "%s", message);
}

void Lexer::skipLineComment() {
  for (int c = read(); c != 0 && c != '\n'; c = read()) {
  }
}

void Lexer::skipBlockComment() {
  // An open comment at the end of the source simply ends with it.
  for (int c = read(); c != 0; c = read()) {
    if (c != '*') continue;
    int n = read();
    if (n == '/') return;
    unread(n);
  }
}

Token Lexer::next() {
  Token token;
  for (;;) {
    int c = read();
    token.line = source_.line;
    if (c == 0) {
      token.code = TokEnd;
      return token;
    }
    if (isSpace(c)) continue;
    if (c == '/') {
      int n = read();
      if (n == '*') {
        skipBlockComment();
        continue;
      }
      if (n == '/') {
        skipLineComment();
        continue;
      }
      unread(n);
    }
    if (c == '#') {
      int n = read();
      if (n == '!') {
        skipLineComment();
        continue;
      }
      if (n == '\'') {
        scanCharacter(token);
        return token;
      }
      unread(n);
      token.code = '#';
      return token;
    }
    if (c == '"' || c == '\'') {
      scanString(c, token);
      return token;
    }
    if (isDigit(c) || (c == '.' && isDigit(source_.peek()))) {
      scanNumber(c, token);
      return token;
    }
    if (isNameStart(c)) {
      scanName(c, token);
      return token;
    }
    if (c >= 128) {
      // Token codes from 128 up are the lexer's own; a stray byte there must not pose as one.
      error("illegal character '\\x%02X'", c);
    }
    token.code = scanOperator(c);
    return token;
  }
}

int Lexer::scanOperator(int c) {
  auto accept = [this](int expected) {
    int n = read();
    if (n == expected) return true;
    unread(n);
    return false;
  };
  switch (c) {
    case '=':
      if (accept('=')) return accept('=') ? TokStrictEq : TokEq;
      return '=';
    case '!':
      if (accept('=')) return accept('=') ? TokStrictNe : TokNe;
      return '!';
    case '<':
      if (accept('=')) return TokLe;
      if (accept('<')) return accept('=') ? TokShlAssign : TokShl;
      return '<';
    case '>':
      if (accept('=')) return TokGe;
      if (accept('>')) {
        if (accept('=')) return TokShrAssign;
        if (accept('>')) return accept('=') ? TokUshrAssign : TokUshr;
        return TokShr;
      }
      return '>';
    case '&':
      if (accept('&')) return TokAndAnd;
      return accept('=') ? int(TokAndAssign) : '&';
    case '|':
      if (accept('|')) return TokOrOr;
      return accept('=') ? int(TokOrAssign) : '|';
    case '+':
      if (accept('+')) return TokPlusPlus;
      return accept('=') ? int(TokAddAssign) : '+';
    case '-':
      if (accept('-')) return TokMinusMinus;
      return accept('=') ? int(TokSubAssign) : '-';
    case '*':
      return accept('=') ? int(TokMulAssign) : '*';
    case '/':
      return accept('=') ? int(TokDivAssign) : '/';
    case '%':
      return accept('=') ? int(TokModAssign) : '%';
    case '^':
      return accept('=') ? int(TokXorAssign) : '^';
    default:
      return c;  // any other byte is a token of its own; the parser rejects those it does not expect
  }
}

void Lexer::scanName(int first, Token& token) {
  buffer_.assign(1, static_cast<char>(first));
  int c;
  while (isNamePart(c = read())) buffer_ += static_cast<char>(c);
  unread(c);
  token.code = lookupKeyword(vm_, buffer_.data(), buffer_.size());
  if (token.code == TokIdentifier) token.text = arena_.copyText(buffer_.data(), buffer_.size());
}

void Lexer::scanNumber(int first, Token& token) {
  if (first == '0') {
    int n = source_.peek();
    if (n != '.' && n != 'e' && n != 'E') {
      // Hexadecimal after "0x", else octal digits: "08" is 0 followed by 8. Both wrap in 64 bits.
      uint64_t value = 0;
      int c = read();
      if (c == 'x' || c == 'X') {
        while (hexValue(c = read()) >= 0) value = value * 16 + static_cast<uint64_t>(hexValue(c));
      } else {
        while (isOctal(c)) {
          value = value * 8 + static_cast<uint64_t>(c - '0');
          c = read();
        }
      }
      unread(c);
      token.code = TokInteger;
      token.integer = static_cast<int64_t>(value);
      return;
    }
  }
  buffer_.assign(1, static_cast<char>(first));
  bool fraction = first == '.';
  int c;
  while (isDigit(c = read())) buffer_ += static_cast<char>(c);
  if (!fraction && c == '.') {
    fraction = true;
    buffer_ += '.';
    while (isDigit(c = read())) buffer_ += static_cast<char>(c);
  }
  bool exponent = c == 'e' || c == 'E';
  if (exponent) {
    buffer_ += 'e';
    c = read();
    if (c == '+' || c == '-') {
      buffer_ += static_cast<char>(c);
      c = read();
    }
    if (!isDigit(c)) error("invalid exponent part in a decimal literal");
    while (isDigit(c)) {
      buffer_ += static_cast<char>(c);
      c = read();
    }
  }
  unread(c);
  if (!fraction && !exponent) {
    uint64_t value = 0;
    bool fits = true;
    for (char d : buffer_) {
      uint64_t digit = static_cast<uint64_t>(d - '0');
      if (value > (uint64_t(INT64_MAX) - digit) / 10) {
        fits = false;
        break;
      }
      value = value * 10 + digit;
    }
    if (fits) {
      token.code = TokInteger;
      token.integer = static_cast<int64_t>(value);
      return;
    }
  }
  token.code = TokFloat;
  token.number = decimalToDouble(buffer_[0] == '.' ? "0" + buffer_ : buffer_);
}

int Lexer::readHexEscape(const char* what, int digits) {
  int bytes[4] = {};
  for (int i = 0; i < digits; i++) {
    bytes[i] = read();
    if (bytes[i] == 0) error("unterminated %s constant", what);
  }
  for (int i = 0; i < digits; i++) {
    if (hexValue(bytes[i]) >= 0) continue;
    // The message quotes the bytes read; a line break among them would split the message line.
    for (int& b : bytes)
      if (b == '\n' || b == '\r') b = '?';
    if (digits == 2) error("illegal character '%s%c%c'", "\\x", bytes[0], bytes[1]);
    error("illegal unicode character '%s%c%c%c%c'", "\\u", bytes[0], bytes[1], bytes[2], bytes[3]);
  }
  // A \u escape keeps only the low byte: its first two digits are checked, not used.
  return hexValue(bytes[digits - 2]) * 16 + hexValue(bytes[digits - 1]);
}

int Lexer::readOctalEscape(int first) {
  int value = first - '0';
  int limit = first == '0' ? 4 : 3;
  for (int count = 1; count < limit; count++) {
    int c = read();
    if (!isOctal(c)) {
      unread(c);
      break;
    }
    value = value * 8 + (c - '0');
  }
  return value & 0xFF;
}

int Lexer::readEscape(const char* what) {
  int c = read();
  switch (c) {
    case 0: error("unterminated %s constant", what);
    case '\n': return -1;
    case 'a': return 7;
    case 'b': return 8;
    case 'f': return 12;
    case 'n': return 10;
    case 'r': return 13;
    case 't': return 9;
    case 'v': return 11;
    case '"':
    case '\'':
    case '?':
    case '\\': return c;
    case 'x': return readHexEscape(what, 2);
    case 'u': return readHexEscape(what, 4);
    default:
      if (isOctal(c)) return readOctalEscape(c);
      warningAt(source_.line, "unknown escape sequence '%c%c'", '\\', c == '\r' ? '?' : c);
      return c;
  }
}

void Lexer::scanString(int quote, Token& token) {
  buffer_.clear();
  bool warned = false;
  for (;;) {
    int c = read();
    if (c == 0) error("unterminated %s constant", "string");
    if (c == quote) break;
    if (c == '\\') {
      int value = readEscape("string");
      if (value >= 0) buffer_ += static_cast<char>(value);
      continue;
    }
    if (c == '\n' && !warned && (flags_ & kCompileWarnLineFeedInString)) {
      warned = true;
      warningAt(source_.line - 1, "ECMAScript don't allow line terminators in %s constants", "string");
    }
    buffer_ += static_cast<char>(c);
  }
  // The value is terminated text: a NUL from an escape ends it.
  token.code = TokString;
  token.text = arena_.copyText(buffer_.data(), std::strlen(buffer_.c_str()));
}

void Lexer::scanCharacter(Token& token) {
  int value;
  for (;;) {
    int c = read();
    if (c == 0) error("unterminated %s constant", "character");
    if (c != '\\') {
      value = c;
      break;
    }
    value = readEscape("character");
    if (value >= 0) break;  // a line continuation is dropped and the next byte is read
  }
  int close = read();
  if (close == 0) error("unterminated %s constant", "character");
  if (close != '\'') error("illegal character");
  token.code = TokInteger;
  token.integer = static_cast<int8_t>(static_cast<uint8_t>(value));
}

RegExpLiteral Lexer::scanRegExp(bool startsWithEquals) {
  const char* what = "regular expression";
  buffer_.clear();
  if (startsWithEquals) buffer_ += '=';
  for (;;) {
    int c = read();
    if (c == 0) error("unterminated %s constant", what);
    if (c == '/') break;
    if (c != '\\') {
      buffer_ += static_cast<char>(c);
      continue;
    }
    int n = read();
    switch (n) {
      case 0: error("unterminated %s constant", what);
      case '\n': break;  // line continuation
      case '0': buffer_ += static_cast<char>(readOctalEscape('0')); break;
      case 'x': buffer_ += static_cast<char>(readHexEscape(what, 2)); break;
      case 'u': buffer_ += static_cast<char>(readHexEscape(what, 4)); break;
      case 'f': buffer_ += '\f'; break;
      case 'n': buffer_ += '\n'; break;
      case 'r': buffer_ += '\r'; break;
      case 't': buffer_ += '\t'; break;
      case 'v': buffer_ += '\v'; break;
      case 'c': {
        int m = read();
        if (m == 0) error("unterminated %s constant", what);
        buffer_ += "\\c";
        buffer_ += static_cast<char>(m);
        break;
      }
      default:
        // Kept as written, and not looked at again: \/ does not end the literal, \\ starts nothing.
        buffer_ += '\\';
        buffer_ += static_cast<char>(n);
        break;
    }
  }
  RegExpLiteral literal;
  for (;;) {
    int c = read();
    if (c == 'g') literal.flags |= kRegExpGlobal;
    else if (c == 'i') literal.flags |= kRegExpIgnoreCase;
    else if (c == 'm') literal.flags |= kRegExpMultiline;
    else {
      unread(c);
      break;
    }
  }
  literal.body = arena_.copyText(buffer_.data(), buffer_.size());
  return literal;
}

}  // namespace vorlo
