// Received messages into the MIME reader, then written out again and read back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/mail/mime_message.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vorlo::mail;
  ParsedMessage p = parseMessage(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const auto* part : {p.body.text ? &*p.body.text : nullptr, p.body.html ? &*p.body.html : nullptr})
    if (part) decodeBody(part->body, part->encoding);
  for (const BodyPart& a : p.body.attachments) decodeBody(a.body, a.encoding);
  GenerateOptions o;
  o.boundary = [n = 0]() mutable { return "====_QUORIL_MAIL_PART_0.0." + std::to_string(++n) + "_===="; };
  parseMessage(generateMessage(p.headers, p.body, o));
  return 0;
}
