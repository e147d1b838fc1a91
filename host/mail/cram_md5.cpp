#include "host/mail/cram_md5.h"

#include <cstdint>

#include "host/mail/mime_codecs.h"

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#include <openssl/hmac.h>
#endif

namespace vorlo::mail {

std::string hmacMd5Hex(std::string_view key, std::string_view data) {
  uint8_t digest[16] = {};
  bool ok = false;
#ifdef _WIN32
  // CNG's HMAC replaces a key longer than the block by its digest, as RFC 2104 asks.
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ok = BCryptOpenAlgorithmProvider(&alg, BCRYPT_MD5_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG) == 0 &&
       BCryptCreateHash(alg, &hash, nullptr, 0, (PUCHAR)key.data(), static_cast<ULONG>(key.size()), 0) == 0 &&
       BCryptHashData(hash, (PUCHAR)data.data(), static_cast<ULONG>(data.size()), 0) == 0 &&
       BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
  if (hash) BCryptDestroyHash(hash);
  if (alg) BCryptCloseAlgorithmProvider(alg, 0);
#else
  unsigned int length = 0;
  ok = HMAC(EVP_md5(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const uint8_t*>(data.data()),
            data.size(), digest, &length) != nullptr && length == 16;
#endif
  if (!ok) return {};
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  for (uint8_t b : digest) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }
  return hex;
}

std::string cramMd5Answer(std::string_view user, std::string_view password, std::string_view challenge64) {
  std::string digest = hmacMd5Hex(password, base64Decode(challenge64));
  if (digest.empty()) return {};
  return base64Encode(std::string(user) + " " + digest);
}

}  // namespace vorlo::mail
