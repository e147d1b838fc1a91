// The projector's main window. Its client area is the movie player control; the status bar follows.
#pragma once
#include "framework/window.h"
#include "projector/runtime/flash_host.h"

namespace vorlo {

class MainFrame : public fw::Window {
 public:
  bool noStartMovie = false;
  FlashHost flash;

 protected:
  LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};

}  // namespace vorlo
