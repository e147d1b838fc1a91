// Known answers for the digests, ciphers and encodings behind Encryption: RFC 1321's MD5 suite, DES and
// Triple-DES vectors (FIPS/NIST), Schneier's Blowfish vectors, RFC 4648's Base64 vectors; then the
// key schemes, the block layout of texts and the enciphered file format with its checks.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "host/crypto/blowfish.h"
#include "host/crypto/cipher_schemes.h"
#include "host/crypto/des.h"
#include "host/mail/mime_codecs.h"
#include "util/digest.h"

#ifndef _WIN32
#include <openssl/evp.h>
#endif

namespace vorlo::crypto {
namespace {

std::string hex(std::span<const uint8_t> bytes) {
  std::string out;
  char b[3];
  for (uint8_t c : bytes) {
    std::snprintf(b, sizeof b, "%02x", c);
    out += b;
  }
  return out;
}
std::string hex(std::string_view s) { return hex(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(s.data()), s.size())); }
std::vector<uint8_t> bytes(uint64_t v) {
  std::vector<uint8_t> out(8);
  storeBlock(v, out.data());
  return out;
}

TEST(Md5, Rfc1321Suite) {
  const struct { const char* text; const char* digest; } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& c : cases) {
    std::string_view t(c.text);
    EXPECT_EQ(hex(md5(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(t.data()), t.size()))), c.digest) << c.text;
  }
  // Fed in pieces, the same digest.
  Md5 m;
  std::string_view t = "message digest";
  for (char ch : t) m.update(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(&ch), 1));
  EXPECT_EQ(hex(m.finish()), "f96b697d7cb7938d525a2f31aaf161d0");
}

TEST(Des, KnownAnswers) {
  const struct { uint64_t key, plain, cipher; } cases[] = {
      {0x133457799BBCDFF1, 0x0123456789ABCDEF, 0x85E813540F0AB405},
      {0x0101010101010101, 0x8000000000000000, 0x95F8A5E5DD31D900},
      {0x0101010101010101, 0x4000000000000000, 0xDD7F121CA5015619},
      {0x8001010101010101, 0x0000000000000000, 0x95A8D72813DAA94D},
      {0x0E329232EA6D0D73, 0x8787878787878787, 0x0000000000000000},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> k = bytes(c.key);
    Des des(std::span<const uint8_t, 8>(k.data(), 8));
    EXPECT_EQ(des.encrypt(c.plain), c.cipher) << std::hex << c.key;
    EXPECT_EQ(des.decrypt(c.cipher), c.plain);
  }
}

TEST(TripleDes, NistExample) {
  std::vector<uint8_t> key = bytes(0x0123456789ABCDEF), k2 = bytes(0x23456789ABCDEF01), k3 = bytes(0x456789ABCDEF0123);
  key.insert(key.end(), k2.begin(), k2.end());
  key.insert(key.end(), k3.begin(), k3.end());
  TripleDes tdes(std::span<const uint8_t, 24>(key.data(), 24));
  EXPECT_EQ(tdes.encrypt(0x5468652071756663), 0xA826FD8CE53B855Full);  // "The qufc"
  EXPECT_EQ(tdes.decrypt(0xA826FD8CE53B855F), 0x5468652071756663ull);
}

#ifndef _WIN32
// Against OpenSSL's Triple DES for many keys and blocks: every S-box entry takes part.
TEST(TripleDes, MatchesOpenSsl) {
  uint64_t seed = 0x9E3779B97F4A7C15;
  auto next = [&] { seed ^= seed << 13; seed ^= seed >> 7; seed ^= seed << 17; return seed; };
  for (int round = 0; round < 200; ++round) {
    std::vector<uint8_t> key;
    for (int i = 0; i < 3; ++i) { auto b = bytes(next()); key.insert(key.end(), b.begin(), b.end()); }
    std::vector<uint8_t> plain = bytes(next()), expected(16);
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    int n = 0;
    ASSERT_EQ(EVP_EncryptInit_ex(ctx, EVP_des_ede3_ecb(), nullptr, key.data(), nullptr), 1);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    ASSERT_EQ(EVP_EncryptUpdate(ctx, expected.data(), &n, plain.data(), 8), 1);
    EVP_CIPHER_CTX_free(ctx);
    TripleDes tdes(std::span<const uint8_t, 24>(key.data(), 24));
    std::vector<uint8_t> got(8);
    storeBlock(tdes.encrypt(loadBlock(plain.data())), got.data());
    ASSERT_EQ(hex(got), hex(std::span<const uint8_t>(expected.data(), 8))) << round;
  }
}
#endif

TEST(Blowfish, SchneierVectors) {
  const struct { uint64_t key, plain, cipher; } cases[] = {
      {0x0000000000000000, 0x0000000000000000, 0x4EF997456198DD78},
      {0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 0x51866FD5B85ECB8A},
      {0x3000000000000000, 0x1000000000000001, 0x7D856F9A613063F2},
      {0x1111111111111111, 0x1111111111111111, 0x2466DD878B963C9D},
      {0x0123456789ABCDEF, 0x1111111111111111, 0x61F9C3802281B096},
      {0xFEDCBA9876543210, 0x0123456789ABCDEF, 0x0ACEAB0FC6A0A28D},
  };
  for (const auto& c : cases) {
    std::vector<uint8_t> k = bytes(c.key);
    Blowfish bf(k);
    uint32_t l = static_cast<uint32_t>(c.plain >> 32), r = static_cast<uint32_t>(c.plain);
    bf.encrypt(l, r);
    EXPECT_EQ(uint64_t(l) << 32 | r, c.cipher) << std::hex << c.key;
    bf.decrypt(l, r);
    EXPECT_EQ(uint64_t(l) << 32 | r, c.plain);
  }
}

TEST(Base64, Rfc4648Vectors) {
  const struct { const char* plain; const char* encoded; } cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(mail::base64Encode(c.plain), c.encoded);
    EXPECT_EQ(mail::base64Decode(c.encoded), c.plain);
  }
  EXPECT_EQ(mail::base64Decode("Zm9v\r\nYmFy"), "foobar");
}

TEST(KeySchemes, FoldingAndLayout) {
  // Positions 0-7 take the byte shifted left; 8-15 the reversed byte, from the end backwards.
  EXPECT_EQ(hex(foldKey("")), "0000000000000000");
  EXPECT_EQ(hex(foldKey("ab")), "c2c4000000000000");
  EXPECT_EQ(hex(foldKey("\x01\x01\x01\x01\x01\x01\x01\x01\x01")), "0202020202020282");
  EXPECT_EQ(hex(foldKey(std::string(16, static_cast<char>(0x80)))), "0101010101010101");
  auto des = tripleDesKey("abc");
  EXPECT_EQ(hex(std::span<const uint8_t>(des.data(), 16)), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(hex(std::span<const uint8_t>(des.data() + 16, 8)), hex(foldKey("abc")));
  auto bf = blowfishKey("abc");
  EXPECT_EQ(hex(std::span<const uint8_t>(bf.data() + 16, 16)), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(hex(std::span<const uint8_t>(bf.data() + 48, 8)), hex(foldKey("abc")));
  EXPECT_NE(hex(std::span<const uint8_t>(bf.data() + 32, 16)), hex(std::span<const uint8_t>(bf.data() + 16, 16)));
}

TEST(TextCiphers, BlocksPaddingAndWordOrder) {
  EXPECT_EQ(blowfishEncrypt("k", "").size(), 0u);
  EXPECT_EQ(blowfishEncrypt("k", "12345678").size(), 8u);
  EXPECT_EQ(blowfishEncrypt("k", "123456789").size(), 16u);
  std::string text = "a text of some length, not a multiple of eight";
  for (const char* key : {"", "k", "a much longer key text than sixteen bytes"}) {
    std::string back = blowfishDecrypt(key, blowfishEncrypt(key, text));
    EXPECT_EQ(back.substr(0, text.size()), text);
    EXPECT_EQ(back.substr(text.size()), std::string(back.size() - text.size(), '\0'));
    back = tripleDesDecrypt(key, tripleDesEncrypt(key, text));
    EXPECT_EQ(back.substr(0, text.size()), text);
  }
  EXPECT_NE(blowfishDecrypt("other", blowfishEncrypt("k", text)).substr(0, text.size()), text);
  // Blowfish reads each block as two little-endian words: the same cipher on the byte-swapped block.
  auto key = blowfishKey("k");
  Blowfish bf(key);
  uint32_t l = 0x64636261, r = 0x68676665;  // "abcdefgh"
  bf.encrypt(l, r);
  std::string expected;
  for (uint32_t w : {l, r})
    for (int i = 0; i < 4; ++i) expected += static_cast<char>(w >> (8 * i));
  EXPECT_EQ(hex(blowfishEncrypt("k", "abcdefgh")), hex(expected));
  // Triple DES keeps the standard big-endian layout.
  auto dkey = tripleDesKey("k");
  TripleDes tdes(dkey);
  std::string block = tripleDesEncrypt("k", "abcdefgh");
  EXPECT_EQ(loadBlock(reinterpret_cast<const uint8_t*>(block.data())), tdes.encrypt(0x6162636465666768));
}

// Enciphered files through memory: the sizes around piece and block edges, and the trailer's checks.
struct MemoryFile {
  std::string data;
  size_t at = 0;
  ReadFn reader() {
    return [this](uint8_t* buffer, size_t n) -> long long {
      size_t k = std::min(n, data.size() - at);
      std::copy(data.begin() + static_cast<std::ptrdiff_t>(at), data.begin() + static_cast<std::ptrdiff_t>(at + k), buffer);
      at += k;
      return static_cast<long long>(k);
    };
  }
};

TEST(FileCipher, RoundTripsAndChecks) {
  auto key = blowfishKey("file key");
  Blowfish bf(key);
  for (size_t size : {size_t(0), size_t(1), size_t(8), size_t(4095), size_t(4096), size_t(4097), size_t(10000)}) {
    MemoryFile source;
    for (size_t i = 0; i < size; ++i) source.data += static_cast<char>(i * 7 + 3);
    std::string enciphered;
    ASSERT_TRUE(encipherFile(bf, source.reader(), [&](const uint8_t* b, size_t n) { enciphered.append(reinterpret_cast<const char*>(b), n); return true; }));
    EXPECT_EQ(enciphered.size(), (size + 7) / 8 * 8 + 8) << size;
    uint64_t length = storedLength(reinterpret_cast<const uint8_t*>(enciphered.data() + enciphered.size() - 8));
    EXPECT_EQ(length, size);
    if (size >= 8) {
      EXPECT_NE(enciphered.substr(0, 8), source.data.substr(0, 8));
    }
    MemoryFile blocks{enciphered.substr(0, enciphered.size() - 8)};
    std::string back;
    ASSERT_TRUE(decipherFile(bf, enciphered.size(), length, blocks.reader(), [&](const uint8_t* b, size_t n) { back.append(reinterpret_cast<const char*>(b), n); return true; }));
    EXPECT_EQ(back, source.data) << size;
  }
  // Unsound trailers and sizes: false, nothing written.
  const struct { uint64_t size, length; } bad[] = {{0, 0}, {7, 0}, {12, 0}, {16, 9}, {24, 8}, {16, UINT64_MAX}};
  for (const auto& b : bad) {
    MemoryFile blocks{std::string(static_cast<size_t>(b.size >= 8 ? b.size - 8 : 0), 'x')};
    bool wrote = false;
    EXPECT_FALSE(decipherFile(bf, b.size, b.length, blocks.reader(), [&](const uint8_t*, size_t) { wrote = true; return true; }));
    EXPECT_FALSE(wrote);
  }
}

}  // namespace
}  // namespace vorlo::crypto
