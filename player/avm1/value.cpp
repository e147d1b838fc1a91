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

// The longest decimal number at the start of `s` (sign, digits, fraction, exponent); its length
// in `used`, 0 when there is none.
double leadingDecimal(std::string_view s, size_t* used) {
  size_t i = 0;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
  size_t digits = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++digits;
  }
  if (digits == 0) {
    *used = 0;
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    size_t expDigits = 0;
    while (j < s.size() && s[j] >= '0' && s[j] <= '9') ++j, ++expDigits;
    if (expDigits) i = j;
  }
  std::string text(s.substr(0, i));
  *used = i;
  return std::strtod(text.c_str(), nullptr);
}

}  // namespace

double stringToNumber(std::string_view s, int version) {
  size_t start = 0;
  while (start < s.size() && isSpace(s[start])) ++start;
  std::string_view t = s.substr(start);
  if (version < 5) {
    // SWF 4 reads what number it finds at the start and takes 0 for the rest.
    size_t used = 0;
    double n = leadingDecimal(t, &used);
    return used ? n : 0;
  }
  if (t.empty()) return std::numeric_limits<double>::quiet_NaN();
  if (version >= 6 && t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    uint32_t v = 0;
    for (size_t i = 2; i < t.size(); ++i) {
      char c = t[i];
      int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
      if (d < 0) return std::numeric_limits<double>::quiet_NaN();
      v = v * 16 + uint32_t(d);
    }
    return double(int32_t(v));
  }
  if (version >= 6 && start == 0) {
    // A leading zero followed by octal digits only (no white space before it) is octal, wrapped
    // to 32 bits before the sign applies.
    size_t i = t[0] == '+' || t[0] == '-' ? 1 : 0;
    if (t.size() > i + 1 && t[i] == '0' && t.find_first_not_of("01234567", i) == std::string_view::npos) {
      uint32_t v = 0;
      for (size_t j = i; j < t.size(); ++j) v = v * 8 + uint32_t(t[j] - '0');
      double n = double(int32_t(v));
      return t[0] == '-' ? -n : n;
    }
  }
  size_t used = 0;
  double n = leadingDecimal(t, &used);
  if (used != t.size()) return std::numeric_limits<double>::quiet_NaN();
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
