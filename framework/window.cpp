#include "framework/window.h"

#include <cstdio>
#include <map>

namespace vorlo::fw {

Window::~Window() {
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

const wchar_t* Window::registerWindowClass(HICON icon, UINT style) {
  // One class per icon and style, named after them as the framework does.
  static std::map<std::pair<HICON, UINT>, std::wstring> names;
  auto key = std::make_pair(icon, style);
  auto it = names.find(key);
  if (it != names.end()) return it->second.c_str();
  wchar_t name[64];
  std::swprintf(name, 64, L"VorloWnd:%p:%x", static_cast<void*>(icon), style);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = style;
  wc.lpfnWndProc = &Window::procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = icon;
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
  return (names[key] = name).c_str();
}

bool Window::create(DWORD exStyle, const wchar_t* className, const std::wstring& title, DWORD style, int x, int y,
                    int w, int h, HWND parent, HMENU menu) {
  hwnd_ = CreateWindowExW(exStyle, className, title.c_str(), style, x, y, w, h, parent, menu, GetModuleHandleW(nullptr), this);
  return hwnd_ != nullptr;
}

LRESULT Window::onMessage(UINT msg, WPARAM wp, LPARAM lp) { return defaultProc(msg, wp, lp); }

LRESULT CALLBACK Window::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self && msg == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    LRESULT r = self->onMessage(msg, wp, lp);
    if (msg == WM_NCDESTROY) {
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      self->hwnd_ = nullptr;
      self->onFinalDestroy();
    }
    return r;
  } catch (...) {
    // Nothing may unwind into the system: the message counts as handled by default processing.
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

}  // namespace vorlo::fw
