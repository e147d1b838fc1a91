#include "stdlib/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "engine/convert.h"

namespace vorlo {
namespace {

constexpr int kMaxPrecision = 400;  // more digits than any double has; the result is cut anyway
constexpr int kMaxWidth = 1024;

// Rewrites the exponent of to_chars output ("e+05", "e-100", "p+3") as a sign and at least `digits`
// digits.
std::string widenExponent(std::string text, char marker, size_t digits) {
  size_t e = text.find(marker);
  if (e == std::string::npos) return text;
  char sign = '+';
  size_t p = e + 1;
  if (text[p] == '+' || text[p] == '-') sign = text[p++];
  std::string exponent = text.substr(p);
  if (exponent.size() < digits) exponent.insert(0, digits - exponent.size(), '0');
  return text.substr(0, e + 1) + sign + exponent;
}

// |value| in one of the standard forms, with `precision` digits after the point.
std::string toChars(double magnitude, std::chars_format format, int precision) {
  char buffer[1400];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, magnitude, format, precision);
  return std::string(buffer, r.ptr);
}

std::string scientific(double magnitude, int precision) {
  return widenExponent(toChars(magnitude, std::chars_format::scientific, precision), 'e', 3);
}

std::string fixed(double magnitude, int precision) {
  return toChars(magnitude, std::chars_format::fixed, precision);
}

// Removes trailing zeros of the fraction, and the point when no fraction digit is left.
std::string stripFraction(std::string text) {
  size_t point = text.find('.');
  if (point == std::string::npos) return text;
  size_t exponent = text.find('e');
  size_t end = exponent == std::string::npos ? text.size() : exponent;
  size_t last = end;
  while (last > point + 1 && text[last - 1] == '0') last--;
  if (last == point + 1) last = point;
  return text.substr(0, last) + text.substr(end);
}

// The "%g" form of a finite |value| with `precision` significant digits.
std::string general(double magnitude, int precision, bool alternate) {
  if (precision == 0) precision = 1;
  int exponent = 0;
  if (magnitude != 0) {
    std::string s = scientific(magnitude, precision - 1);
    exponent = std::atoi(s.c_str() + s.find('e') + 1);
  }
  std::string text = exponent < -4 || exponent >= precision
                         ? scientific(magnitude, precision - 1)
                         : fixed(magnitude, precision - 1 - exponent);
  if (!alternate) return stripFraction(text);
  if (text.find('.') == std::string::npos) {
    size_t e = text.find('e');
    text.insert(e == std::string::npos ? text.size() : e, ".");
  }
  return text;
}

struct Spec {
  bool left = false, plus = false, space = false, alternate = false, zero = false;
  int width = 0;
  int precision = -1;
  int bits = 32;  // integer conversions: the width of the argument type
  char conversion = 0;
};

std::string pad(const Spec& spec, const std::string& sign, const std::string& body, bool zeroAllowed) {
  size_t length = sign.size() + body.size();
  size_t width = static_cast<size_t>(spec.width);
  if (length >= width) return sign + body;
  size_t fill = width - length;
  if (spec.left) return sign + body + std::string(fill, ' ');
  if (spec.zero && zeroAllowed) return sign + std::string(fill, '0') + body;
  return std::string(fill, ' ') + sign + body;
}

// The argument as the integer an integer conversion takes: floats truncated toward zero (wrapping),
// infinities and not-a-number patterns 0.
uint64_t integerArgument(const FormatArgument& a) {
  if (a.isInteger) return static_cast<uint64_t>(a.integer);
  return std::isfinite(a.number) ? static_cast<uint64_t>(truncateToInt64(a.number)) : 0;
}

std::string formatInteger(const Spec& spec, const FormatArgument& a) {
  uint64_t mask = spec.bits == 64 ? ~uint64_t(0) : (uint64_t(1) << spec.bits) - 1;
  uint64_t bits = integerArgument(a) & mask;
  bool isSigned = spec.conversion == 'd' || spec.conversion == 'i';
  bool negative = false;
  uint64_t magnitude = bits;
  if (isSigned && spec.bits < 64 && (bits >> (spec.bits - 1)) & 1) {
    negative = true;
    magnitude = (~bits + 1) & mask;
  } else if (isSigned && spec.bits == 64 && static_cast<int64_t>(bits) < 0) {
    negative = true;
    magnitude = ~bits + 1;
  }
  int radix = spec.conversion == 'o' ? 8 : (spec.conversion == 'x' || spec.conversion == 'X') ? 16 : 10;
  char buffer[80];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, magnitude, radix);
  std::string digits(buffer, r.ptr);
  if (spec.conversion == 'X') std::transform(digits.begin(), digits.end(), digits.begin(), ::toupper);
  if (spec.precision >= 0) {
    if (spec.precision == 0 && magnitude == 0) digits.clear();
    if (digits.size() < static_cast<size_t>(spec.precision)) digits.insert(0, spec.precision - digits.size(), '0');
  }
  std::string sign;
  if (isSigned) sign = negative ? "-" : spec.plus ? "+" : spec.space ? " " : "";
  if (spec.alternate && magnitude != 0) {
    if (spec.conversion == 'o' && (digits.empty() || digits[0] != '0')) digits.insert(0, "0");
    if (spec.conversion == 'x') sign = "0x";
    if (spec.conversion == 'X') sign = "0X";
  }
  return pad(spec, sign, digits, spec.precision < 0);
}

std::string formatFloat(const Spec& spec, const FormatArgument& a) {
  double value = a.isInteger ? static_cast<double>(a.integer) : a.number;
  std::string sign = std::signbit(value) ? "-" : spec.plus ? "+" : spec.space ? " " : "";
  if (std::isnan(value)) return pad(spec, "", "NaN", false);
  double magnitude = std::fabs(value);
  if (std::isinf(value)) return pad(spec, sign, "Infinity", false);
  int precision = spec.precision < 0 ? 6 : spec.precision;
  char c = spec.conversion;
  char lower = static_cast<char>(std::tolower(c));
  std::string body;
  if (lower == 'f') {
    body = fixed(magnitude, precision);
    if (spec.alternate && precision == 0) body += '.';
  } else if (lower == 'e') {
    body = scientific(magnitude, precision);
    if (spec.alternate && precision == 0) body.insert(body.find('e'), ".");
  } else if (lower == 'g') {
    body = general(magnitude, precision, spec.alternate);
  } else {  // 'a': the shortest exact hexadecimal form unless a precision is given
    if (spec.precision < 0) {
      char buffer[64];
      auto r = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::hex);
      body.assign(buffer, r.ptr);
    } else {
      body = toChars(magnitude, std::chars_format::hex, precision);
    }
    body = widenExponent(body, 'p', 1);
    sign += "0x";
  }
  if (c == 'E' || c == 'G' || c == 'A' || c == 'F') {
    std::transform(body.begin(), body.end(), body.begin(), ::toupper);
    std::transform(sign.begin(), sign.end(), sign.begin(), ::toupper);
  }
  return pad(spec, sign, body, true);
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int readNumber(std::u16string_view f, size_t& i, int limit) {
  int64_t n = 0;
  while (i < f.size() && isDigit(f[i])) {
    n = std::min<int64_t>(n * 10 + (f[i] - u'0'), limit);
    i++;
  }
  return static_cast<int>(n);
}

bool startsWith(std::u16string_view f, size_t i, std::u16string_view prefix) {
  return f.substr(i, prefix.size()) == prefix;
}

// Reads a conversion that begins after the '%' at f[i]. False when it is not one we format.
bool readSpec(std::u16string_view f, size_t& i, Spec& spec) {
  for (; i < f.size(); i++) {
    char16_t c = f[i];
    if (c == u'-') spec.left = true;
    else if (c == u'+') spec.plus = true;
    else if (c == u' ') spec.space = true;
    else if (c == u'#') spec.alternate = true;
    else if (c == u'0') spec.zero = true;
    else break;
  }
  spec.width = readNumber(f, i, kMaxWidth);
  if (i < f.size() && f[i] == u'.') {
    i++;
    spec.precision = readNumber(f, i, kMaxPrecision);
  }
  if (startsWith(f, i, u"I64") || startsWith(f, i, u"ll")) {
    spec.bits = 64;
    i += f[i] == u'I' ? 3 : 2;
  } else if (startsWith(f, i, u"I32")) {
    i += 3;
  } else if (startsWith(f, i, u"hh")) {
    spec.bits = 8;
    i += 2;
  } else if (i < f.size() && f[i] == u'h') {
    spec.bits = 16;
    i++;
  } else if (i < f.size() && (f[i] == u'j')) {
    spec.bits = 64;
    i++;
  } else if (i < f.size() && (f[i] == u'l' || f[i] == u'L' || f[i] == u'I' || f[i] == u'w' ||
                              f[i] == u'z' || f[i] == u't')) {
    i++;
  }
  if (i >= f.size()) return false;
  char16_t c = f[i];
  if (c > 0x7F || !std::strchr("diuoxXceEfFgGaA", static_cast<char>(c)) || c == 0) return false;
  spec.conversion = static_cast<char>(c);
  i++;
  return true;
}

}  // namespace

std::string integerText(int64_t value, int radix) {
  char buffer[72];
  std::to_chars_result r;
  if (radix == 10 || radix < 2 || radix > 36) r = std::to_chars(buffer, buffer + sizeof buffer, value);
  else r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<uint64_t>(value), radix);
  return std::string(buffer, r.ptr);
}

std::string floatText(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
  std::string body = general(std::fabs(value), 6, false);
  return std::signbit(value) ? "-" + body : body;
}

std::u16string formatNumber(std::u16string_view format, const FormatArgument& argument, size_t maxLength) {
  std::u16string out;
  bool used = false;
  size_t i = 0;
  while (i < format.size() && out.size() < maxLength) {
    char16_t c = format[i];
    if (c != u'%') {
      out += c;
      i++;
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == u'%') {
      out += u'%';
      i += 2;
      continue;
    }
    size_t start = i++;
    Spec spec;
    if (used || !readSpec(format, i, spec)) {
      // Not a conversion we format: the '%' stays as text and copying goes on after it.
      out += u'%';
      i = start + 1;
      continue;
    }
    used = true;
    if (spec.conversion == 'c') {
      // One UTF-16 unit (8 bits with "h"), padded with spaces.
      char16_t unit = static_cast<char16_t>(integerArgument(argument) & (spec.bits == 16 ? 0xFF : 0xFFFF));
      size_t fill = spec.width > 1 ? static_cast<size_t>(spec.width) - 1 : 0;
      if (!spec.left) out.append(fill, u' ');
      out += unit;
      if (spec.left) out.append(fill, u' ');
      continue;
    }
    bool integer = std::strchr("diuoxX", spec.conversion) != nullptr;
    std::string text = integer ? formatInteger(spec, argument) : formatFloat(spec, argument);
    for (char ch : text) out += static_cast<char16_t>(static_cast<unsigned char>(ch));
  }
  if (out.size() > maxLength) out.resize(maxLength);
  return out;
}

}  // namespace vorlo
