#include "projector/safe_name.h"

#include <string>

#include "util/text.h"

namespace vorlo {

bool isSafeFileName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
    if (std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) return false;
  }
  // Windows drops trailing dots and spaces, which would make "..." or ".. " mean "..".
  if (name.back() == '.' || name.back() == ' ') return false;
  std::string stem = toUpperAscii(name.substr(0, name.find('.')));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  for (const char* d : kDevices) {
    if (stem == d) return false;
  }
  if (stem.size() == 4 && (stem.compare(0, 3, "COM") == 0 || stem.compare(0, 3, "LPT") == 0) &&
      stem[3] >= '0' && stem[3] <= '9') {
    return false;
  }
  return true;
}

}  // namespace vorlo
