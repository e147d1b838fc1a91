// The projector's application object: the start-up sequence that turns the packaged data into a
// running projector, and its counterpart at exit.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "framework/app.h"
#include "host/host_context.h"
#include "projector/package_records.h"
#include "projector/resources.h"
#include "projector/runtime/bridge.h"
#include "projector/runtime/main_frame.h"
#include "projector/profile.h"
#include "projector/script_cache.h"
#include "projector/settings.h"

namespace vorlo {

struct Engine;

// How a packaged script run ended.
enum class ScriptRun {
  Missing,    // the package has no script of that name
  Unusable,   // the script is damaged or no machine could be made (reported)
  Failed,     // the run ended with an error (reported)
  Succeeded,  // the result is in the machine
};

class ProjectorApp : public fw::WinApp, private BridgeHost {
 public:
  ProjectorApp();

  bool initInstance() override;
  int exitInstance() override;
  bool onIdle(long count) override;

  const std::string& registryKey() const { return registryKey_; }
  const std::string& profileName() const { return profileName_; }
  const std::string& workFolder() const { return workFolder_; }
  const MovieList& movieList() const { return movieList_; }
  ProjectorSettings& settings() { return settings_; }
  ProfileStore& profile() { return *profile_; }
  ScriptResourceCache& scripts() { return scripts_; }

 private:
  // Runs the packaged install script named by the switch; the process then ends.
  void runInstallScript(const char* name);
  ScriptRun runScript(const char* name);
  bool readApplicationId();
  void unpackMasks();
  void readMovieListResource();
  HICON windowClassIcon();
  bool createWindows();
  void applyAppearance();
  bool createFlashControl();
  bool preferRegisteredPlayer() const;
  std::string getStartMovie();
  void showStartMovie();
  void onControlEvent(DISPID id, const std::vector<std::wstring>& args);
  bool movieIsLocal();

  // What the bridge asks of the projector.
  Engine* machine(bool create) override;
  void destroyMachine() override;
  bool runPackagedScript(const std::string& name) override;
  void closeFrame() override;
  HWND frameWindow() override { return frame_ ? frame_->hwnd() : nullptr; }
  IDispatch* control() override { return frame_ ? frame_->flash.control() : nullptr; }
  bool flash8() override { return frame_ && frame_->flash.flash8(); }
  std::string extractPackagedFile(const std::string& path) override;

  std::unique_ptr<ResourceSource> resources_;
  ScriptResourceCache scripts_;
  int installHookResult_ = 0;
  bool socketsStarted_ = false;
  bool oleStarted_ = false;
  std::string registryKey_, profileName_, workFolder_;
  MovieList movieList_;
  ProjectorSettings settings_;
  std::unique_ptr<ProfileStore> profile_;
  std::vector<std::string> maskNames_;
  HWND ownerWindow_ = nullptr;
  std::unique_ptr<fw::Window> owner_;
  std::unique_ptr<MainFrame> frame_;
  HACCEL accelerators_ = nullptr;
  int movieWidth_ = 0, movieHeight_ = 0;  // the start movie's stage size (0 x 0 when unknown)
  Engine* engine_ = nullptr;  // the script machine, from the first script run to the quit
  HostContext host_;          // what the host classes of engine_ reach
  MovieBridge bridge_{*this};
};

}  // namespace vorlo
