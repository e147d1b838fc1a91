// The SMTP client: one delivery of a finished message over a transport, and the reply reader that
// the raw command connection shares.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/mail/mail_transport.h"

namespace vorlo::mail {

// Reads one complete reply (a multi-line reply ends with the line whose fourth character is a
// blank); nullopt on a socket error, a closed connection or a reply over 64 KiB.
std::optional<std::string> readSmtpReply(Transport& t);
// The leading digits of a reply as a number (0 when there are none).
int replyCode(std::string_view reply);

// The bare addresses of an address list separated by "," or ";": the text between "<" and ">"
// where there is a "<", else the item up to any ">"; blank items are left out.
std::vector<std::string> envelopeAddresses(std::string_view list);

// The AUTH mechanisms an EHLO reply offers that we speak.
struct AuthOffer {
  bool login = false, plain = false, cramMd5 = false;
  bool any() const { return login || plain || cramMd5; }
};
AuthOffer authOffer(std::string_view ehloReply);

struct SmtpRequest {
  std::string localHost;  // the EHLO / HELO argument
  std::string from, to, cc, bcc;
  std::string username, password;
  std::string_view message;  // the whole message text
};

// False when an envelope address, the user name or the password holds CR, LF or NUL: such text
// would end the command it is written into and start another.
bool safeForCommands(const SmtpRequest& r);

// Delivers the message; reports as it goes and answers whether the server took it.
bool sendMessage(Transport& t, const SmtpRequest& r, const Progress& progress);

// The message as DATA lines: CR LF ends a line (a lone CR is data), a last line gets its CR LF, the
// Bcc field of the header block (with its continuation lines) is left out, and a line starting with
// "." gets a second one. `line` receives each line with its CR LF and answers false to stop.
template <typename Line>
bool forEachDataLine(std::string_view message, Line&& line);

}  // namespace vorlo::mail

#include "host/mail/smtp_data_lines.h"
