// The projector's failures. They are thrown by value and caught by reference where the operation can
// do without its result; a caught failure goes to the error report (error_report.h) unless the place
// that catches it says why it is dropped.
#pragma once
#include <stdexcept>
#include <string>

namespace vorlo {

class ProjectorError : public std::runtime_error {
 public:
  // The system's text for the calling thread's last error.
  ProjectorError();
  explicit ProjectorError(const std::string& message) : std::runtime_error(message) {}
};

// A packed block or an archive entry whose compressed data cannot be used.
class ZipError : public ProjectorError {
 public:
  explicit ZipError(const std::string& message) : ProjectorError(message) {}
  // The message that belongs to a zlib result code.
  explicit ZipError(int zlibCode) : ProjectorError(messageFor(zlibCode)) {}

  static const char* messageFor(int zlibCode);
};

}  // namespace vorlo
