// probe: waits for a top-level window and reports or drives it.
//
//   probe [--pid N] [--title TEXT] [--class NAME] [--timeout MS] [--press BUTTON] [--close] [--gone]
//
// Prints the window's facts ("title: ...", "class: ...", "style: 0x...", "client: WxH", one
// "control: CLASS ID TEXT" line per child control). --press clicks a button by its text, --close
// closes the window, --gone waits until no matching window is left. Exit status: 0 done, 1 no such
// window in time (or still there with --gone), 2 bad arguments.
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "tests/probe/probe.h"

using namespace vorlo::probe;

int wmain(int argc, wchar_t** argv) {
  Query q;
  DWORD timeout = 10000;
  std::wstring press;
  bool close = false, gone = false;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    auto value = [&]() -> std::wstring {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "probe: %ls needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == L"--pid") q.pid = static_cast<DWORD>(std::wcstoul(value().c_str(), nullptr, 10));
    else if (a == L"--title") q.title = value();
    else if (a == L"--class") q.className = value();
    else if (a == L"--timeout") timeout = static_cast<DWORD>(std::wcstoul(value().c_str(), nullptr, 10));
    else if (a == L"--press") press = value();
    else if (a == L"--close") close = true;
    else if (a == L"--gone") gone = true;
    else {
      std::fprintf(stderr, "usage: probe [--pid N] [--title TEXT] [--class NAME] [--timeout MS] [--press BUTTON] [--close] [--gone]\n");
      return 2;
    }
  }
  if (gone) return waitForNoWindow(q, timeout) ? 0 : 1;
  HWND h = waitForWindow(q, timeout);
  if (!h) {
    std::fprintf(stderr, "probe: no matching window within %lu ms\n", static_cast<unsigned long>(timeout));
    return 1;
  }
  std::fputs(format(describe(h)).c_str(), stdout);
  if (!press.empty() && !pressButton(h, press)) {
    std::fprintf(stderr, "probe: no button \"%s\"\n", utf8(press).c_str());
    return 1;
  }
  if (close) closeWindow(h);
  return 0;
}
