// Active-code-page form of the ANSI conversions (Windows). The two kernel32 functions are declared
// here rather than pulling the Windows headers into the portable engine.
#include <climits>

#include "engine/ansi.h"

extern "C" {
__declspec(dllimport) int __stdcall MultiByteToWideChar(unsigned codePage, unsigned long flags,
                                                        const char* text, int length, wchar_t* out,
                                                        int outLength);
__declspec(dllimport) int __stdcall WideCharToMultiByte(unsigned codePage, unsigned long flags,
                                                        const wchar_t* text, int length, char* out,
                                                        int outLength, const char* defaultChar,
                                                        int* usedDefault);
}

namespace vorlo {

namespace {
constexpr unsigned kActiveCodePage = 0;  // CP_ACP
static_assert(sizeof(wchar_t) == sizeof(char16_t));
}  // namespace

std::string utf16ToAnsi(const char16_t* text, size_t length) {
  if (length == 0 || length > INT_MAX) return {};
  auto* wide = reinterpret_cast<const wchar_t*>(text);
  int n = WideCharToMultiByte(kActiveCodePage, 0, wide, static_cast<int>(length), nullptr, 0, nullptr,
                              nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0)
    WideCharToMultiByte(kActiveCodePage, 0, wide, static_cast<int>(length), out.data(), n, nullptr,
                        nullptr);
  return out;
}

std::u16string ansiToUtf16(const char* text, size_t length) {
  if (length == 0 || length > INT_MAX) return {};
  int n = MultiByteToWideChar(kActiveCodePage, 0, text, static_cast<int>(length), nullptr, 0);
  std::u16string out(n > 0 ? n : 0, u'\0');
  if (n > 0)
    MultiByteToWideChar(kActiveCodePage, 0, text, static_cast<int>(length),
                        reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

}  // namespace vorlo
