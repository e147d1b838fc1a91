// The control's call log, for tests: when VORLO_CONTROL_LOG names a file, every property read and
// write, method call, fired event, SetReturnValue and input message is appended to it as one line,
// "<module path>|<what happened>", so a test can tell which player file served the host.
#pragma once
#include <string>

namespace vorlo::control {

bool callLogEnabled();
void logCall(const std::string& line);

}  // namespace vorlo::control
