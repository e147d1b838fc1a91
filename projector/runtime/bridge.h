// The movie-to-script bridge: the command dispatcher behind the control's FSCommand event and the
// projector's own script runs, the idle queue of asynchronous runs, the answers to the movie's
// external calls (FlashCall) and the calls of functions the movie registered, with the handles by
// which the movie refers to script objects.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/embed.h"
#include "engine/pin.h"
#include "host/host_context.h"

namespace vorlo {

// What the bridge needs of the projector around it.
class BridgeHost {
 public:
  // The projector's script machine; made first when `create` is true (null when it cannot be).
  virtual Engine* machine(bool create) = 0;
  virtual void destroyMachine() = 0;
  // Runs a packaged compiled script in the machine (made on need); false when there is none.
  virtual bool runPackagedScript(const std::string& name) = 0;
  // The frame's close handling (it waits while a dispatch runs).
  virtual void closeFrame() = 0;
  virtual HWND frameWindow() = 0;
  // The control's dispatch surface, null once it has been released.
  virtual IDispatch* control() = 0;
  // True when the control's version takes calls into the movie.
  virtual bool flash8() = 0;
  // A packaged archive file extracted to the work folder ("" when there is none).
  virtual std::string extractPackagedFile(const std::string& path) = 0;

 protected:
  ~BridgeHost() = default;
};

class MovieBridge final : public MovieCaller {
 public:
  explicit MovieBridge(BridgeHost& host) : host_(host) {}

  // FSCommand and every script run of the projector. Command texts are compared ignoring case.
  void dispatchCommand(const std::wstring& command, const std::wstring& argument);
  // True while a dispatch runs (closing waits for it).
  bool busy() const { return nesting_ > 0; }
  // One queued asynchronous run; true when more remain.
  bool onIdleRun();
  // FlashCall: the request in, the answer ("<undefined/>" when there is none) out.
  std::wstring handleExternalCall(const std::wstring& request);
  // Prepares a new machine: the global "_call" that calls into the movie.
  void machineCreated(ScriptVM* vm);

  ScriptValue callMovieFunction(ScriptVM* vm, const std::string& name, const ScriptValue* args,
                                size_t count) override;

 private:
  ScriptValue answerCall(Engine* engine, const std::string& name, std::vector<ScriptValue>& args);
  void launch(const std::string& commandLine);
  std::optional<int64_t> issueHandle(ScriptVM* vm, const ScriptValue& native);
  PinnedValue* handleNode(ScriptVM* vm, const ScriptValue& v);
  bool releaseHandle(ScriptVM* vm, PinnedValue* node);
  void substituteHandles(ScriptVM* vm, std::vector<ScriptValue>& args, size_t from);
  std::optional<ScriptValue> nativeTarget(ScriptVM* vm, const ScriptValue& target);
  void quitMachine();

  BridgeHost& host_;
  int nesting_ = 0;
  bool quitPending_ = false;
  std::deque<std::string> idleQueue_;
  // Native objects whose method the movie is calling through the bridge, and handles the movie asked
  // to delete meanwhile: their finalizers wait until the call returns.
  std::vector<const void*> objectsInCall_;
  std::vector<const void*> deferredDeletes_;
  std::set<const void*> issued_;  // handles handed to the movie in the current machine
};

}  // namespace vorlo
