#include "host/crypto/pi_words.h"

#include <cstdint>
#include <vector>

namespace vorlo::crypto {
namespace {

// Fixed-point numbers: word 0 the integer part, then the fraction, most significant word first.
using Fixed = std::vector<uint32_t>;

// Words before `from` are zero and stay so.
void divide(Fixed& a, uint32_t d, size_t from = 0) {
  uint64_t rest = 0;
  for (size_t i = from; i < a.size(); ++i) {
    uint64_t cur = rest << 32 | a[i];
    a[i] = static_cast<uint32_t>(cur / d);
    rest = cur % d;
  }
}
bool isZero(const Fixed& a) {
  for (uint32_t w : a)
    if (w) return false;
  return true;
}
void add(Fixed& a, const Fixed& b) {
  uint64_t carry = 0;
  for (size_t i = a.size(); i-- > 0;) {
    uint64_t s = uint64_t(a[i]) + b[i] + carry;
    a[i] = static_cast<uint32_t>(s);
    carry = s >> 32;
  }
}
void subtract(Fixed& a, const Fixed& b) {
  int64_t borrow = 0;
  for (size_t i = a.size(); i-- > 0;) {
    int64_t s = int64_t(a[i]) - b[i] - borrow;
    borrow = s < 0;
    a[i] = static_cast<uint32_t>(s);
  }
}
void multiply(Fixed& a, uint32_t m) {
  uint64_t carry = 0;
  for (size_t i = a.size(); i-- > 0;) {
    uint64_t p = uint64_t(a[i]) * m + carry;
    a[i] = static_cast<uint32_t>(p);
    carry = p >> 32;
  }
}

// arctan(1/x) by its series.
Fixed arctanInverse(uint32_t x, size_t words) {
  Fixed sum(words, 0), power(words, 0), term;
  power[0] = 1;
  divide(power, x);
  uint32_t square = x * x;
  size_t lead = 0;  // leading zero words of the shrinking power
  for (uint32_t k = 0; !isZero(power); ++k) {
    while (lead < words && power[lead] == 0) ++lead;
    term = power;
    divide(term, 2 * k + 1, lead);
    if (k % 2 == 0) add(sum, term);
    else subtract(sum, term);
    divide(power, square, lead);
  }
  return sum;
}

}  // namespace

std::vector<uint32_t> piFractionWords(size_t count) {
  size_t words = count + 3;  // guard words against the series' rounding
  Fixed a = arctanInverse(5, words), b = arctanInverse(239, words);
  multiply(a, 16);
  multiply(b, 4);
  subtract(a, b);  // pi = 16 atan(1/5) - 4 atan(1/239) (Machin)
  return std::vector<uint32_t>(a.begin() + 1, a.begin() + 1 + static_cast<std::ptrdiff_t>(count));
}

}  // namespace vorlo::crypto
