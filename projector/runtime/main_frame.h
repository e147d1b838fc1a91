// The projector's main window. It hosts the movie player control and the status bar once those exist;
// for now it is a plain frame that closes cleanly.
#pragma once
#include "framework/window.h"

namespace vorlo {

class MainFrame : public fw::Window {
 public:
  bool noStartMovie = false;

 protected:
  LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp) override;
};

}  // namespace vorlo
