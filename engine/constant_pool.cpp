#include "engine/instructions.h"

#include <bit>
#include <cstring>

#include "engine/ansi.h"

namespace vorlo {

namespace {

void putBigEndian(std::string& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; i--) out += char((value >> (8 * i)) & 0xFF);
}

void putUtf16(std::string& out, const std::u16string& units) {
  putBigEndian(out, uint64_t(units.size()) * 2, 4);
  for (char16_t unit : units) {
    out += char(unit & 0xFF);
    out += char(unit >> 8);
  }
}

}  // namespace

template <typename Encode>
uint32_t ConstantPool::intern(uint8_t kind, std::string key, Encode&& encode) {
  key.insert(key.begin(), char(kind));
  auto found = index_.find(key);
  if (found != index_.end()) return found->second;
  bytes_ += char(kind);
  encode(bytes_);
  index_.emplace(std::move(key), count_);
  return count_++;
}

uint32_t ConstantPool::integer(int64_t value) {
  return intern(3, std::to_string(value),
                [&](std::string& out) { putBigEndian(out, uint64_t(value), 8); });
}

uint32_t ConstantPool::number(double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  std::string key(reinterpret_cast<const char*>(&bits), sizeof bits);
  // The image stores a double as the little-endian machine does.
  return intern(5, key, [&](std::string& out) {
    for (int i = 0; i < 8; i++) out += char((bits >> (8 * i)) & 0xFF);
  });
}

uint32_t ConstantPool::string(const char* text, size_t length) {
  return intern(4, std::string(text, length),
                [&](std::string& out) { putUtf16(out, ansiToUtf16(text, length)); });
}

uint32_t ConstantPool::symbol(const char* text, size_t length) {
  return intern(10, std::string(text, length), [&](std::string& out) {
    out.append(text, length);
    out += '\0';
  });
}

uint32_t ConstantPool::regExp(const char* body, size_t length, int flags) {
  // The flags lead the key: a body ending in "g" must not meet the same body with the g flag.
  std::string key(1, char('0' + (flags & 7)));
  key.append(body, length);
  return intern(11, key, [&](std::string& out) {
    out += char(flags & 7);
    putUtf16(out, ansiToUtf16(body, length));
  });
}

}  // namespace vorlo
