// What the SMTP and POP3 sessions talk through: a connected byte stream (a blocking socket on
// Windows, a scripted peer in the unit tests), and the progress report the scripts' handlers see.
#pragma once
#include <functional>
#include <string>
#include <string_view>

namespace vorlo::mail {

class Transport {
 public:
  virtual ~Transport() = default;
  virtual bool connect() = 0;
  virtual bool send(std::string_view bytes) = 0;  // all of them, or false
  // Up to `capacity` bytes; 0 when the peer closed, negative on an error.
  virtual int receive(char* buffer, int capacity) = 0;
  virtual void close() = 0;
  virtual std::string errorText() = 0;  // the system's words for the last failure
};

// Progress codes: 0 a failed socket operation (text: the system's message), 1 a reply read, 2 a
// command sent, 3 bytes transferred (text: the count). A false answer to code 3 cancels.
enum ProgressCode { kSocketError = 0, kReply = 1, kCommand = 2, kTransferred = 3 };
using Progress = std::function<bool(int code, std::string_view text)>;

}  // namespace vorlo::mail
