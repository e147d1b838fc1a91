#include "util/file.h"

#include <utility>

#ifdef _WIN32
#include <windows.h>

#include "util/text.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vorlo {

File::File(File&& other) noexcept { *this = std::move(other); }

#ifdef _WIN32

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    std::swap(handle_, other.handle_);
  }
  return *this;
}

bool File::open(const std::string& path, Mode mode) {
  close();
  std::wstring w = toWide(path);
  const wchar_t* name = w.c_str();
  if (mode == Mode::Read) {
    handle_ = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
  } else {
    handle_ = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  return isOpen();
}

bool File::isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

void File::close() {
  if (isOpen()) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

size_t File::read(void* buffer, size_t n) {
  size_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (total < n) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(n - total, 1u << 30));
    DWORD got = 0;
    if (!ReadFile(handle_, p + total, want, &got, nullptr) || got == 0) break;
    total += got;
  }
  return total;
}

bool File::write(const void* data, size_t n) {
  auto* p = static_cast<const char*>(data);
  while (n > 0) {
    DWORD want = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
    DWORD put = 0;
    if (!WriteFile(handle_, p, want, &put, nullptr) || put == 0) return false;
    p += put;
    n -= put;
  }
  return true;
}

bool File::seek(uint64_t position) {
  LARGE_INTEGER li;
  li.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(handle_, li, nullptr, FILE_BEGIN) != 0;
}

uint64_t File::position() const {
  LARGE_INTEGER zero{}, pos{};
  return SetFilePointerEx(handle_, zero, &pos, FILE_CURRENT) ? static_cast<uint64_t>(pos.QuadPart) : 0;
}

uint64_t File::size() const {
  LARGE_INTEGER s{};
  return GetFileSizeEx(handle_, &s) ? static_cast<uint64_t>(s.QuadPart) : 0;
}

#else

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    close();
    std::swap(fd_, other.fd_);
  }
  return *this;
}

bool File::open(const std::string& path, Mode mode) {
  close();
  fd_ = mode == Mode::Read ? ::open(path.c_str(), O_RDONLY | O_CLOEXEC)
                           : ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  return isOpen();
}

bool File::isOpen() const { return fd_ >= 0; }

void File::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

size_t File::read(void* buffer, size_t n) {
  size_t total = 0;
  auto* p = static_cast<char*>(buffer);
  while (total < n) {
    ssize_t got = ::read(fd_, p + total, n - total);
    if (got <= 0) break;
    total += static_cast<size_t>(got);
  }
  return total;
}

bool File::write(const void* data, size_t n) {
  auto* p = static_cast<const char*>(data);
  while (n > 0) {
    ssize_t put = ::write(fd_, p, n);
    if (put <= 0) return false;
    p += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

bool File::seek(uint64_t position) { return lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0; }

uint64_t File::position() const {
  off_t p = lseek(fd_, 0, SEEK_CUR);
  return p < 0 ? 0 : static_cast<uint64_t>(p);
}

uint64_t File::size() const {
  struct stat st{};
  return fstat(fd_, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

#endif

}  // namespace vorlo
