// vorlo-play's window on Windows: the movie plays in the player control, at the movie's size, until
// the window is closed or the movie says "quit".
#include <windows.h>
#include <oleauto.h>

#include <cstdio>

#include "framework/control_site.h"
#include "player_control/control_object.h"
#include "projector/movie_header.h"
#include "tools/play/window_player.h"
#include "util/text.h"

namespace vorlo::play {
namespace {

fw::ControlSite* gSite = nullptr;

LRESULT CALLBACK windowProcedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  try {
    switch (msg) {
      case WM_SIZE:
        if (gSite && gSite->active()) gSite->move(RECT{0, 0, LOWORD(lp), HIWORD(lp)});
        return 0;
      case WM_SETFOCUS:
        if (gSite && gSite->controlWindow()) SetFocus(gSite->controlWindow());
        return 0;
      case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
      default:
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
  } catch (...) {
    return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

std::wstring fullPath(const std::string& path) {
  std::wstring wide = toWide(path);
  wchar_t full[MAX_PATH];
  DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH ? std::wstring(full, n) : wide;
}

}  // namespace

int playInWindow(const std::string& movie) {
  std::optional<MovieHeader> header = readMovieHeader(movie);
  if (!header) {
    std::fprintf(stderr, "vorlo-play: %s: not a movie\n", movie.c_str());
    return 1;
  }
  int width = header->right - header->left, height = header->bottom - header->top;
  if (width <= 0 || height <= 0 || width > 4096 || height > 4096) width = 550, height = 400;

  if (FAILED(OleInitialize(nullptr))) return 1;
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = windowProcedure;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"VorloPlayWindow";
  RegisterClassW(&wc);
  DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  RECT frame{0, 0, width, height};
  AdjustWindowRect(&frame, style, FALSE);
  std::wstring path = fullPath(movie);
  size_t slash = path.find_last_of(L"\\/");
  std::wstring title = L"vorlo-play - " + (slash == std::wstring::npos ? path : path.substr(slash + 1));
  HWND window = CreateWindowW(L"VorloPlayWindow", title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                              frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;

  fw::ControlSite site;
  gSite = &site;
  IClassFactory* factory = nullptr;
  HRESULT hr = control::getControlClassObject(control::kControlClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (SUCCEEDED(hr)) {
    hr = site.create(factory, window, 1113, RECT{0, 0, width, height});
    factory->Release();
  }
  if (FAILED(hr)) {
    std::fprintf(stderr, "vorlo-play: the player control could not be created (0x%08lx)\n", static_cast<unsigned long>(hr));
    DestroyWindow(window);
    OleUninitialize();
    return 1;
  }
  // fscommand("quit") ends the program, as it ends a standalone player.
  site.connectEvents([window](DISPID id, const std::vector<std::wstring>& args) {
    if (id == 150 && !args.empty() && lstrcmpiW(args[0].c_str(), L"quit") == 0) PostMessageW(window, WM_CLOSE, 0, 0);
  });
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(path.c_str());
  fw::putProperty(site.dispatch(), L"Movie", v);
  VariantClear(&v);
  ShowWindow(window, SW_SHOW);
  SetFocus(site.controlWindow());

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  site.destroy();
  gSite = nullptr;
  OleUninitialize();
  return 0;
}

}  // namespace vorlo::play
