#include "tests/unit/test_support.h"

#include <stdexcept>

#include "projector/work_folder.h"
#include "util/file.h"
#include "util/platform.h"

namespace vorlo::test {

ScratchFolder::ScratchFolder() {
  path_ = temporaryFolder() + "vorlo-test-" + os::newGuidText();
  if (!os::createFolder(path_)) throw std::runtime_error("cannot create " + path_);
  path_ += os::kPathSeparator;
}

ScratchFolder::~ScratchFolder() { deleteWorkFolder(path_); }

std::vector<uint8_t> readAll(const std::string& path) {
  File f;
  if (!f.open(path, File::Mode::Read)) throw std::runtime_error("cannot read " + path);
  std::vector<uint8_t> bytes(static_cast<size_t>(f.size()));
  f.readExact(bytes.data(), bytes.size());
  return bytes;
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  File f;
  if (!f.open(path, File::Mode::Create) || !f.write(bytes.data(), bytes.size())) {
    throw std::runtime_error("cannot write " + path);
  }
}

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

}  // namespace vorlo::test
