// DES (FIPS 46-3) and three-key Triple DES in EDE form, one 64-bit block at a time (ECB); blocks and
// keys in the standard big-endian bit order. Key parity bits are ignored.
#pragma once
#include <array>
#include <cstdint>
#include <span>

namespace vorlo::crypto {

class Des {
 public:
  explicit Des(std::span<const uint8_t, 8> key);
  uint64_t encrypt(uint64_t block) const { return run(block, false); }
  uint64_t decrypt(uint64_t block) const { return run(block, true); }

 private:
  uint64_t run(uint64_t block, bool backwards) const;
  std::array<uint64_t, 16> subkeys_;  // 48 bits each
};

class TripleDes {
 public:
  // Keys 1, 2 and 3 are bytes 0-7, 8-15 and 16-23.
  explicit TripleDes(std::span<const uint8_t, 24> key);
  uint64_t encrypt(uint64_t block) const { return k3_.encrypt(k2_.decrypt(k1_.encrypt(block))); }
  uint64_t decrypt(uint64_t block) const { return k1_.decrypt(k2_.encrypt(k3_.decrypt(block))); }

 private:
  Des k1_, k2_, k3_;
};

// Big-endian block conversions.
uint64_t loadBlock(const uint8_t* bytes);
void storeBlock(uint64_t block, uint8_t* bytes);

}  // namespace vorlo::crypto
