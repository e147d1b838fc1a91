// The projector's movie player: choosing where the control comes from, creating it in the main
// window, loading movies into it and the Flash Player menu's commands.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>

#include "framework/control_site.h"
#include "projector/movie_header.h"

namespace vorlo {

// The control's identifier as a child of the main window.
constexpr int kFlashControlId = 1113;

// Where the control was made from.
enum class PlayerRoute { None, File, BuiltIn, RegisteredFile, RegisteredCom };

struct PlayerChoice {
  // The player file a packaged "_GetFlashPlayer" script names (its result), when there is one.
  std::function<std::optional<std::string>()> scriptedPlayer;
  // The player file found in the package's player installer (empty: none).
  std::function<std::string()> packagedPlayer;
  // The package asks for a registered player before the built-in one.
  bool preferRegistered = false;
};

class FlashHost {
 public:
  // Creates the control in `frame` (invisible size), choosing its source in order: a scripted
  // player file, a packaged one, the built-in player, the registered one. False when none works.
  bool create(HWND frame, const PlayerChoice& choice);
  void destroy() { site_.destroy(); }
  bool connectEvents(fw::ControlSite::EventHandler handler) { return site_.connectEvents(std::move(handler)); }

  fw::ControlSite& site() { return site_; }
  IDispatch* control() const { return site_.dispatch(); }
  PlayerRoute route() const { return route_; }
  const std::string& playerFile() const { return playerFile_; }
  // True when the control's FlashVersion has a major version of 8 or more.
  bool flash8() const { return flash8_; }

  // Hands a movie to the control: Playing from the auto-play flag, then Movie. The header's size
  // when the control accepted it (0 x 0 when the header cannot be read); nothing when refused.
  std::optional<std::pair<int, int>> loadMovie(const std::string& path, bool autoPlay);

  // The Flash Player menu's commands; ids outside the menu are not ours (false).
  bool flashCommand(int id);
  // Menu state: which items are enabled and checked.
  bool zoomOutEnabled() const { return zoomCounter_ != 0; }
  int zoomCounter() const { return zoomCounter_; }

 private:
  HRESULT createFromFile(const std::string& path, HWND frame);
  HRESULT createFromFactory(IClassFactory* factory, HWND frame);

  fw::ControlSite site_;
  PlayerRoute route_ = PlayerRoute::None;
  std::string playerFile_;
  bool flash8_ = false;
  int zoomCounter_ = 0;
};

// The folder of the running program, with a trailing "\".
std::string programFolder();
// The player file a "_GetFlashPlayer" result names, resolved against the program's folder, when it
// exists; empty otherwise.
std::string scriptedPlayerPath(const std::string& result, const std::string& folder);

}  // namespace vorlo
