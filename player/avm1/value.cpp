#include "player/avm1/value.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace vorlo::player::avm1 {

std::string numberToString(double n) {
  if (std::isnan(n)) return "NaN";
  if (std::isinf(n)) return n > 0 ? "Infinity" : "-Infinity";
  if (n == 0) return "0";
  // Fifteen significant digits, correctly rounded: to_chars is exact on every platform we build
  // for, where printf's last digits differ between C libraries.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, n, std::chars_format::scientific, 14);
  std::string sci(buf, res.ptr);
  size_t e = sci.find('e');
  bool negative = sci[0] == '-';
  std::string digits;
  for (size_t i = negative ? 1 : 0; i < e; ++i)
    if (sci[i] != '.') digits += sci[i];
  int exponent = std::atoi(sci.c_str() + e + 1);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
  std::string out = negative ? "-" : "";
  if (exponent < -5 || exponent >= 15) {
    out += digits[0];
    if (digits.size() > 1) out += "." + digits.substr(1);
    out += exponent < 0 ? "e-" : "e+";
    out += std::to_string(std::abs(exponent));
  } else if (exponent < 0) {
    out += "0." + std::string(size_t(-exponent - 1), '0') + digits;
  } else if (size_t(exponent) + 1 >= digits.size()) {
    out += digits + std::string(size_t(exponent) + 1 - digits.size(), '0');
  } else {
    out += digits.substr(0, size_t(exponent) + 1) + "." + digits.substr(size_t(exponent) + 1);
  }
  return out;
}

std::string numberToRadix(double n, int radix) {
  if (radix == 10 || radix < 2 || radix > 36) return numberToString(n);
  if (!std::isfinite(n)) return numberToString(n);
  // The reference player converts through a 32-bit integer here.
  int32_t i = toInt32(n);
  bool negative = i < 0;
  uint32_t u = negative ? uint32_t(0) - uint32_t(i) : uint32_t(i);
  std::string out;
  do {
    out.insert(out.begin(), "0123456789abcdefghijklmnopqrstuvwxyz"[u % uint32_t(radix)]);
    u /= uint32_t(radix);
  } while (u);
  if (negative) out.insert(out.begin(), '-');
  return out;
}

namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// value * 10^exp by repeated squaring of ten, multiplying up and dividing down as the reference
// player does (its digits add up this way, which is not always what strtod rounds to).
double decimalShift(double value, int32_t exp) {
  double base = 10;
  uint32_t e = exp < 0 ? uint32_t(0) - uint32_t(exp) : uint32_t(exp);
  while (e) {
    if (e & 1) value = exp > 0 ? value * base : value / base;
    e >>= 1;
    base *= base;
  }
  return value;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A decimal number: white space, sign, digits with one point, an exponent ("e" with optional
// sign and digits). `strict` wants nothing after it. NaN when there are no digits.
double parseDecimal(std::string_view s, bool strict) {
  size_t i = 0;
  while (i < s.size() && isSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  size_t mantissa = i;
  while (i < s.size() && isDigit(s[i])) ++i;
  int32_t exp = int32_t(i - mantissa) - 1;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && isDigit(s[i])) ++i;
  }
  if (i == mantissa) return std::numeric_limits<double>::quiet_NaN();
  size_t mantissaEnd = i;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) expNegative = s[i++] == '-';
    uint32_t e = 0;  // wraps as a 32-bit number, as the reference player's does
    while (i < s.size() && isDigit(s[i])) e = e * 10 + uint32_t(s[i++] - '0');
    if (expNegative) e = uint32_t(0) - e;
    exp = int32_t(uint32_t(exp) + e);
  }
  if (strict && i != s.size()) return std::numeric_limits<double>::quiet_NaN();
  double result = 0;
  for (size_t j = mantissa; j < mantissaEnd; ++j) {
    if (s[j] == '.') continue;
    result += decimalShift(double(s[j] - '0'), exp);
    exp = int32_t(uint32_t(exp) - 1);
  }
  return negative ? -result : result;
}

// An integer in `radix` with an optional sign, wrapped to 32 bits; NaN for an empty text or a
// character that is not a digit.
double parseWrappedInteger(std::string_view s, uint32_t radix) {
  if (s.empty()) return std::numeric_limits<double>::quiet_NaN();
  bool negative = s[0] == '-';
  if (s[0] == '-' || s[0] == '+') s.remove_prefix(1);
  uint32_t v = 0;
  for (char c : s) {
    uint32_t d = isDigit(c) ? uint32_t(c - '0') : c >= 'a' && c <= 'z' ? uint32_t(c - 'a' + 10)
                 : c >= 'A' && c <= 'Z' ? uint32_t(c - 'A' + 10) : 99;
    if (d >= radix) return std::numeric_limits<double>::quiet_NaN();
    v = negative ? v * radix - d : v * radix + d;
  }
  return double(int32_t(v));
}

}  // namespace

double stringToNumber(std::string_view s, int version) {
  if (version >= 6) {
    // The radix is guessed from the text as it is (no white space skipped): "0x" after an optional
    // sign is hexadecimal, a leading zero followed by octal digits only is octal.
    std::string_view t = s;
    if (!t.empty() && (t[0] == '+' || t[0] == '-')) t.remove_prefix(1);
    if (!t.empty() && t[0] == '0') {
      if (t.size() > 1 && (t[1] == 'x' || t[1] == 'X')) {
        // The prefix is skipped from the start of the whole text, so a signed "-0x10" is NaN
        // and "0x-10" is -16, as in the reference player.
        return parseWrappedInteger(s.substr(2), 16);
      }
      if (t.find_first_not_of("01234567", 1) == std::string_view::npos) return parseWrappedInteger(s, 8);
    }
  }
  bool strict = version >= 5;
  double n = parseDecimal(s, strict);
  if (!strict && std::isnan(n)) return 0;
  return n;
}

int32_t toInt32(double n) { return int32_t(toUint32(n)); }

uint32_t toUint32(double n) {
  if (!std::isfinite(n)) return 0;
  double t = std::trunc(n);
  if (t >= 0 && t < 4294967296.0) return uint32_t(t);
  double m = std::fmod(t, 4294967296.0);
  if (m < 0) m += 4294967296.0;
  return uint32_t(m);
}

bool stringToBoolean(std::string_view s, int version) {
  if (version >= 7) return !s.empty();
  double n = stringToNumber(s, version);
  return !std::isnan(n) && n != 0;
}

double primitiveToNumber(const Value& v, int version) {
  switch (v.type) {
    case Type::Undefined:
    case Type::Null: return version >= 7 ? std::numeric_limits<double>::quiet_NaN() : 0;
    case Type::Boolean:
    case Type::Number: return v.num;
    case Type::String: return stringToNumber(v.str, version);
    case Type::Object: return std::numeric_limits<double>::quiet_NaN();
  }
  return 0;
}

std::string primitiveToString(const Value& v, int version) {
  switch (v.type) {
    case Type::Undefined: return version >= 7 ? "undefined" : "";
    case Type::Null: return "null";
    case Type::Boolean: return v.num != 0 ? "true" : "false";
    case Type::Number: return numberToString(v.num);
    case Type::String: return v.str;
    case Type::Object: return "[object Object]";
  }
  return "";
}

bool toBoolean(const Value& v, int version) {
  switch (v.type) {
    case Type::Undefined:
    case Type::Null: return false;
    case Type::Boolean: return v.num != 0;
    case Type::Number: return !std::isnan(v.num) && v.num != 0;
    case Type::String: return stringToBoolean(v.str, version);
    case Type::Object: return true;
  }
  return false;
}

const char* primitiveTypeName(Type t) {
  switch (t) {
    case Type::Undefined: return "undefined";
    case Type::Null: return "null";
    case Type::Boolean: return "boolean";
    case Type::Number: return "number";
    case Type::String: return "string";
    case Type::Object: return "object";
  }
  return "undefined";
}

}  // namespace vorlo::player::avm1
