// The line walk of an SMTP message body (see forEachDataLine in smtp_session.h).
#pragma once
#include <cctype>
#include <string>
#include <string_view>

namespace vorlo::mail {

template <typename Line>
bool forEachDataLine(std::string_view message, Line&& line) {
  bool inHeaders = true, inBcc = false;
  std::string out;
  for (size_t pos = 0; pos < message.size();) {
    size_t end = message.find("\r\n", pos);
    std::string_view text = message.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? message.size() : end + 2;
    if (inHeaders) {
      if (text.empty()) {
        inHeaders = inBcc = false;
      } else if (inBcc && (text[0] == ' ' || text[0] == '\t')) {
        continue;
      } else {
        inBcc = text.size() >= 4 && std::tolower(static_cast<unsigned char>(text[0])) == 'b' &&
                std::tolower(static_cast<unsigned char>(text[1])) == 'c' &&
                std::tolower(static_cast<unsigned char>(text[2])) == 'c' && text[3] == ':';
        if (inBcc) continue;
      }
    }
    out.clear();
    if (!text.empty() && text[0] == '.') out += '.';
    out += text;
    out += "\r\n";
    if (!line(std::string_view(out))) return false;
  }
  return true;
}

}  // namespace vorlo::mail
