#include "engine/number_reader.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace vorlo {

namespace {

int digitValue(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'z') return c - u'a' + 10;
  if (c >= u'A' && c <= u'Z') return c - u'A' + 10;
  return -1;
}

// The correctly rounded double (ties to even) of a digit run in radix 2, 4, 8, 16 or 32.
double roundPowerOfTwoDigits(std::u16string_view digits, int radix) {
  int bitsPerDigit = radix == 2 ? 1 : radix == 4 ? 2 : radix == 8 ? 3 : radix == 16 ? 4 : 5;
  std::string bits;
  for (char16_t c : digits) {
    int d = digitValue(c);
    for (int b = bitsPerDigit - 1; b >= 0; b--) bits += char('0' + ((d >> b) & 1));
  }
  size_t first = bits.find('1');
  if (first == std::string::npos) return 0;
  bits.erase(0, first);
  bits.insert(0, (4 - bits.size() % 4) % 4, '0');
  std::string hex;
  for (size_t i = 0; i < bits.size(); i += 4) {
    int v = (bits[i] - '0') * 8 + (bits[i + 1] - '0') * 4 + (bits[i + 2] - '0') * 2 + (bits[i + 3] - '0');
    hex += "0123456789abcdef"[v];
  }
  double d = 0;
  auto [ptr, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), d, std::chars_format::hex);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) return std::numeric_limits<double>::infinity();
  return d;
}

size_t skipSpace(std::u16string_view text, size_t i) {
  while (i < text.size() && isNumberSpace(text[i])) i++;
  return i;
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

double parseAsciiDouble(const std::string& text) {
  double d = 0;
  auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) return std::numeric_limits<double>::quiet_NaN();
  return d;
}

}  // namespace

bool isNumberSpace(char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); }

IntegerScan scanInteger(std::u16string_view text, int radix) {
  IntegerScan scan;
  size_t i = skipSpace(text, 0);
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i++] == u'-';
    i = skipSpace(text, i);
  }
  bool hexPrefix = i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X');
  if (radix == 0) {
    if (hexPrefix) radix = 16, i += 2;
    else if (i < text.size() && text[i] == u'0') radix = 8;
    else radix = 10;
  } else if (radix == 16 && hexPrefix) {
    i += 2;
  }
  size_t start = i;
  uint64_t magnitude = 0;
  bool overflow = false;
  double approx = 0;
  for (; i < text.size(); i++) {
    int d = digitValue(text[i]);
    if (d < 0 || d >= radix) break;
    approx = approx * radix + d;
    if (magnitude > (uint64_t(INT64_MAX) - d) / radix) overflow = true;
    else magnitude = magnitude * radix + d;
  }
  scan.end = i;
  scan.found = i > start;
  if (!scan.found) return scan;
  if (radix == 10 && overflow) {
    // Correctly rounded rather than accumulated.
    std::string digits(text.begin() + start, text.begin() + i);
    approx = parseAsciiDouble(digits);
    if (std::isnan(approx)) approx = std::numeric_limits<double>::infinity();
  } else if (overflow && (radix == 2 || radix == 4 || radix == 8 || radix == 16 || radix == 32)) {
    approx = roundPowerOfTwoDigits(text.substr(start, i - start), radix);
  }
  scan.fits = !overflow;
  scan.value = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  scan.approx = negative ? -approx : approx;
  return scan;
}

bool scanDecimal(std::u16string_view text, double* value, size_t* end) {
  size_t i = skipSpace(text, 0);
  std::string ascii;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') ascii += '-';
    i++;
  }
  size_t digits = 0;
  // Decimal exponent of the first significant digit, to tell overflow from underflow below.
  int64_t leadExponent = 0;
  bool seenNonZero = false;
  for (; i < text.size() && isDigit(text[i]); i++, digits++) {
    ascii += static_cast<char>(text[i]);
    if (seenNonZero || text[i] != u'0') seenNonZero = true, leadExponent++;
  }
  if (i < text.size() && text[i] == u'.') {
    ascii += '.';
    for (i++; i < text.size() && isDigit(text[i]); i++, digits++) {
      ascii += static_cast<char>(text[i]);
      if (!seenNonZero) {
        if (text[i] != u'0') seenNonZero = true;
        else leadExponent--;
      }
    }
  }
  if (digits == 0) return false;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E' || text[i] == u'd' || text[i] == u'D')) {
    size_t j = i + 1;
    bool expNegative = false;
    if (j < text.size() && (text[j] == u'+' || text[j] == u'-')) expNegative = text[j++] == u'-';
    if (j < text.size() && isDigit(text[j])) {
      int64_t exponent = 0;
      ascii += expNegative ? "e-" : "e";
      for (; j < text.size() && isDigit(text[j]); j++) {
        ascii += static_cast<char>(text[j]);
        if (exponent < 1000000000) exponent = exponent * 10 + (text[j] - u'0');
      }
      leadExponent += expNegative ? -exponent : exponent;
      i = j;
    }
  }
  double d = parseAsciiDouble(ascii);
  if (std::isnan(d)) {  // out of range: overflow to infinity or underflow to zero
    d = leadExponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    if (ascii[0] == '-') d = -d;
  }
  *value = d;
  *end = i;
  return true;
}

ScriptValue textToNumber(std::u16string_view text) {
  if (text.empty()) return ScriptValue::integer(0);
  IntegerScan scan = scanInteger(text, 0);
  double d;
  size_t end;
  if (!scan.found) return scanDecimal(text, &d, &end) ? ScriptValue::number(d) : ScriptValue::nan();
  if (scan.end < text.size()) {
    char16_t stop = text[scan.end];
    if (stop == u'.' || stop == u'e' || stop == u'E' || stop == u'd' || stop == u'D')
      return scanDecimal(text, &d, &end) ? ScriptValue::number(d) : ScriptValue::nan();
  }
  if (!scan.fits) return ScriptValue::number(scan.approx);
  return ScriptValue::integer(scan.value);
}

}  // namespace vorlo
