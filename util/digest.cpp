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

// CNG's hash object.
struct Md5State {
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
};

Md5::Md5() : state_(new Md5State) {
  auto* s = static_cast<Md5State*>(state_);
  if (BCryptOpenAlgorithmProvider(&s->alg, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0 ||
      BCryptCreateHash(s->alg, &s->hash, nullptr, 0, nullptr, 0, 0) != 0) {
    if (s->alg) BCryptCloseAlgorithmProvider(s->alg, 0);
    delete s;
    throw std::runtime_error("the system's MD5 provider is not available");
  }
}
Md5::~Md5() {
  auto* s = static_cast<Md5State*>(state_);
  if (s->hash) BCryptDestroyHash(s->hash);
  if (s->alg) BCryptCloseAlgorithmProvider(s->alg, 0);
  delete s;
}
void Md5::update(std::span<const uint8_t> data) {
  auto* s = static_cast<Md5State*>(state_);
  if (!data.empty()) BCryptHashData(s->hash, const_cast<PUCHAR>(data.data()), static_cast<ULONG>(data.size()), 0);
}
Digest16 Md5::finish() {
  Digest16 out{};
  BCryptFinishHash(static_cast<Md5State*>(state_)->hash, out.data(), static_cast<ULONG>(out.size()), 0);
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

Md5::Md5() : state_(EVP_MD_CTX_new()) {
  if (!state_ || EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(state_), EVP_md5(), nullptr) != 1)
    throw std::runtime_error("MD5 is not available");
}
Md5::~Md5() { EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(state_)); }
void Md5::update(std::span<const uint8_t> data) {
  if (!data.empty()) EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(state_), data.data(), data.size());
}
Digest16 Md5::finish() {
  Digest16 out{};
  unsigned int len = 0;
  EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(state_), out.data(), &len);
  return out;
}

#endif

Digest16 md5(std::span<const uint8_t> data) {
  Md5 m;
  m.update(data);
  return m.finish();
}

std::string hexText(std::span<const uint8_t> bytes) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

}  // namespace vorlo
