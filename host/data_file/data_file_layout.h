// The layout of DataFile's INI files: section names are paths (a global's name, then ".member" or
// ".index" to any depth), each section holds "type" and, for plain values, "value".
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo {

// The deepest nesting save writes (members further down are left out).
inline constexpr int kMaxDataFileDepth = 64;
// Array elements a file may name: the ECMAScript index range 0 .. 2^32 - 2. Sections beyond it are
// skipped, so a damaged file cannot make a giant array.
inline constexpr uint64_t kMaxDataFileIndex = 0xFFFFFFFEull;

// The parts of a section name, split at "." and " " (empty parts are kept).
std::vector<std::u16string> sectionParts(std::u16string_view section);
// The array index a part names: decimal digits only, within kMaxDataFileIndex.
std::optional<int64_t> indexPart(std::u16string_view part);

enum class StoredType { String, Integer, Boolean, Float, Object, Array };
std::optional<StoredType> storedType(std::u16string_view name);  // exact names, "string" ... "array"
std::u16string_view storedTypeName(StoredType type);

// "value" of an integer section: 64-bit decimal, wrapping like the C library's reading of the
// digits; text after the number is ignored.
int64_t integerValue(std::u16string_view text);

}  // namespace vorlo
