// Where the projector's caught failures are shown. Until the main window exists there is no sink and
// nothing is shown; the main window installs one that puts the message in a stop-icon message box.
#pragma once
#include <functional>
#include <string>

namespace vorlo {

using ErrorSink = std::function<void(const std::string& message)>;

void setErrorSink(ErrorSink sink);
void reportError(const std::string& message);

}  // namespace vorlo
