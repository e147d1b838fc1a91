// "ANSI" text: the 8-bit text of names, source code and the operating system. It is the active code
// page on Windows and UTF-8 elsewhere; this is the one place that knows which.
#pragma once
#include <cstddef>
#include <string>

namespace vorlo {

std::string utf16ToAnsi(const char16_t* text, size_t length);
std::u16string ansiToUtf16(const char* text, size_t length);

}  // namespace vorlo
