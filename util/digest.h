// Keyed digests for package integrity: HMAC-SHA-256 cut to its first 16 bytes. The work is done by
// the system's maintained implementations (OpenSSL's libcrypto on Linux, CNG's bcrypt on Windows).
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vorlo {

using Digest16 = std::array<uint8_t, 16>;

Digest16 keyedDigest(std::span<const uint8_t> key, std::span<const uint8_t> data);

// MD5 (RFC 1321) fed in pieces, for texts and files that scripts digest.
class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;
  void update(std::span<const uint8_t> data);
  Digest16 finish();

 private:
  void* state_;
};
Digest16 md5(std::span<const uint8_t> data);

// A digest as lower-case hexadecimal text, two digits a byte.
std::string hexText(std::span<const uint8_t> bytes);

}  // namespace vorlo
