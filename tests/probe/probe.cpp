#include "tests/probe/probe.h"

#include "util/text.h"

#include <cstdio>

namespace vorlo::probe {
namespace {

std::wstring textOf(HWND h) {
  wchar_t buf[1024];
  int n = GetWindowTextW(h, buf, 1024);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring classOf(HWND h) {
  wchar_t buf[256];
  int n = GetClassNameW(h, buf, 256);
  return std::wstring(buf, n > 0 ? static_cast<size_t>(n) : 0);
}

bool matches(HWND h, const Query& q) {
  if (q.visibleOnly && !IsWindowVisible(h)) return false;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  if (q.pid && pid != q.pid) return false;
  if (!q.title.empty() && textOf(h) != q.title) return false;
  if (!q.className.empty() && classOf(h) != q.className) return false;
  return true;
}

std::wstring withoutAmpersands(std::wstring s) {
  std::wstring out;
  for (wchar_t c : s) {
    if (c != L'&') out.push_back(c);
  }
  return out;
}

}  // namespace

std::string utf8(const std::wstring& w) { return fromWide(w); }

std::wstring wide(const std::string& s) { return toWide(s); }

namespace {
struct FindContext {
  const Query* q;
  std::vector<HWND> found;
};
BOOL CALLBACK collectMatching(HWND h, LPARAM lp) {
  auto* c = reinterpret_cast<FindContext*>(lp);
  if (matches(h, *c->q)) c->found.push_back(h);
  return TRUE;
}
BOOL CALLBACK collectControl(HWND child, LPARAM lp) {
  reinterpret_cast<WindowInfo*>(lp)->controls.push_back({classOf(child), textOf(child), GetDlgCtrlID(child)});
  return TRUE;
}
struct ButtonContext {
  std::wstring want;
  HWND found = nullptr;
};
BOOL CALLBACK findButton(HWND child, LPARAM lp) {
  auto* c = reinterpret_cast<ButtonContext*>(lp);
  if (_wcsicmp(classOf(child).c_str(), L"Button") == 0 && withoutAmpersands(textOf(child)) == c->want) {
    c->found = child;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

std::vector<HWND> findWindows(const Query& q) {
  FindContext ctx{&q, {}};
  EnumWindows(collectMatching, reinterpret_cast<LPARAM>(&ctx));
  return ctx.found;
}

HWND waitForWindow(const Query& q, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    auto found = findWindows(q);
    if (!found.empty()) return found.front();
    if (GetTickCount() - start >= timeoutMs) return nullptr;
    Sleep(50);
  }
}

bool waitForNoWindow(const Query& q, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!findWindows(q).empty()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

WindowInfo describe(HWND h) {
  WindowInfo info;
  info.hwnd = h;
  GetWindowThreadProcessId(h, &info.pid);
  info.title = textOf(h);
  info.className = classOf(h);
  info.style = static_cast<DWORD>(GetWindowLongW(h, GWL_STYLE));
  info.exStyle = static_cast<DWORD>(GetWindowLongW(h, GWL_EXSTYLE));
  RECT rc{};
  GetClientRect(h, &rc);
  info.clientWidth = rc.right - rc.left;
  info.clientHeight = rc.bottom - rc.top;
  EnumChildWindows(h, collectControl, reinterpret_cast<LPARAM>(&info));
  return info;
}

std::string format(const WindowInfo& info) {
  char line[128];
  std::string out = "title: " + utf8(info.title) + "\nclass: " + utf8(info.className) + "\n";
  std::snprintf(line, sizeof line, "pid: %lu\nstyle: 0x%08lX\nexstyle: 0x%08lX\nclient: %dx%d\n",
                static_cast<unsigned long>(info.pid), static_cast<unsigned long>(info.style),
                static_cast<unsigned long>(info.exStyle), info.clientWidth, info.clientHeight);
  out += line;
  for (const Control& c : info.controls) {
    out += "control: " + utf8(c.className) + " " + std::to_string(c.id) + " " + utf8(c.text) + "\n";
  }
  return out;
}

bool pressButton(HWND window, const std::wstring& text) {
  ButtonContext ctx{withoutAmpersands(text)};
  EnumChildWindows(window, findButton, reinterpret_cast<LPARAM>(&ctx));
  if (!ctx.found) return false;
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(ctx.found), BN_CLICKED), reinterpret_cast<LPARAM>(ctx.found));
  return true;
}

void closeWindow(HWND window) { PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

}  // namespace vorlo::probe
