// Scratch folders and small helpers shared by the package tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace vorlo::test {

// A fresh folder below the system's temporary folder, deleted with everything in it at destruction.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  // The folder path, ending with a separator.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

std::vector<uint8_t> readAll(const std::string& path);
void writeAll(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> bytesOf(const std::string& text);

}  // namespace vorlo::test
