// CRAM-MD5 (RFC 2195): the answer to a server's challenge is the user name, a blank and the
// HMAC-MD5 of the challenge keyed with the password, in lower-case hexadecimal.
#pragma once
#include <string>
#include <string_view>

namespace vorlo::mail {

std::string hmacMd5Hex(std::string_view key, std::string_view data);
// The line to send (base64 of the answer) for the base64 challenge text of a 334 reply.
std::string cramMd5Answer(std::string_view user, std::string_view password, std::string_view challenge64);

}  // namespace vorlo::mail
