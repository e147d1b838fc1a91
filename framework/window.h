// A window object bound to its handle; messages reach onMessage. No exception leaves a window
// procedure: a C++ exception cannot cross the system's call back into us.
#pragma once
#include <windows.h>

#include <string>

namespace vorlo::fw {

class Window {
 public:
  virtual ~Window();
  Window() = default;
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Registers (once) and returns a window class of this framework with the given icon.
  static const wchar_t* registerWindowClass(HICON icon, UINT style = 0);

  bool create(DWORD exStyle, const wchar_t* className, const std::wstring& title, DWORD style, int x, int y, int w,
              int h, HWND parent, HMENU menu = nullptr);
  HWND hwnd() const { return hwnd_; }

 protected:
  virtual LRESULT onMessage(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT defaultProc(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }
  // After WM_NCDESTROY the handle is gone.
  virtual void onFinalDestroy() {}

 private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  HWND hwnd_ = nullptr;
};

}  // namespace vorlo::fw
