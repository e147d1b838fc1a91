#include <windows.h>
#include <objbase.h>

#include "util/platform.h"
#include "util/text.h"

namespace vorlo::os {
namespace {
DWORD attributes(const std::string& path) { return GetFileAttributesW(toWide(path).c_str()); }
}  // namespace

std::string getEnv(const char* name) {
  std::wstring n = toWide(name);
  DWORD need = GetEnvironmentVariableW(n.c_str(), nullptr, 0);
  if (need == 0) return {};
  std::wstring buf(need, L'\0');
  DWORD got = GetEnvironmentVariableW(n.c_str(), buf.data(), need);
  if (got == 0 || got >= need) return {};
  return fromWide(std::wstring_view(buf.data(), got));
}

std::string windowsFolder() {
  wchar_t buf[MAX_PATH];
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  return (n == 0 || n >= MAX_PATH) ? std::string() : fromWide(std::wstring_view(buf, n));
}

uint32_t tickCount() { return GetTickCount(); }

std::string newGuidText() {
  GUID g{};
  if (FAILED(CoCreateGuid(&g))) return {};
  wchar_t buf[64];
  int n = StringFromGUID2(g, buf, 64);
  return n > 1 ? fromWide(std::wstring_view(buf, static_cast<size_t>(n - 1))) : std::string();
}

std::string executablePath() {
  std::wstring buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  return fromWide(std::wstring_view(buf.data(), n));
}

bool isFile(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFolder(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool createFolder(const std::string& path) { return CreateDirectoryW(toWide(path).c_str(), nullptr) != 0; }

bool removeFile(const std::string& path) { return DeleteFileW(toWide(path).c_str()) != 0; }

// RemoveDirectoryW on a junction or directory link removes the link itself, never its target.
bool removeFolder(const std::string& path) { return RemoveDirectoryW(toWide(path).c_str()) != 0; }

std::vector<FolderEntry> listFolder(const std::string& path) {
  std::vector<FolderEntry> out;
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += "*.*";
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(toWide(pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
    FolderEntry e;
    e.name = fromWide(std::wstring_view(fd.cFileName, wcslen(fd.cFileName)));
    e.folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.link = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    out.push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return out;
}

bool isLink(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string fullPath(const std::string& path) {
  std::wstring w = toWide(path);
  DWORD need = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
  if (need == 0) return path;
  std::wstring buf(need, L'\0');
  DWORD got = GetFullPathNameW(w.c_str(), need, buf.data(), nullptr);
  if (got == 0 || got >= need) return path;
  return fromWide(std::wstring_view(buf.data(), got));
}

bool replaceFile(const std::string& from, const std::string& to) {
  return MoveFileExW(toWide(from).c_str(), toWide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

uint32_t lastErrorCode() { return GetLastError(); }

std::string errorText(uint32_t code) {
  wchar_t buf[256];
  DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                           GetSystemDefaultLangID(), buf, 255, nullptr);
  if (n == 0) {
    n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                       255, nullptr);
  }
  while (n > 0 && (buf[n - 1] == L'\r' || buf[n - 1] == L'\n' || buf[n - 1] == L' ')) n--;
  return fromWide(std::wstring_view(buf, n));
}

char16_t foldCase(char16_t c) {
  wchar_t w = static_cast<wchar_t>(c);
  CharLowerBuffW(&w, 1);
  return static_cast<char16_t>(w);
}

}  // namespace vorlo::os
