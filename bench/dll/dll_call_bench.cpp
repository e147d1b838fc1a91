// Calls per second of a trivial stdcall function (GetTickCount) and of a six-argument call with a
// structure (the test DLL's sixArguments, which must lie beside the program), through the call backend
// (arguments as bytes, the thunk, the return read back) and directly from C++, in the same run.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "host/dll/native_call.h"

using namespace vorlo;

namespace {

template <typename T>
NativeArgument arg(T value, NativeKind kind = NativeKind::Integer) {
  NativeArgument a;
  a.kind = kind;
  a.bytes.resize(sizeof value);
  std::memcpy(a.bytes.data(), &value, sizeof value);
  return a;
}

template <typename F>
double perSecond(long count, F&& body) {
  auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < count; i++) body();
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return count / seconds;
}

struct Bytes16 {
  int a, b, c, d;
};
using SixArguments = double(__stdcall*)(int, double, float, long long, Bytes16*, short);

}  // namespace

int main() {
  const long count = 2000000;
  volatile DWORD sink = 0;
  NativeCall tick;
  tick.entry = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount"));
  double direct = perSecond(count, [&] { sink = sink + GetTickCount(); });
  double bridged = perSecond(count, [&] { sink = sink + DWORD(callNative(tick).integer); });
  std::printf("GetTickCount: direct %.0f calls/s, through the backend %.0f calls/s, ratio %.2f\n", direct, bridged,
              direct / bridged);

  HMODULE dll = LoadLibraryA("vorlo_test_dll.dll");
  auto six = dll ? reinterpret_cast<SixArguments>(GetProcAddress(dll, "sixArguments")) : nullptr;
  if (!six) {
    std::printf("sixArguments: vorlo_test_dll.dll not found beside the program\n");
    return 0;
  }
  Bytes16 s{1, 2, 3, 4};
  volatile double total = 0;
  NativeCall call;
  call.entry = reinterpret_cast<void*>(six);
  call.returnKind = NativeKind::Double;
  double directSix = perSecond(count, [&] { total = total + six(1, 0.5, 0.25f, 1LL << 40, &s, -2); });
  double bridgedSix = perSecond(count, [&] {
    call.arguments = {arg(1), arg(0.5, NativeKind::Double), arg(0.25f, NativeKind::Float), arg(1LL << 40),
                      arg(reinterpret_cast<uintptr_t>(&s)), arg(short(-2))};
    total = total + callNative(call).floating;
  });
  std::printf("sixArguments: direct %.0f calls/s, through the backend %.0f calls/s, ratio %.2f\n", directSix,
              bridgedSix, directSix / bridgedSix);
  return 0;
}
