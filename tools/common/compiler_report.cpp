#include "tools/common/compiler_report.h"

#include <cstdio>

namespace vorlo {

std::string compilerReport(const std::string& file, const std::string& messages, bool errorsOnly) {
  std::string report;
  size_t at = 0;
  while (at < messages.size()) {
    size_t end = messages.find('\n', at);
    if (end == std::string::npos) end = messages.size();
    std::string line = messages.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    int number = 0, consumed = 0;
    bool error = std::sscanf(line.c_str(), "error: line %d: %n", &number, &consumed) == 1 && consumed > 0;
    bool warning = !error && std::sscanf(line.c_str(), "warning: line %d: %n", &number, &consumed) == 1 && consumed > 0;
    if (errorsOnly && !error) continue;
    std::string text;
    if (error || warning) {
      // The compiler counts lines from 0; people and editors count from 1.
      text = file + ":" + std::to_string(number + 1) + ": " + (warning ? "warning: " : "") + line.substr(size_t(consumed));
    } else {
      text = file + ": " + line;
    }
    report += (report.empty() ? "" : "\n") + text;
  }
  return report;
}

}  // namespace vorlo
