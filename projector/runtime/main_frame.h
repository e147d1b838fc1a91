// The projector's main window. Its client area is the movie player control; the status bar follows.
#pragma once
#include <functional>

#include "framework/window.h"
#include "projector/runtime/flash_host.h"

namespace vorlo {

class MainFrame : public fw::Window {
 public:
  bool noStartMovie = false;
  // Asked when the window is to close: false keeps it open (the handler has arranged a later close).
  std::function<bool()> canClose;
  FlashHost flash;

 protected:
  LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};

}  // namespace vorlo
