// Finding and driving top-level windows of other processes, for tests that watch a program the way a
// user would: its windows, their titles, styles, sizes and controls.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace vorlo::probe {

struct Query {
  DWORD pid = 0;            // 0: any process
  std::wstring title;       // empty: any title; otherwise the exact title
  std::wstring className;   // empty: any class
  bool visibleOnly = true;
};

struct Control {
  std::wstring className, text;
  int id = 0;
};

struct WindowInfo {
  HWND hwnd = nullptr;
  DWORD pid = 0;
  std::wstring title, className;
  DWORD style = 0, exStyle = 0;
  int clientWidth = 0, clientHeight = 0;
  std::vector<Control> controls;
};

// Top-level windows that match now.
std::vector<HWND> findWindows(const Query& q);
// Waits until a matching window exists; null after timeoutMs.
HWND waitForWindow(const Query& q, DWORD timeoutMs);
// Waits until no matching window exists; false after timeoutMs.
bool waitForNoWindow(const Query& q, DWORD timeoutMs);

WindowInfo describe(HWND hwnd);
// One "key: value" line per fact, controls as "control: CLASS id TEXT".
std::string format(const WindowInfo& info);

// Clicks the child button whose text (without '&') equals text; false when there is none.
bool pressButton(HWND window, const std::wstring& text);
// Asks the window to close, as its title bar's close button does.
void closeWindow(HWND window);

std::string utf8(const std::wstring& w);
std::wstring wide(const std::string& s);

}  // namespace vorlo::probe
