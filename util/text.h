// Text conversions shared by the portable code. Text inside the projector and the tools is UTF-8;
// packaged records and the script engine hold UTF-16.
#pragma once
#include <string>
#include <string_view>

namespace vorlo {

std::u16string utf8ToUtf16(std::string_view text);
std::string utf16ToUtf8(std::u16string_view text);

// Case-insensitive equality the way the system's file and resource names compare.
bool equalsIgnoreCase(std::string_view a, std::string_view b);

std::string toUpperAscii(std::string_view text);

}  // namespace vorlo
