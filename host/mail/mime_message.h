// A mail message as the Mail class holds it: header values and body parts, written out as MIME text
// and read back from it.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/mail/mime_codecs.h"

namespace vorlo::mail {

// Transfer encodings by their stored number.
enum class Encoding : int { Binary = 0, QuotedPrintable = 1, Base64 = 2 };
Encoding encodingNamed(std::string_view name);  // other names read as Binary
std::string_view encodingName(Encoding e);
// The body bytes of a part decoded by its transfer encoding.
std::string decodeBody(std::string_view body, Encoding e);

struct MailHeaders {
  std::optional<std::string> from, replyTo, to, subject, cc, bcc, date;
  int64_t priority = 0;
};

// One body part with its bytes as they stand in the message (already transfer-encoded).
struct BodyPart {
  Encoding encoding = Encoding::Binary;
  std::string contentType;
  std::string name;       // attachments and html items: the file name
  std::string contentId;  // html items
  std::string body;
};

struct MessageBody {
  std::optional<BodyPart> text, html;
  std::vector<BodyPart> attachments, htmlItems;
};

// Text and html as new quoted-printable parts; a file's bytes as a new base64 part.
BodyPart textPart(std::string_view contentType, std::string_view text);
BodyPart filePart(std::string_view contentType, std::string_view name, std::string_view bytes);

struct GenerateOptions {
  std::string charset = "iso-8859-1";
  CharLength charLength = singleByteChar;
  std::function<std::string()> boundary;  // a fresh boundary text for each call
};

// The header block (without the blank line that ends it; the body starts with its own content
// headers). Line breaks inside values become blanks.
std::string generateHeaders(const MailHeaders& h, const GenerateOptions& options);
std::string generateBody(const MessageBody& body, const GenerateOptions& options);
inline std::string generateMessage(const MailHeaders& h, const MessageBody& b, const GenerateOptions& o) {
  return generateHeaders(h, o) + generateBody(b, o);
}

// The unfolded value of the first header field of that name that starts a line of the block (names
// compared without regard to case); nullopt when there is none.
std::optional<std::string> headerValue(std::string_view block, std::string_view name);
// A parameter of a structured value ("boundary", "name", "filename"), quotes removed.
std::optional<std::string> headerParameter(std::string_view value, std::string_view name);

struct ParsedMessage {
  MailHeaders headers;
  MessageBody body;
};
// Nesting of multipart parts deeper than this is not followed: such a part becomes an attachment.
inline constexpr int kMaxMimeDepth = 8;
ParsedMessage parseMessage(std::string_view message);

}  // namespace vorlo::mail
