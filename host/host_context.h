// What host classes reach of the application, through the machine they run in (ScriptVM::host): the
// projector runtime fills it in before its scripts run. A machine without one (the vorlo command)
// leaves it null, and host members that need it give their neutral result there.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "engine/vm.h"

namespace vorlo {

struct HostContext {
  HWND mainWindow = nullptr;
  std::u16string workFolder;  // the application's extracted files
  IDispatch* control = nullptr;  // the movie player control's dispatch surface, once there is one
};

inline HostContext* hostContext(const ScriptVM* vm) { return vm->host; }

}  // namespace vorlo
