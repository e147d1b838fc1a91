// Packaged files, extracted on demand into the work folder.
#pragma once
#include <string>

namespace vorlo {

class AppArchive {
 public:
  // workFolder ends with a path separator; extracted files go below its "_extra" folder.
  explicit AppArchive(std::string workFolder) : workFolder_(std::move(workFolder)) {}

  // The full path of the extracted file or folder (a folder path ends with a separator), or, when
  // archiveFile carries no archive, of the existing file or folder next to it. Empty when the path
  // names nothing. "/" and "\" both separate; letter case does not matter; an empty path is the
  // whole archive. An earlier extraction of the same file is reused.
  std::string extractFile(const std::string& archiveFile, const std::string& archivePath) const;

 private:
  std::string workFolder_;
};

}  // namespace vorlo
