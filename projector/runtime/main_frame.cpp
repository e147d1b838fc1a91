#include "projector/runtime/main_frame.h"

namespace vorlo {

LRESULT MainFrame::onMessage(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      // A running movie command finishes first: the request comes back through the queue until it
      // has. The trace file and the tray icon are released here as they arrive.
      if (canClose && !canClose()) {
        PostMessageW(hwnd(), WM_CLOSE, 0, 0);
        return 0;
      }
      DestroyWindow(hwnd());
      return 0;
    case WM_SIZE: {
      // The control fills the client area.
      RECT rc{0, 0, LOWORD(lp), HIWORD(lp)};
      if (flash.site().active()) flash.site().move(rc);
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(wp) == 0 && flash.flashCommand(LOWORD(wp))) return 0;
      return defaultProc(msg, wp, lp);
    case WM_ERASEBKGND: {
      // Until the player control covers the client area, the frame shows an empty workspace.
      RECT rc;
      GetClientRect(hwnd(), &rc);
      FillRect(reinterpret_cast<HDC>(wp), &rc, GetSysColorBrush(COLOR_APPWORKSPACE));
      return 1;
    }
    case WM_DESTROY:
      flash.destroy();
      PostQuitMessage(0);
      return 0;
    default:
      return defaultProc(msg, wp, lp);
  }
}

}  // namespace vorlo
