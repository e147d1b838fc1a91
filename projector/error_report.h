// Where the projector's caught failures go. Until a sink is installed (the main window installs one
// that shows a stop-icon message box) reports are kept, and the sink receives them when it arrives;
// a program that ends before that takes them with takePendingErrors and says them its own way.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace vorlo {

using ErrorSink = std::function<void(const std::string& message)>;

// Installs the sink (an empty one removes it) and hands it the reports kept so far.
void setErrorSink(ErrorSink sink);
void reportError(const std::string& message);
// The reports no sink has received yet; the list is emptied.
std::vector<std::string> takePendingErrors();

}  // namespace vorlo
