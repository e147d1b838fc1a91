// A plain file handle: unbuffered reads and writes at a position, closed on destruction.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace vorlo {

class File {
 public:
  enum class Mode {
    Read,    // existing file, others may read but not write
    Create,  // created or truncated, read-write, others may read
  };

  File() = default;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  ~File() { close(); }

  bool open(const std::string& path, Mode mode);
  bool isOpen() const;
  void close();

  // Reads up to n bytes; returns how many were read (0 at the end or on failure).
  size_t read(void* buffer, size_t n);
  bool readExact(void* buffer, size_t n) { return read(buffer, n) == n; }
  bool write(const void* data, size_t n);
  bool seek(uint64_t position);
  uint64_t position() const;
  uint64_t size() const;

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(-1);
#else
  int fd_ = -1;
#endif
};

}  // namespace vorlo
