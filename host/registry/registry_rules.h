// The pure rules of the registry classes: root names, the access table of RegKey.create, key paths,
// and the reading of stored value data within its length. String data is UTF-16 (the wide registry
// functions); no stored value needs its terminator.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo {

// The predefined key of a root name ("HKCU", case-insensitive) as its 32-bit handle value
// (0x80000001 ...); nullopt for other names.
std::optional<uint32_t> rootKeyValue(std::u16string_view name);
// A path split at its first "\": the first component and the rest (rest empty without one).
struct KeyPath {
  std::u16string_view first, rest;
};
KeyPath splitKeyPath(std::u16string_view path);

// The access of RegKey.create's index; KEY_ALL_ACCESS outside the table.
uint32_t createAccess(int64_t index);

// Registry value types used by the data rules.
enum : uint32_t {
  kRegNone = 0, kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegDwordBigEndian = 5,
  kRegLink = 6, kRegMultiSz = 7, kRegResourceList = 8,
};
// UTF-16 text of the data up to its first 0 unit or its end (a lone last byte is dropped).
std::u16string dataText(const uint8_t* data, size_t length);
// The strings of REG_MULTI_SZ data: separated by 0 units, ended by an empty one or the data's end.
std::vector<std::u16string> dataStrings(const uint8_t* data, size_t length);
// A copy of REG_MULTI_SZ data that ends with its two 0 units (the last string's and the list's).
std::vector<uint8_t> terminatedMultiString(const uint8_t* data, size_t length);

}  // namespace vorlo
