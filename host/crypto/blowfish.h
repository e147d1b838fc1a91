// Blowfish (Schneier, 1993): 64-bit blocks as two 32-bit halves, keys of 1 to 56 bytes.
#pragma once
#include <array>
#include <cstdint>
#include <span>

namespace vorlo::crypto {

class Blowfish {
 public:
  // The published key schedule; the key's bytes are used cyclically.
  explicit Blowfish(std::span<const uint8_t> key);
  void encrypt(uint32_t& left, uint32_t& right) const;
  void decrypt(uint32_t& left, uint32_t& right) const;

 private:
  uint32_t f(uint32_t x) const;
  std::array<uint32_t, 18> p_;
  std::array<std::array<uint32_t, 256>, 4> s_;
};

}  // namespace vorlo::crypto
