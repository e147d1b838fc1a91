// The application object: start-up, the message loop and exit, with the framework's message box.
#pragma once
#include <windows.h>

#include <string>

namespace vorlo::fw {

class WinApp {
 public:
  WinApp();
  virtual ~WinApp() = default;

  // Start-up; false ends the program (exitInstance still runs).
  virtual bool initInstance() = 0;
  // Shutdown; returns the process exit code.
  virtual int exitInstance() { return exitCode_; }
  // Called when the message queue is empty; true asks for more idle calls.
  virtual bool onIdle(long count) { return false; }

  // initInstance, the message loop while there is a main window, then exitInstance.
  int run();

  HWND mainWindow() const { return mainWindow_; }
  void setMainWindow(HWND w) { mainWindow_ = w; }
  // The title of message boxes: the main window's title when it has one, else the application name.
  std::wstring title() const;
  const std::wstring& appName() const { return appName_; }

  // A message box owned by the main window (when there is one) with the application's title.
  int messageBox(const std::wstring& text, UINT type) const;

  static WinApp* current() { return current_; }

 protected:
  std::wstring appName_;
  int exitCode_ = 0;

 private:
  HWND mainWindow_ = nullptr;
  static WinApp* current_;
};

}  // namespace vorlo::fw
