// Reading numbers from text: the integer reader of parseInt (automatic or given radix), the decimal
// floating-point reader, and the rule that turns a string into a number value.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/value.h"

namespace vorlo {

struct IntegerScan {
  bool found = false;  // at least one digit was read
  bool fits = true;    // the value fits in a signed 64-bit integer
  int64_t value = 0;
  double approx = 0;   // the value as a double (meaningful when it does not fit)
  size_t end = 0;      // where reading stopped
};

// Leading white space, an optional sign, then digits of the radix as far as they go. Radix 0 chooses:
// "0x"/"0X" hexadecimal, a leading "0" octal, else decimal. A radix of 16 also skips "0x"/"0X".
IntegerScan scanInteger(std::u16string_view text, int radix);

// Leading white space, an optional sign, decimal digits with an optional fraction, and an optional
// exponent introduced by e, E, d or D. False when no digit is found.
bool scanDecimal(std::u16string_view text, double* value, size_t* end);

// The string rule of toNumber: "" is 0; otherwise the integer reader with automatic radix; a text it
// cannot read as an integer is read as a decimal float (NaN when that fails too); an integer followed
// by '.', 'e', 'E', 'd' or 'D' is read again as a float; an integer beyond 63 bits becomes a float.
ScriptValue textToNumber(std::u16string_view text);

bool isNumberSpace(char16_t c);

}  // namespace vorlo
