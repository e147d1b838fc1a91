// Writes the appended archive into an open file, streaming each file through deflate.
#pragma once
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "util/file.h"

namespace vorlo {

class ArchiveWriter {
 public:
  // Starts the archive at the file's current position with the root folder open.
  explicit ArchiveWriter(File& out);

  void beginFolder(const std::string& name);
  void endFolder();
  // Adds a file read from sourcePath; progress receives the number of source bytes consumed so far.
  void addFile(const std::string& name, const std::string& sourcePath,
               const std::function<void(uint64_t)>& progress = {});
  void addFileData(const std::string& name, std::span<const uint8_t> data);
  // Closes the root folder and writes the trailer; returns the archive size.
  uint32_t finish();

 private:
  void beginEntry(uint32_t kind, const std::string& name);
  void endEntry();

  File& out_;
  uint64_t start_ = 0;
  std::vector<uint64_t> openSizes_;  // file positions of the size fields still to be filled in
};

// Marks a program file as carrying no archive (trailer with present = 0).
void writeEmptyTrailer(File& out);

}  // namespace vorlo
