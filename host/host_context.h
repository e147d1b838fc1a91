// What host classes reach of the application, through the machine they run in (ScriptVM::host): the
// projector runtime fills it in before its scripts run. A machine without one (the vorlo command)
// leaves it null, and host members that need it give their neutral result there.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "engine/vm.h"

namespace vorlo {

// Calls of functions the movie registered (the projector's bridge); the answer is undefined when
// there is no movie to ask.
class MovieCaller {
 public:
  virtual ScriptValue callMovieFunction(ScriptVM* vm, const std::string& name, const ScriptValue* args,
                                        size_t count) = 0;

 protected:
  ~MovieCaller() = default;
};

struct HostContext {
  HWND mainWindow = nullptr;
  std::u16string workFolder;  // the application's extracted files
  IDispatch* control = nullptr;  // the movie player control's dispatch surface, once there is one
  MovieCaller* movie = nullptr;  // the movie's registered functions, once the bridge is there
  int movieWidth = 0, movieHeight = 0;  // the current movie's stage in pixels (0: unknown)
};

inline HostContext* hostContext(const ScriptVM* vm) { return vm->host; }

}  // namespace vorlo
