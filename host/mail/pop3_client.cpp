#include "host/mail/pop3_client.h"

#include <cctype>

namespace vorlo::mail {
namespace {

bool isOk(std::string_view line) { return line.substr(0, 3) == "+OK"; }

std::string_view withoutEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// A decimal number at the front of text (after blanks); the rest of the text follows it.
std::optional<int64_t> number(std::string_view& text) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  int64_t n = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    if (n > (int64_t(1) << 53)) return std::nullopt;
    n = n * 10 + (text[i] - '0');
  }
  text.remove_prefix(i);
  return n;
}

std::optional<std::string> identifier(std::string_view text) {
  size_t a = text.find_first_not_of(' ');
  if (a == std::string_view::npos) return std::nullopt;
  size_t b = text.find(' ', a);
  std::string_view id = text.substr(a, b == std::string_view::npos ? std::string_view::npos : b - a);
  if (id.empty() || id.size() > kMaxUniqueId) return std::nullopt;
  return std::string(id);
}

}  // namespace

bool Pop3Client::fill() {
  char chunk[4096];
  int n = t_.receive(chunk, sizeof chunk);
  if (n <= 0) {
    report(kSocketError, n < 0 ? t_.errorText() : std::string("the server closed the connection"));
    return false;
  }
  buffer_.append(chunk, static_cast<size_t>(n));
  return true;
}

std::optional<std::string> Pop3Client::readLine(size_t limit) {
  for (;;) {
    size_t eol = buffer_.find("\r\n");
    if (eol != std::string::npos) {
      std::string line = buffer_.substr(0, eol + 2);
      buffer_.erase(0, eol + 2);
      return line;
    }
    if (buffer_.size() > limit || !fill()) return std::nullopt;
  }
}

bool Pop3Client::connect(std::string_view user, std::string_view password) {
  close();
  if (!t_.connect()) {
    report(kSocketError, t_.errorText());
    return false;
  }
  open_ = true;
  std::optional<std::string> greeting = readLine(kMaxPop3Line);
  if (!greeting) return false;
  if (!isOk(*greeting)) {
    report(kReply, *greeting);
    return false;
  }
  if (user.empty() || password.empty()) return true;
  // CR, LF or NUL would end the command early and start another.
  for (std::string_view s : {user, password})
    if (s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  return status("USER " + std::string(user) + "\r\n") && status("PASS " + std::string(password) + "\r\n");
}

void Pop3Client::close() {
  if (open_) t_.close();
  open_ = false;
  buffer_.clear();
}

std::optional<std::string> Pop3Client::status(std::string_view command) {
  if (!open_) return std::nullopt;
  if (!t_.send(command)) {
    report(kSocketError, t_.errorText());
    return std::nullopt;
  }
  std::optional<std::string> line = readLine(kMaxPop3Line);
  if (!line) return std::nullopt;
  if (!isOk(*line)) {
    report(kReply, *line);
    return std::nullopt;
  }
  return line;
}

bool Pop3Client::simple(std::string_view command) { return status(command).has_value(); }

std::optional<std::string> Pop3Client::stat() {
  std::optional<std::string> line = status("STAT\r\n");
  if (!line) return std::nullopt;
  std::string_view rest = withoutEnd(*line).substr(3);
  if (!rest.empty() && rest[0] == ' ') rest.remove_prefix(1);
  return std::string(rest);
}

std::optional<int64_t> Pop3Client::listOne(int64_t n) {
  std::optional<std::string> line = status("LIST " + std::to_string(n) + "\r\n");
  if (!line) return std::nullopt;
  std::string_view rest = withoutEnd(*line).substr(3);
  if (!number(rest)) return std::nullopt;
  return number(rest);
}

std::optional<std::string> Pop3Client::uidlOne(int64_t n) {
  std::optional<std::string> line = status("UIDL " + std::to_string(n) + "\r\n");
  if (!line) return std::nullopt;
  std::string_view rest = withoutEnd(*line).substr(3);
  if (!number(rest)) return std::nullopt;
  return identifier(rest);
}

std::optional<std::vector<std::string>> Pop3Client::listing(std::string_view command) {
  if (!status(command)) return std::nullopt;
  std::vector<std::string> lines;
  size_t total = 0;
  for (;;) {
    std::optional<std::string> line = readLine(kMaxPop3Line);
    if (!line) return std::nullopt;
    total += line->size();
    if (total > kMaxPop3Listing) {
      report(kSocketError, "the reply is too long");
      close();
      return std::nullopt;
    }
    std::string_view text = withoutEnd(*line);
    if (text == ".") return lines;
    if (!text.empty() && text[0] == '.') text.remove_prefix(1);
    lines.emplace_back(text);
  }
}

std::optional<std::vector<std::optional<int64_t>>> Pop3Client::listAll() {
  std::optional<std::vector<std::string>> lines = listing("LIST\r\n");
  if (!lines) return std::nullopt;
  std::vector<std::optional<int64_t>> sizes;
  for (const std::string& l : *lines) {
    std::string_view rest(l);
    std::optional<int64_t> n = number(rest), size = number(rest);
    if (!n || !size || *n < 1 || *n > kMaxMessageNumber || *n > int64_t(lines->size()) * 16) continue;
    if (sizes.size() < size_t(*n)) sizes.resize(size_t(*n));
    sizes[size_t(*n - 1)] = *size;
  }
  return sizes;
}

std::optional<std::vector<std::optional<std::string>>> Pop3Client::uidlAll() {
  std::optional<std::vector<std::string>> lines = listing("UIDL\r\n");
  if (!lines) return std::nullopt;
  std::vector<std::optional<std::string>> ids;
  for (const std::string& l : *lines) {
    std::string_view rest(l);
    std::optional<int64_t> n = number(rest);
    std::optional<std::string> id = identifier(rest);
    if (!n || !id || *n < 1 || *n > kMaxMessageNumber || *n > int64_t(lines->size()) * 16) continue;
    if (ids.size() < size_t(*n)) ids.resize(size_t(*n));
    ids[size_t(*n - 1)] = std::move(*id);
  }
  return ids;
}

std::optional<std::string> Pop3Client::retrieve(std::string_view command) {
  if (!status(command)) return std::nullopt;
  std::string message;
  for (;;) {
    // Every complete line in the buffer; the terminator line ends the reply.
    size_t pos = 0;
    bool ended = false;
    for (size_t eol; (eol = buffer_.find("\r\n", pos)) != std::string::npos; pos = eol + 2) {
      std::string_view line = std::string_view(buffer_).substr(pos, eol + 2 - pos);
      if (line == ".\r\n") {
        ended = true;
        pos = eol + 2;
        break;
      }
      if (line[0] == '.') line.remove_prefix(1);
      message += line;
    }
    buffer_.erase(0, pos);
    if (message.size() + buffer_.size() > kMaxPop3Message) {
      report(kSocketError, "the message is too long");
      close();
      return std::nullopt;
    }
    if ((pos > 0 || ended) && progress_ && !progress_(kTransferred, std::to_string(message.size()))) {
      close();
      return std::nullopt;
    }
    if (ended) return message;
    if (!fill()) {
      close();
      return std::nullopt;
    }
  }
}

}  // namespace vorlo::mail
