// The projector's failures. They are thrown by value and caught by reference where the operation can
// do without its result; the message is shown only once the main window exists (see error_report.h).
#pragma once
#include <cstddef>
#include <string>

namespace vorlo {

// Base of the framework's exceptions.
class CException {
 public:
  virtual ~CException() = default;
  // Copies the message into buffer, truncated to size (always NUL-terminated when size > 0).
  virtual bool getErrorMessage(char* buffer, size_t size) const = 0;
};

class CProjectorException : public CException {
 public:
  // The system's text for the calling thread's last error.
  CProjectorException();
  explicit CProjectorException(std::string message) : message_(std::move(message)) {}

  const std::string& message() const { return message_; }
  bool getErrorMessage(char* buffer, size_t size) const override;

 private:
  std::string message_;
};

class CZipException : public CProjectorException {
 public:
  explicit CZipException(std::string message) : CProjectorException(std::move(message)) {}
  // The message that belongs to a zlib result code.
  explicit CZipException(int zlibCode) : CProjectorException(messageFor(zlibCode)) {}

  static const char* messageFor(int zlibCode);
};

}  // namespace vorlo
