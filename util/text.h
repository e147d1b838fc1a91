// Text conversions shared by the portable code. Text inside the projector and the tools is UTF-8;
// packaged records and the script engine hold UTF-16.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace vorlo {

// The one pair of conversions. Malformed UTF-8 gives one U+FFFD per byte; a lone surrogate gives U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

#ifdef _WIN32
// The same pair for the wide (W) functions of Windows, whose wchar_t text is UTF-16.
static_assert(sizeof(wchar_t) == sizeof(char16_t));
inline std::wstring toWide(std::string_view utf8) {
  std::u16string units = utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}
inline std::string fromWide(std::wstring_view text) {
  return utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
#endif

// Case-insensitive equality the way the system's file and resource names compare.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

std::string toUpperAscii(std::string_view text);
// Script source text as the tools read it: a UTF-8 byte-order mark (as Notepad writes) is skipped and a
// CR alone ends a line as LF does, so every tool counts lines the same way. UTF-16 text, with or
// without a byte-order mark, is refused: nullopt, and *why says what the file is and what to do.
std::optional<std::string> scriptSourceText(std::string_view bytes, std::string* why);

// The text with its first letter in upper case (ASCII), as a message begins.
std::string capitalized(std::string text);

}  // namespace vorlo
