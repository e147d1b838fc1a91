// The text encodings of mail: base64, quoted-printable and the encoded words of header values.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace vorlo::mail {

// RFC 2045 alphabet with "=" padding; lineLength > 0 breaks the output with CR LF after that many
// characters (76 for message bodies), 0 writes one line.
std::string base64Encode(std::string_view bytes, size_t lineLength = 0);
// Skips characters outside the alphabet (line breaks, blanks); stops at the first "=".
std::string base64Decode(std::string_view text);

// Quoted-printable body text: CR LF pairs are hard line breaks, a lone CR or LF is written =0D / =0A,
// a blank or TAB before a hard break (or at the end) is escaped, lines are broken softly before they
// pass 76 characters, and a last line that is not empty ends with a soft break.
std::string quotedPrintableEncode(std::string_view bytes);
// "=" and two hexadecimal digits give a byte, a soft break ("=" CR LF or "=" LF) is removed, any
// other "=" is kept as it is. `underscoreIsBlank` serves the Q encoding of header words.
std::string quotedPrintableDecode(std::string_view text, bool underscoreIsBlank = false);

// How many bytes the character starting at text[0] takes (1 for single-byte code pages, 2 for the
// lead byte of a double-byte code page).
using CharLength = size_t (*)(std::string_view text);
size_t singleByteChar(std::string_view text);

// A header value as base64 encoded words of at most 75 characters each, split between whole
// characters and joined by CR LF and a blank (a folded header line).
std::string encodeWords(std::string_view text, std::string_view charset, CharLength charLength = singleByteChar);
// Decodes every "=?charset?B?...?=" and "=?charset?Q?...?=" word in place (the charset is not
// converted); blanks between two adjacent encoded words are dropped.
std::string decodeWords(std::string_view text);

}  // namespace vorlo::mail
