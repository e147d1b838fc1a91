#include "host/mail/cram_md5.h"

#include <cstdint>
#include <span>

#include "host/mail/mime_codecs.h"
#include "util/digest.h"

namespace vorlo::mail {
namespace {

std::span<const uint8_t> bytesOf(std::string_view s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

}  // namespace

// HMAC (RFC 2104) over the system's MD5: a key longer than the 64-byte block is replaced by its
// digest; inner and outer passes with the key padded and XORed with 0x36 and 0x5C.
std::string hmacMd5Hex(std::string_view key, std::string_view data) {
  uint8_t block[64] = {};
  if (key.size() > sizeof block) {
    Digest16 k = md5(bytesOf(key));
    std::copy(k.begin(), k.end(), block);
  } else {
    std::copy(key.begin(), key.end(), block);
  }
  uint8_t inner[64], outer[64];
  for (size_t i = 0; i < sizeof block; ++i) {
    inner[i] = block[i] ^ 0x36;
    outer[i] = block[i] ^ 0x5C;
  }
  Md5 first;
  first.update(inner);
  first.update(bytesOf(data));
  Digest16 innerDigest = first.finish();
  Md5 second;
  second.update(outer);
  second.update(innerDigest);
  return hexText(second.finish());
}

std::string cramMd5Answer(std::string_view user, std::string_view password, std::string_view challenge64) {
  return base64Encode(std::string(user) + " " + hmacMd5Hex(password, base64Decode(challenge64)));
}

}  // namespace vorlo::mail
