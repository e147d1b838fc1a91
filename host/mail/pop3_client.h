// The POP3 client over a transport: the commands of RecvMail, their replies read within limits.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/mail/mail_transport.h"

namespace vorlo::mail {

inline constexpr size_t kMaxPop3Line = 64 * 1024;            // one reply line
inline constexpr size_t kMaxPop3Listing = 16 * 1024 * 1024;  // a LIST or UIDL reply
inline constexpr size_t kMaxPop3Message = 64 * 1024 * 1024;  // a RETR or TOP reply
inline constexpr size_t kMaxUniqueId = 70;
inline constexpr int64_t kMaxMessageNumber = 1000000;

class Pop3Client {
 public:
  Pop3Client(Transport& t, Progress progress) : t_(t), progress_(std::move(progress)) {}

  // Connects and reads the greeting; with a user name and a password, logs in with USER and PASS.
  bool connect(std::string_view user, std::string_view password);
  void close();
  bool isOpen() const { return open_; }

  // A command answered "+OK" (NOOP, RSET, QUIT, DELE n).
  bool simple(std::string_view command);
  // STAT: the reply after "+OK " up to the line end.
  std::optional<std::string> stat();
  std::optional<int64_t> listOne(int64_t n);
  std::optional<std::string> uidlOne(int64_t n);
  // LIST and UIDL without an argument: element k-1 belongs to message k (holes stay empty).
  std::optional<std::vector<std::optional<int64_t>>> listAll();
  std::optional<std::vector<std::optional<std::string>>> uidlAll();
  // RETR n or TOP n lines: the reply body without its terminating line, dot-stuffing removed. The
  // progress handler sees the bytes stored so far after every piece; its false closes the connection.
  std::optional<std::string> retrieve(std::string_view command);

 private:
  std::optional<std::string> readLine(size_t limit);
  std::optional<std::string> status(std::string_view command);  // the "+OK" line, or reported
  std::optional<std::vector<std::string>> listing(std::string_view command);
  void report(int code, std::string_view text) {
    if (progress_) progress_(code, text);
  }
  bool fill();

  Transport& t_;
  Progress progress_;
  std::string buffer_;
  bool open_ = false;
};

}  // namespace vorlo::mail
