// What the command-line tools say about a script they compile: one way of naming the file and the
// line, "file:line: message", with lines counted from 1 as editors count them.
#pragma once
#include <string>

namespace vorlo {

// The compiler's message lines ("error: line N: ...", "warning: line N: ..." with N counted from 0)
// as "file:line: message" lines (warnings keep "warning: "); other lines as "file: line". Only the
// errors when errorsOnly. Lines are joined with "\n", without a final one.
std::string compilerReport(const std::string& file, const std::string& messages, bool errorsOnly);

}  // namespace vorlo
