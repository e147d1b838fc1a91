#include "host/files/file_system.h"

#include <cwctype>

#include "host/files/path_rules.h"

namespace vorlo {
namespace {

std::wstring join(const std::wstring& folder, const std::wstring& name) {
  std::u16string joined = joinPath(std::u16string(folder.begin(), folder.end()), std::u16string(name.begin(), name.end()));
  return std::wstring(joined.begin(), joined.end());
}

char16_t foldUnit(char16_t c) { return static_cast<char16_t>(std::towlower(c)); }

}  // namespace

std::vector<DirEntry> listEntries(const std::wstring& pattern) {
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return entries;
  do {
    if (wcscmp(fd.cFileName, L".") == 0 || wcscmp(fd.cFileName, L"..") == 0) continue;
    entries.push_back({fd.cFileName, fd.dwFileAttributes, uint64_t(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow});
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return entries;
}

std::optional<std::wstring> absolutePath(const std::wstring& path) {
  DWORD n = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (n == 0) return std::nullopt;
  std::wstring out(n, L'\0');
  DWORD got = GetFullPathNameW(path.c_str(), n, out.data(), nullptr);
  if (got == 0 || got >= n) return std::nullopt;
  out.resize(got);
  return out;
}

std::wstring diskSpelling(const std::wstring& absolute) {
  std::wstring path = absolute;
  for (wchar_t& ch : path)
    if (ch == L'/') ch = L'\\';
  if (path.empty() || path.back() != L'\\') path += L'\\';
  // The prefix kept as given: "X:\" or "\\server\share\".
  size_t start;
  if (path.size() >= 3 && path[1] == L':') {
    start = 3;
  } else if (path.rfind(L"\\\\", 0) == 0) {
    size_t server = path.find(L'\\', 2);
    size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    start = share == std::wstring::npos ? path.size() : share + 1;
  } else {
    start = 0;
  }
  std::wstring out = path.substr(0, start);
  for (size_t at = start; at < path.size();) {
    size_t slash = path.find(L'\\', at);
    std::wstring given = path.substr(at, slash - at);
    std::wstring prefix = path.substr(0, slash);
    WIN32_FIND_DATAW fd;
    HANDLE h = given.find_first_of(L"*?") == std::wstring::npos ? FindFirstFileW(prefix.c_str(), &fd) : INVALID_HANDLE_VALUE;
    if (h != INVALID_HANDLE_VALUE) {
      out += fd.cFileName;
      FindClose(h);
    } else {
      out += given;
    }
    out += L'\\';
    at = slash + 1;
  }
  if (!isDriveRoot(std::u16string(out.begin(), out.end())) && out.size() > 1 && out.back() == L'\\') out.pop_back();
  return out;
}

bool copyTree(const std::wstring& source, const std::wstring& destination) {
  std::optional<std::wstring> from = absolutePath(source), to = absolutePath(destination);
  if (!from || !to) return false;
  if (isSameOrBelow(std::u16string(to->begin(), to->end()), std::u16string(from->begin(), from->end()), foldUnit)) return false;
  DWORD attributes = GetFileAttributesW(destination.c_str());
  if ((attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) &&
      !CreateDirectoryW(destination.c_str(), nullptr))
    return false;
  for (const DirEntry& e : listEntries(join(source, L"*.*"))) {
    std::wstring s = join(source, e.name), d = join(destination, e.name);
    if (isDirectory(e)) {
      if (isReparsePoint(e)) continue;
      if (!CreateDirectoryW(d.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
      if (!copyTree(s, d)) return false;
    } else if (!CopyFileW(s.c_str(), d.c_str(), FALSE)) {
      return false;
    }
  }
  return true;
}

uint64_t treeSize(const std::wstring& folder) {
  uint64_t total = 0;
  for (const DirEntry& e : listEntries(join(folder, L"*.*"))) {
    if (isReparsePoint(e)) continue;
    total += e.size;
    if (isDirectory(e)) total += treeSize(join(folder, e.name));
  }
  return total;
}

namespace {

HANDLE openForTimes(const std::wstring& path, bool folder, DWORD access) {
  DWORD flags = folder ? FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL : FILE_ATTRIBUTE_NORMAL;
  return CreateFileW(path.c_str(), access, 0, nullptr, OPEN_EXISTING, flags, nullptr);
}

}  // namespace

std::optional<uint64_t> readFileTime(const std::wstring& path, bool folder, FileTimeKind kind) {
  HANDLE h = openForTimes(path, folder, GENERIC_READ);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  FILETIME t[3];
  BOOL ok = GetFileTime(h, &t[0], &t[1], &t[2]);
  CloseHandle(h);
  if (!ok) return std::nullopt;
  const FILETIME& f = t[static_cast<int>(kind)];
  return uint64_t(f.dwHighDateTime) << 32 | f.dwLowDateTime;
}

bool writeFileTime(const std::wstring& path, bool folder, FileTimeKind kind, uint64_t fileTime) {
  HANDLE h = openForTimes(path, folder, GENERIC_WRITE);
  if (h == INVALID_HANDLE_VALUE) return false;
  FILETIME f{static_cast<DWORD>(fileTime), static_cast<DWORD>(fileTime >> 32)};
  BOOL ok = SetFileTime(h, kind == FileTimeKind::Created ? &f : nullptr, kind == FileTimeKind::Accessed ? &f : nullptr,
                        kind == FileTimeKind::Written ? &f : nullptr);
  CloseHandle(h);
  return ok != 0;
}

std::optional<uint64_t> freeSpace(const std::wstring& root, int kind) {
  ULARGE_INTEGER available, total, totalFree;
  if (GetDiskFreeSpaceExW(root.c_str(), &available, &total, &totalFree)) {
    switch (kind) {
      case 0: return total.QuadPart - available.QuadPart;
      case 1: return available.QuadPart;
      case 2: return total.QuadPart;
      default: return totalFree.QuadPart;
    }
  }
  DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
  if (!GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return std::nullopt;
  uint64_t cluster = uint64_t(sectorsPerCluster) * bytesPerSector;
  switch (kind) {
    case 0: return (uint64_t(clusters) - freeClusters) * cluster;
    case 2: return uint64_t(clusters) * cluster;
    default: return uint64_t(freeClusters) * cluster;
  }
}

}  // namespace vorlo
