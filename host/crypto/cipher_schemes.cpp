#include "host/crypto/cipher_schemes.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "host/crypto/des.h"
#include "util/digest.h"

namespace vorlo::crypto {
namespace {

// The program's own Triple-DES key for the Blowfish key derivation (any constant serves; files and
// texts enciphered with it open only here).
constexpr std::array<uint8_t, 24> kDerivationKey = {0x56, 0x6F, 0x72, 0x6C, 0x6F, 0x2D, 0x6B, 0x65, 0x79, 0x21, 0x3A, 0x9E,
                                                    0x41, 0xC7, 0x08, 0xB3, 0x6D, 0x12, 0xF5, 0x8A, 0x2C, 0xE0, 0x57, 0x94};

std::span<const uint8_t> bytesOf(std::string_view s) { return {reinterpret_cast<const uint8_t*>(s.data()), s.size()}; }

uint8_t reversedBits(uint8_t c) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r << 1 | (c >> i & 1));
  return r;
}

uint32_t loadLittle(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
void storeLittle(uint32_t v, uint8_t* p) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Whole blocks of the bytes, the last one zero-padded.
std::string padded(std::string_view bytes) {
  std::string out(bytes);
  out.resize((bytes.size() + 7) / 8 * 8, '\0');
  return out;
}

void blowfishBlocks(const Blowfish& cipher, uint8_t* data, size_t length, bool decrypt) {
  for (size_t at = 0; at + 8 <= length; at += 8) {
    uint32_t l = loadLittle(data + at), r = loadLittle(data + at + 4);
    if (decrypt) cipher.decrypt(l, r);
    else cipher.encrypt(l, r);
    storeLittle(l, data + at);
    storeLittle(r, data + at + 4);
  }
}

std::string blowfishRun(std::string_view key, std::string_view bytes, bool decrypt) {
  std::array<uint8_t, 56> k = blowfishKey(key);
  Blowfish cipher(k);
  std::string out = padded(bytes);
  blowfishBlocks(cipher, reinterpret_cast<uint8_t*>(out.data()), out.size(), decrypt);
  return out;
}

std::string tripleDesRun(std::string_view key, std::string_view bytes, bool decrypt) {
  std::array<uint8_t, 24> k = tripleDesKey(key);
  TripleDes cipher(k);
  std::string out = padded(bytes);
  auto* data = reinterpret_cast<uint8_t*>(out.data());
  for (size_t at = 0; at < out.size(); at += 8) {
    uint64_t block = loadBlock(data + at);
    storeBlock(decrypt ? cipher.decrypt(block) : cipher.encrypt(block), data + at);
  }
  return out;
}

constexpr size_t kPiece = 4096;

// Reads until n bytes or the end; -1 on a failure.
long long readFull(const ReadFn& read, uint8_t* buffer, size_t n) {
  size_t got = 0;
  while (got < n) {
    long long r = read(buffer + got, n - got);
    if (r < 0) return -1;
    if (r == 0) break;
    got += static_cast<size_t>(r);
  }
  return static_cast<long long>(got);
}

}  // namespace

std::array<uint8_t, 8> foldKey(std::string_view key) {
  std::array<uint8_t, 8> k{};
  for (size_t i = 0; i < key.size(); ++i) {
    auto c = static_cast<uint8_t>(key[i]);
    if (i % 16 < 8) k[i % 8] ^= static_cast<uint8_t>(c << 1);
    else k[7 - i % 8] ^= reversedBits(c);
  }
  return k;
}

std::array<uint8_t, 24> tripleDesKey(std::string_view key) {
  std::array<uint8_t, 24> out{};
  Digest16 digest = md5(bytesOf(key));
  std::array<uint8_t, 8> folded = foldKey(key);
  std::memcpy(out.data(), digest.data(), 16);
  std::memcpy(out.data() + 16, folded.data(), 8);
  return out;
}

std::array<uint8_t, 56> blowfishKey(std::string_view key) {
  std::array<uint8_t, 56> out{};
  std::array<uint8_t, 8> folded = foldKey(key);
  Digest16 ofFolded = md5(folded);
  Digest16 ofKey = md5(bytesOf(key));
  TripleDes fixed(kDerivationKey);
  std::memcpy(out.data(), ofFolded.data(), 16);
  std::memcpy(out.data() + 16, ofKey.data(), 16);
  for (int half = 0; half < 2; ++half)
    storeBlock(fixed.encrypt(loadBlock(ofKey.data() + 8 * half)), out.data() + 32 + 8 * half);
  std::memcpy(out.data() + 48, folded.data(), 8);
  return out;
}

std::string blowfishEncrypt(std::string_view key, std::string_view bytes) { return blowfishRun(key, bytes, false); }
std::string blowfishDecrypt(std::string_view key, std::string_view bytes) { return blowfishRun(key, bytes, true); }
std::string tripleDesEncrypt(std::string_view key, std::string_view bytes) { return tripleDesRun(key, bytes, false); }
std::string tripleDesDecrypt(std::string_view key, std::string_view bytes) { return tripleDesRun(key, bytes, true); }

bool encipherFile(const Blowfish& cipher, const ReadFn& read, const WriteFn& write) {
  std::vector<uint8_t> piece(kPiece);
  uint64_t total = 0;
  for (;;) {
    long long got = readFull(read, piece.data(), kPiece);
    if (got < 0) return false;
    if (got == 0) break;
    size_t n = static_cast<size_t>(got);
    total += n;
    size_t whole = (n + 7) / 8 * 8;
    std::memset(piece.data() + n, 0, whole - n);
    blowfishBlocks(cipher, piece.data(), whole, false);
    if (!write(piece.data(), whole)) return false;
    if (n < kPiece) break;
  }
  uint8_t trailer[8];
  for (int i = 0; i < 8; ++i) trailer[i] = static_cast<uint8_t>(total >> (8 * i));
  return write(trailer, 8);
}

uint64_t storedLength(const uint8_t* trailer) {
  uint64_t length = 0;
  for (int i = 7; i >= 0; --i) length = length << 8 | trailer[i];
  return length;
}

bool decipherFile(const Blowfish& cipher, uint64_t size, uint64_t length, const ReadFn& read, const WriteFn& write) {
  if (size < 8 || (size - 8) % 8 != 0) return false;
  uint64_t data = size - 8;
  if (length > data || data - length >= 8) return false;
  std::vector<uint8_t> piece(kPiece);
  uint64_t left = length;
  for (uint64_t done = 0; done < data;) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(kPiece, data - done));
    if (readFull(read, piece.data(), want) != static_cast<long long>(want)) return false;
    blowfishBlocks(cipher, piece.data(), want, true);
    size_t keep = static_cast<size_t>(std::min<uint64_t>(want, left));
    if (keep && !write(piece.data(), keep)) return false;
    left -= keep;
    done += want;
  }
  return true;
}

}  // namespace vorlo::crypto
