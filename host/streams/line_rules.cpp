#include "host/streams/line_rules.h"

namespace vorlo {

std::string readMemoryLine(MemoryStream& s) {
  std::string line;
  int b = s.get();
  if (b < 0) return line;
  for (; b >= 0; b = s.get()) {
    if (b == '\n') break;
    if (b == '\r') {
      int after = s.get();
      if (after == '\n' || after < 0) break;
      s.unget();  // the CR is dropped; what follows it belongs to the line
      continue;
    }
    line += static_cast<char>(b);
  }
  return line;
}

}  // namespace vorlo
