// How scripts' texts and files are enciphered: keys derived from key texts, Blowfish and Triple-DES
// over zero-padded 8-byte blocks, and the file format of enciphered files (4096-byte pieces of
// Blowfish blocks followed by the plain 64-bit length). Bytes in, bytes out; no files, no Base64.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "host/crypto/blowfish.h"

namespace vorlo::crypto {

// The first stage of the classic DES string-to-key: an 8-byte value folded from the key text.
std::array<uint8_t, 8> foldKey(std::string_view key);
// MD5 of the key text followed by the folded key.
std::array<uint8_t, 24> tripleDesKey(std::string_view key);
// MD5(folded key), MD5(key text), the two halves of MD5(key text) enciphered with Triple DES under the
// program's own fixed key, the folded key: 56 bytes, Blowfish's longest key.
std::array<uint8_t, 56> blowfishKey(std::string_view key);

// The bytes zero-padded to whole blocks and enciphered; blocks are two little-endian words for
// Blowfish, the standard layout for Triple DES. Deciphering takes whole blocks (a last partial block
// is zero-padded) and keeps everything; callers cut at the first zero byte.
std::string blowfishEncrypt(std::string_view key, std::string_view bytes);
std::string blowfishDecrypt(std::string_view key, std::string_view bytes);
std::string tripleDesEncrypt(std::string_view key, std::string_view bytes);
std::string tripleDesDecrypt(std::string_view key, std::string_view bytes);

// The enciphered file format. `read` fills up to n bytes and answers how many (0 at the end, -1 on a
// failure); `write` answers false on a failure.
using ReadFn = std::function<long long(uint8_t* buffer, size_t n)>;
using WriteFn = std::function<bool(const uint8_t* bytes, size_t n)>;
bool encipherFile(const Blowfish& cipher, const ReadFn& read, const WriteFn& write);
// The length kept in an enciphered file's last 8 bytes.
uint64_t storedLength(const uint8_t* trailer);
// `size` is the enciphered source's size and `length` its stored length: the source must hold the
// 8-byte trailer, whole blocks before it, and a length that ends in the last of them; otherwise false
// before anything is written. `read` delivers the blocks (not the trailer).
bool decipherFile(const Blowfish& cipher, uint64_t size, uint64_t length, const ReadFn& read, const WriteFn& write);

}  // namespace vorlo::crypto
