#include "util/digest.h"

#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#include <bcrypt.h>
#else
#include <openssl/evp.h>
#include <openssl/hmac.h>
#endif

namespace vorlo {

#ifdef _WIN32

Digest16 keyedDigest(std::span<const uint8_t> key, std::span<const uint8_t> data) {
  Digest16 out{};
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  uint8_t full[32];
  bool ok = BCryptOpenAlgorithmProvider(&alg, BCRYPT_SHA256_ALGORITHM, nullptr, BCRYPT_ALG_HANDLE_HMAC_FLAG) == 0 &&
            BCryptCreateHash(alg, &hash, nullptr, 0, const_cast<PUCHAR>(key.data()),
                             static_cast<ULONG>(key.size()), 0) == 0 &&
            BCryptHashData(hash, const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), 0) == 0 &&
            BCryptFinishHash(hash, full, sizeof full, 0) == 0;
  if (hash) BCryptDestroyHash(hash);
  if (alg) BCryptCloseAlgorithmProvider(alg, 0);
  if (!ok) throw std::runtime_error("the system's SHA-256 provider is not available");
  std::memcpy(out.data(), full, out.size());
  return out;
}

#else

Digest16 keyedDigest(std::span<const uint8_t> key, std::span<const uint8_t> data) {
  uint8_t full[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (!HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), data.data(), data.size(), full, &len) ||
      len < 16) {
    throw std::runtime_error("HMAC-SHA-256 failed");
  }
  Digest16 out{};
  std::memcpy(out.data(), full, out.size());
  return out;
}

#endif

}  // namespace vorlo
