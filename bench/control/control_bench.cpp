// The player control's cost while it plays, under Wine: the process CPU time over a stretch of
// playing for a 30 fps movie whose stage never changes and one that redraws every frame, and how
// many of the expected frames the timer delivered.
//
//   control_bench.exe [SECONDS]     (default 10)
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/control_site.h"
#include "player_control/control_object.h"
#include "tools/swf/assembler.h"
#include "util/text.h"

using namespace vorlo;

namespace {

// 600 frames at 30 fps; `moving` moves a square across a 550x400 stage each frame.
std::string movieText(bool moving) {
  std::string t = "movie version=6 size=550x400 rate=30\nbackground #336699\n"
                  "shape 1 { fill solid #ff0000; rect 0 0 100px 100px fill0=1 }\nplace 1 id=1 at=10px,10px\nshow\n";
  for (int i = 1; i < 600; ++i) {
    if (moving) t += "place 1 move at=" + std::to_string(10 + i % 400) + "px,10px\n";
    t += "show\n";
  }
  return t;
}

double cpuSeconds() {
  FILETIME created, exited, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
  auto s = [](FILETIME f) { return double((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7; };
  return s(kernel) + s(user);
}

long frameNum(IDispatch* d) {
  VARIANT v;
  VariantInit(&v);
  long n = -1;
  if (SUCCEEDED(fw::getProperty(d, L"FrameNum", &v)) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4))) n = V_I4(&v);
  VariantClear(&v);
  return n;
}

void measure(HWND host, const char* name, bool moving, double seconds) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!swfasm::assembleSwf(movieText(moving), bytes, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  std::wstring path = std::wstring(temp) + L"control-bench.swf";
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(f);

  fw::ControlSite site;
  IClassFactory* factory = nullptr;
  control::getControlClassObject(control::kControlClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  site.create(factory, host, 1113, RECT{0, 0, 550, 400});
  factory->Release();
  VARIANT movie;
  V_VT(&movie) = VT_BSTR;
  V_BSTR(&movie) = SysAllocString(path.c_str());
  fw::putProperty(site.dispatch(), L"Movie", movie);
  VariantClear(&movie);

  long first = frameNum(site.dispatch());
  double cpu0 = cpuSeconds();
  DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < DWORD(seconds * 1000)) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) {
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
  }
  double wall = (GetTickCount() - start) / 1000.0;
  double cpu = cpuSeconds() - cpu0;
  long frames = frameNum(site.dispatch()) - first;
  long expected = long(wall * 30);
  std::printf("%-28s CPU %6.3f s over %5.2f s (%5.1f %%), frames %ld of %ld expected (%5.1f %%)\n", name, cpu, wall,
              100 * cpu / wall, frames, expected, 100.0 * double(frames) / double(expected));
  site.destroy();
  DeleteFileW(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  double seconds = argc > 1 ? std::atof(argv[1]) : 10;
  OleInitialize(nullptr);
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ControlBenchHost";
  RegisterClassW(&wc);
  HWND host = CreateWindowW(L"ControlBenchHost", L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 600, 460, nullptr,
                            nullptr, wc.hInstance, nullptr);
  measure(host, "still stage, 30 fps", false, seconds);
  measure(host, "redrawn every frame, 30 fps", true, seconds);
  DestroyWindow(host);
  OleUninitialize();
  return 0;
}
