#include "framework/app.h"

namespace vorlo::fw {

WinApp* WinApp::current_ = nullptr;

WinApp::WinApp() {
  current_ = this;
  // The framework's application name is the program's file name without its extension.
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n);
  size_t cut = p.find_last_of(L"\\/");
  appName_ = cut == std::wstring::npos ? p : p.substr(cut + 1);
  size_t dot = appName_.rfind(L'.');
  if (dot != std::wstring::npos) appName_.resize(dot);
}

std::wstring WinApp::title() const {
  if (mainWindow_) {
    wchar_t buf[512];
    int n = GetWindowTextW(mainWindow_, buf, 512);
    if (n > 0) return std::wstring(buf, static_cast<size_t>(n));
  }
  return appName_;
}

int WinApp::messageBox(const std::wstring& text, UINT type) const {
  HWND owner = mainWindow_ && IsWindow(mainWindow_) ? mainWindow_ : nullptr;
  return MessageBoxW(owner, text.c_str(), title().c_str(), type);
}

int WinApp::run() {
  if (!initInstance()) return exitInstance();
  MSG msg;
  long idleCount = 0;
  for (;;) {
    while (!PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!onIdle(idleCount++)) break;
    }
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    idleCount = 0;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (msg.message == WM_QUIT) exitCode_ = static_cast<int>(msg.wParam);
  return exitInstance();
}

}  // namespace vorlo::fw
