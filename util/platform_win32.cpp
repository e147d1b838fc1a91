#include <windows.h>
#include <objbase.h>

#include "util/platform.h"
#include "util/text.h"

namespace vorlo::os {
namespace {
std::wstring wide(const std::string& s) {
  std::u16string w = utf8ToUtf16(s);
  return std::wstring(w.begin(), w.end());
}
std::string narrow(const wchar_t* s, size_t n) {
  return utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(s), n));
}
DWORD attributes(const std::string& path) { return GetFileAttributesW(wide(path).c_str()); }
}  // namespace

std::string getEnv(const char* name) {
  std::wstring n = wide(name);
  DWORD need = GetEnvironmentVariableW(n.c_str(), nullptr, 0);
  if (need == 0) return {};
  std::wstring buf(need, L'\0');
  DWORD got = GetEnvironmentVariableW(n.c_str(), buf.data(), need);
  if (got == 0 || got >= need) return {};
  return narrow(buf.data(), got);
}

std::string windowsFolder() {
  wchar_t buf[MAX_PATH];
  UINT n = GetWindowsDirectoryW(buf, MAX_PATH);
  return (n == 0 || n >= MAX_PATH) ? std::string() : narrow(buf, n);
}

uint32_t tickCount() { return GetTickCount(); }

std::string newGuidText() {
  GUID g{};
  if (FAILED(CoCreateGuid(&g))) return {};
  wchar_t buf[64];
  int n = StringFromGUID2(g, buf, 64);
  return n > 1 ? narrow(buf, static_cast<size_t>(n - 1)) : std::string();
}

std::string executablePath() {
  std::wstring buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  return narrow(buf.data(), n);
}

bool isFile(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFolder(const std::string& path) {
  DWORD a = attributes(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool createFolder(const std::string& path) { return CreateDirectoryW(wide(path).c_str(), nullptr) != 0; }

bool removeFile(const std::string& path) { return DeleteFileW(wide(path).c_str()) != 0; }

// RemoveDirectoryW on a junction or directory link removes the link itself, never its target.
bool removeFolder(const std::string& path) { return RemoveDirectoryW(wide(path).c_str()) != 0; }

std::vector<FolderEntry> listFolder(const std::string& path) {
  std::vector<FolderEntry> out;
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += "*.*";
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(wide(pattern).c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return out;
  do {
    if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
    FolderEntry e;
    e.name = narrow(fd.cFileName, wcslen(fd.cFileName));
    e.folder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    e.link = (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    out.push_back(std::move(e));
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return out;
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
  return narrow(buf, n);
}

char16_t foldCase(char16_t c) {
  wchar_t w = static_cast<wchar_t>(c);
  CharLowerBuffW(&w, 1);
  return static_cast<char16_t>(w);
}

}  // namespace vorlo::os
