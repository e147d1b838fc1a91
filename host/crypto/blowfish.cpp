#include "host/crypto/blowfish.h"

#include <utility>
#include <vector>

#include "host/crypto/pi_words.h"

namespace vorlo::crypto {
namespace {

// The initial P-array and S-boxes: the first 18 + 4 * 256 words of pi's fraction, made once.
const std::vector<uint32_t>& initialWords() {
  static const std::vector<uint32_t> words = piFractionWords(18 + 4 * 256);
  return words;
}

}  // namespace

Blowfish::Blowfish(std::span<const uint8_t> key) {
  const std::vector<uint32_t>& pi = initialWords();
  for (size_t i = 0; i < 18; ++i) p_[i] = pi[i];
  for (size_t box = 0; box < 4; ++box)
    for (size_t i = 0; i < 256; ++i) s_[box][i] = pi[18 + box * 256 + i];
  if (!key.empty()) {
    size_t at = 0;
    for (uint32_t& word : p_) {
      uint32_t k = 0;
      for (int b = 0; b < 4; ++b) {
        k = k << 8 | key[at];
        at = (at + 1) % key.size();
      }
      word ^= k;
    }
  }
  uint32_t l = 0, r = 0;
  for (size_t i = 0; i < 18; i += 2) {
    encrypt(l, r);
    p_[i] = l;
    p_[i + 1] = r;
  }
  for (auto& box : s_) {
    for (size_t i = 0; i < 256; i += 2) {
      encrypt(l, r);
      box[i] = l;
      box[i + 1] = r;
    }
  }
}

uint32_t Blowfish::f(uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void Blowfish::encrypt(uint32_t& left, uint32_t& right) const {
  uint32_t l = left, r = right;
  for (int i = 0; i < 16; ++i) {
    l ^= p_[i];
    r ^= f(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[16];
  l ^= p_[17];
  left = l;
  right = r;
}

void Blowfish::decrypt(uint32_t& left, uint32_t& right) const {
  uint32_t l = left, r = right;
  for (int i = 17; i > 1; --i) {
    l ^= p_[i];
    r ^= f(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[1];
  l ^= p_[0];
  left = l;
  right = r;
}

}  // namespace vorlo::crypto
