#include <dirent.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <random>

#include "util/platform.h"

namespace vorlo::os {

std::string getEnv(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

std::string windowsFolder() { return "/tmp"; }

uint32_t tickCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + ts.tv_nsec / 1000000u);
}

std::string newGuidText() {
  std::random_device rd;
  uint8_t b[16];
  for (auto& x : b) x = static_cast<uint8_t>(rd());
  b[6] = static_cast<uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<uint8_t>((b[8] & 0x3F) | 0x80);
  char out[40];
  std::snprintf(out, sizeof out,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[0], b[1],
                b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return out;
}

std::string executablePath() {
  std::string buf(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  buf.resize(static_cast<size_t>(n));
  return buf;
}

bool isFile(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isFolder(const std::string& path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool createFolder(const std::string& path) { return mkdir(path.c_str(), 0777) == 0; }

bool removeFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool removeFolder(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat st{};
  if (lstat(p.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return unlink(p.c_str()) == 0;
  return rmdir(p.c_str()) == 0;
}

std::vector<FolderEntry> listFolder(const std::string& path) {
  std::vector<FolderEntry> out;
  DIR* d = opendir(path.c_str());
  if (!d) return out;
  std::string base = path;
  if (!base.empty() && base.back() != '/') base += '/';
  while (dirent* e = readdir(d)) {
    if (!std::strcmp(e->d_name, ".") || !std::strcmp(e->d_name, "..")) continue;
    FolderEntry fe;
    fe.name = e->d_name;
    struct stat st{};
    if (lstat((base + fe.name).c_str(), &st) == 0) {
      fe.link = S_ISLNK(st.st_mode);
      fe.folder = S_ISDIR(st.st_mode) || (fe.link && isFolder(base + fe.name));
    }
    out.push_back(std::move(fe));
  }
  closedir(d);
  return out;
}

bool isLink(const std::string& path) {
  struct stat st{};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

std::string fullPath(const std::string& path) {
  std::string whole = path;
  if (whole.empty() || whole[0] != '/') {
    char* cwd = getcwd(nullptr, 0);
    if (!cwd) return path;
    whole = std::string(cwd) + "/" + whole;
    std::free(cwd);
  }
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= whole.size()) {
    size_t slash = whole.find('/', start);
    if (slash == std::string::npos) slash = whole.size();
    std::string part = whole.substr(start, slash - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += "/" + part;
  if (out.empty()) out = "/";
  if (path.size() > 1 && path.back() == '/') out += "/";
  return out;
}

bool replaceFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

uint32_t lastErrorCode() { return static_cast<uint32_t>(errno); }

std::string errorText(uint32_t code) {
  std::string s = std::strerror(static_cast<int>(code));
  if (s.size() > 255) s.resize(255);
  return s;
}

char16_t foldCase(char16_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? static_cast<char16_t>(c + 32) : c;
  return static_cast<char16_t>(std::towlower(static_cast<wint_t>(c)));
}

}  // namespace vorlo::os
