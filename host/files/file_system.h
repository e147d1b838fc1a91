// The Win32 side of the file-system classes, in small helpers: listings, the normalised spelling of a
// path, tree copy and size, file times and the free-space query. Wide paths throughout; a path the
// system cannot take is a failure, never a shorter path.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vorlo {

struct DirEntry {
  std::wstring name;
  DWORD attributes;
  uint64_t size;
};
// Entries of `pattern` ("folder\*.*"), "." and ".." left out; empty when it cannot be listed.
std::vector<DirEntry> listEntries(const std::wstring& pattern);
inline bool isDirectory(const DirEntry& e) { return (e.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
// Junctions and symbolic links: never followed by copies and sizes.
inline bool isReparsePoint(const DirEntry& e) { return (e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

// The absolute path (any length the system gives); nullopt when it fails.
std::optional<std::wstring> absolutePath(const std::wstring& path);
// The path in the spelling the disk lists, "\" separators, without a trailing "\" unless it is a
// drive root.
std::wstring diskSpelling(const std::wstring& absolute);

// Copies the contents of `source` into `destination` (made when missing); stops at the first
// failure. Refuses a destination inside the source; does not descend into links.
bool copyTree(const std::wstring& source, const std::wstring& destination);
// The sizes of every file below a folder (64-bit each), links not followed.
uint64_t treeSize(const std::wstring& folder);

enum class FileTimeKind { Created, Accessed, Written };
std::optional<uint64_t> readFileTime(const std::wstring& path, bool folder, FileTimeKind kind);
bool writeFileTime(const std::wstring& path, bool folder, FileTimeKind kind, uint64_t fileTime);

// kind 0 used, 1 available to the caller, 2 total, 3 total free; nullopt on failure.
std::optional<uint64_t> freeSpace(const std::wstring& root, int kind);

}  // namespace vorlo
