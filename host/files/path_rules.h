// The pure rules of the file-system classes: wildcard matching of names, file times, the parts of a
// stored path and the drive-root test. Paths here are UTF-16 with "\" separators.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo {

// "*" any run (also empty), "?" any one unit; other units compare after case folding by `fold`.
// Greedy with backtracking to the last "*".
bool wildcardMatch(std::u16string_view name, std::u16string_view pattern, char16_t (*fold)(char16_t));
// The patterns of a filter: split at ";", not trimmed (empty patterns are kept and match nothing
// but the empty name).
std::vector<std::u16string> filterPatterns(std::u16string_view filter);

// FILETIME (100-ns units since 1601) to milliseconds since 1970 UTC and back.
inline constexpr int64_t kFileTimeTo1970 = 116444736000000000LL;
inline constexpr int64_t kMs1601To1970 = 11644473600000LL;
inline int64_t fileTimeToMs(uint64_t fileTime) {
  return (static_cast<int64_t>(fileTime) - kFileTimeTo1970) / 10000;
}
// False when the time has no FILETIME (before 1601 or beyond its range).
bool msToFileTime(int64_t ms, uint64_t* fileTime);

// "C:" of "C:\dir\x"; empty without a drive letter.
std::u16string drivePart(std::u16string_view path);
// The last component ("report.txt"); the whole path without a "\".
std::u16string namePart(std::u16string_view path);
// Everything before the last "\"; the whole path without one.
std::u16string parentPart(std::u16string_view path);
// "X:\" exactly: a ":" followed by "\" and the end.
bool isDriveRoot(std::u16string_view path);
// Joins a folder and a name with one "\" (a trailing "/" of the folder counts as one).
std::u16string joinPath(std::u16string_view folder, std::u16string_view name);
// True when `inner` is `outer` or lies below it (compared case-folded, component-wise).
bool isSameOrBelow(std::u16string_view inner, std::u16string_view outer, char16_t (*fold)(char16_t));

}  // namespace vorlo
