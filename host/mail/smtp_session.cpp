#include "host/mail/smtp_session.h"

#include <algorithm>
#include <cctype>

#include "host/mail/cram_md5.h"
#include "host/mail/mime_codecs.h"

namespace vorlo::mail {
namespace {

constexpr size_t kMaxReply = 64 * 1024;
constexpr size_t kDataPiece = 64 * 1024;

bool complete(std::string_view text) {
  if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") return false;
  size_t start = text.rfind("\r\n", text.size() - 3);
  start = start == std::string_view::npos ? 0 : start + 2;
  std::string_view last = text.substr(start);
  return last.size() < 4 + 2 || last[3] == ' ';
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool hasControl(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos; }

struct Session {
  Transport& t;
  const Progress& progress;

  void report(int code, std::string_view text) {
    if (progress) progress(code, text);
  }
  std::optional<std::string> reply() {
    std::optional<std::string> r = readSmtpReply(t);
    if (!r) report(kSocketError, t.errorText());
    else report(kReply, *r);
    return r;
  }
  bool write(std::string_view command) {
    if (!t.send(command)) {
      report(kSocketError, t.errorText());
      return false;
    }
    report(kCommand, command);
    return true;
  }
  // Sends the command and answers whether the reply code lies in [expected, expected + 100).
  bool command(std::string_view text, int expected) {
    if (!write(text)) return false;
    std::optional<std::string> r = reply();
    if (!r) return false;
    int code = replyCode(*r);
    return code >= expected && code < expected + 100;
  }
  std::optional<std::string> commandReply(std::string_view text, int expected) {
    if (!write(text)) return std::nullopt;
    std::optional<std::string> r = reply();
    if (!r) return std::nullopt;
    int code = replyCode(*r);
    if (code < expected || code >= expected + 100) return std::nullopt;
    return r;
  }

  bool authenticate(const AuthOffer& offer, const SmtpRequest& r) {
    if (offer.cramMd5) {
      std::optional<std::string> challenge = commandReply("AUTH CRAM-MD5\r\n", 300);
      if (!challenge) return false;
      std::string_view text(*challenge);
      text = text.size() > 4 ? text.substr(4) : std::string_view();
      std::string answer = cramMd5Answer(r.username, r.password, text);
      return !answer.empty() && command(answer + "\r\n", 200);
    }
    if (offer.login) {
      return command("AUTH LOGIN\r\n", 300) && command(base64Encode(r.username) + "\r\n", 300) &&
             command(base64Encode(r.password) + "\r\n", 200);
    }
    std::string token = std::string(1, '\0') + r.username + std::string(1, '\0') + r.password;
    return command("AUTH PLAIN " + base64Encode(token) + "\r\n", 200);
  }

  bool run(const SmtpRequest& r) {
    reply();  // the greeting; its code is not looked at
    AuthOffer offer;
    if (std::optional<std::string> ehlo = commandReply("EHLO " + r.localHost + "\r\n", 200)) {
      offer = authOffer(*ehlo);
    } else if (!command("HELO " + r.localHost + "\r\n", 200)) {
      return false;
    }
    if (offer.any() && !r.username.empty() && !r.password.empty() && !authenticate(offer, r)) return false;
    // The sender as a bare address: a From text with a display name ("Tim <tim@x>") would make
    // the command malformed.
    std::vector<std::string> sender = envelopeAddresses(r.from);
    if (!command("MAIL FROM:<" + (sender.empty() ? std::string() : sender.front()) + ">\r\n", 200)) return false;
    for (const std::string* list : {&r.to, &r.cc, &r.bcc}) {
      for (const std::string& address : envelopeAddresses(*list)) {
        if (!write("RCPT TO:<" + address + ">\r\n")) return false;
        if (!reply()) return false;
      }
    }
    if (!command("DATA\r\n", 300)) return false;
    // Lines go out in pieces of up to 64 KiB, the last one with the closing dot: one small write
    // after another would wait for the peer's delayed acknowledgement each time.
    std::string pending;
    auto flush = [&] {
      bool ok = t.send(pending);
      if (!ok) report(kSocketError, t.errorText());
      pending.clear();
      return ok;
    };
    bool sent = forEachDataLine(r.message, [&](std::string_view line) {
      pending += line;
      if (pending.size() >= kDataPiece && !flush()) return false;
      return !progress || progress(kTransferred, std::to_string(line.size()));
    });
    if (!sent) return false;
    pending += ".\r\n";
    if (!flush()) return false;
    report(kCommand, ".\r\n");
    std::optional<std::string> accepted = reply();
    if (!accepted || replyCode(*accepted) < 200 || replyCode(*accepted) >= 300) return false;
    return command("QUIT\r\n", 200);
  }
};

}  // namespace

std::optional<std::string> readSmtpReply(Transport& t) {
  std::string text;
  char buffer[1024];
  while (!complete(text)) {
    if (text.size() > kMaxReply) return std::nullopt;
    int n = t.receive(buffer, sizeof buffer);
    if (n <= 0) return std::nullopt;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

int replyCode(std::string_view reply) {
  int code = 0;
  for (size_t i = 0; i < reply.size() && i < 6 && std::isdigit(static_cast<unsigned char>(reply[i])); ++i)
    code = code * 10 + (reply[i] - '0');
  return code;
}

std::vector<std::string> envelopeAddresses(std::string_view list) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find_first_of(",;", pos);
    std::string_view item = list.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    size_t open = item.find('<');
    std::string_view address;
    if (open != std::string_view::npos) {
      size_t close = item.find('>', open);
      address = item.substr(open + 1, close == std::string_view::npos ? std::string_view::npos : close - open - 1);
    } else {
      address = item.substr(0, item.find('>'));
    }
    size_t a = address.find_first_not_of(" \t");
    if (a != std::string_view::npos) {
      size_t b = address.find_last_not_of(" \t");
      out.emplace_back(address.substr(a, b - a + 1));
    }
    if (end == std::string_view::npos) break;
    pos = end + 1;
  }
  return out;
}

AuthOffer authOffer(std::string_view ehloReply) {
  AuthOffer offer;
  std::string text = lower(ehloReply);
  for (size_t line = 0; line < text.size();) {
    size_t eol = text.find("\r\n", line);
    std::string_view l = std::string_view(text).substr(line, eol == std::string::npos ? std::string::npos : eol - line);
    if (l.size() > 9 && (l.substr(0, 4) == "250 " || l.substr(0, 4) == "250-") && l.substr(4, 4) == "auth" &&
        (l[8] == ' ' || l[8] == '=')) {
      std::string_view words = l.substr(9);
      for (size_t p = 0; p <= words.size();) {
        size_t e = words.find(' ', p);
        std::string_view w = words.substr(p, e == std::string_view::npos ? std::string_view::npos : e - p);
        if (w == "login") offer.login = true;
        if (w == "plain") offer.plain = true;
        if (w == "cram-md5") offer.cramMd5 = true;
        if (e == std::string_view::npos) break;
        p = e + 1;
      }
      return offer;
    }
    if (eol == std::string::npos) break;
    line = eol + 2;
  }
  return offer;
}

bool safeForCommands(const SmtpRequest& r) {
  for (const std::string* s : {&r.from, &r.to, &r.cc, &r.bcc, &r.username, &r.password, &r.localHost})
    if (hasControl(*s)) return false;
  return true;
}

bool sendMessage(Transport& t, const SmtpRequest& r, const Progress& progress) {
  if (!safeForCommands(r)) return false;
  if (!t.connect()) {
    if (progress) progress(kSocketError, "can't connect to the smtp server");
    return false;
  }
  Session session{t, progress};
  bool ok = session.run(r);
  t.close();
  return ok;
}

}  // namespace vorlo::mail
