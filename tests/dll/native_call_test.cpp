// Native calls through the call backend under Wine: the system's own DLLs (kernel32, user32, msvcrt,
// ntdll) and a DLL of our own for the shapes they lack. Both widths: the product's x86 thunk and the
// x86-64 convention.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <string>

#include "host/dll/native_call.h"

namespace vorlo {
namespace {

template <typename T>
NativeArgument arg(T value, NativeKind kind = NativeKind::Integer) {
  NativeArgument a;
  a.kind = kind;
  a.bytes.resize(sizeof value);
  std::memcpy(a.bytes.data(), &value, sizeof value);
  return a;
}
NativeArgument ptr(const void* p) { return arg(reinterpret_cast<uintptr_t>(p)); }
NativeArgument f32(float v) { return arg(v, NativeKind::Float); }
NativeArgument f64(double v) { return arg(v, NativeKind::Double); }
template <typename T>
NativeArgument aggregate(const T& value) { return arg(value, NativeKind::Aggregate); }

void* entry(const char* library, const char* name) {
  HMODULE module = LoadLibraryA(library);
  return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
}

NativeReturn call(const char* library, const char* name, CallConvention convention,
                  std::vector<NativeArgument> arguments, NativeKind returnKind = NativeKind::Integer,
                  uint32_t returnSize = 4) {
  NativeCall c;
  c.entry = entry(library, name);
  EXPECT_NE(c.entry, nullptr) << library << " " << name;
  if (!c.entry) return {};
  c.convention = convention;
  c.arguments = std::move(arguments);
  c.returnKind = returnKind;
  c.returnSize = returnSize;
  return callNative(c);
}

int32_t low32(const NativeReturn& r) { return int32_t(uint32_t(r.integer)); }

TEST(NativeCallTest, SystemFunctionsWithIntegersTextsAndStructures) {
  EXPECT_EQ(low32(call("kernel32.dll", "MulDiv", CallConvention::Stdcall, {arg(300), arg(7), arg(3)})), 700);
  EXPECT_EQ(low32(call("kernel32.dll", "lstrlenA", CallConvention::Stdcall, {ptr("seven!!")})), 7);
  EXPECT_EQ(low32(call("kernel32.dll", "lstrlenW", CallConvention::Stdcall, {ptr(L"four")})), 4);

  SYSTEMTIME now{};
  call("kernel32.dll", "GetSystemTime", CallConvention::Stdcall, {ptr(&now)});
  EXPECT_GE(now.wYear, 2020);
  EXPECT_LE(now.wMonth, 12);

  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  EXPECT_EQ(sizeof version, 148u);
  EXPECT_NE(low32(call("kernel32.dll", "GetVersionExA", CallConvention::Stdcall, {ptr(&version)})), 0);
  EXPECT_GE(version.dwMajorVersion, 5u);

  RECT a{}, b{}, both{};
  call("user32.dll", "SetRect", CallConvention::Stdcall, {ptr(&a), arg(0), arg(0), arg(100), arg(50)});
  call("user32.dll", "SetRect", CallConvention::Stdcall, {ptr(&b), arg(40), arg(20), arg(200), arg(80)});
  EXPECT_EQ(a.right, 100);
  EXPECT_NE(low32(call("user32.dll", "IntersectRect", CallConvention::Stdcall, {ptr(&both), ptr(&a), ptr(&b)})), 0);
  EXPECT_EQ(both.left, 40);
  EXPECT_EQ(both.bottom, 50);
  // A POINT by value: two words on x86, one register on x86-64.
  EXPECT_NE(low32(call("user32.dll", "PtInRect", CallConvention::Stdcall, {ptr(&a), aggregate(POINT{10, 10})})), 0);
  EXPECT_EQ(low32(call("user32.dll", "PtInRect", CallConvention::Stdcall, {ptr(&a), aggregate(POINT{10, 60})})), 0);

  // cdecl varargs: the caller removes the arguments.
  char text[64] = {};
  int written = low32(call("user32.dll", "wsprintfA", CallConvention::Cdecl,
                           {ptr(text), ptr("%d-%s-%c"), arg(42), ptr("x"), arg(int('z'))}));
  EXPECT_EQ(std::string(text), "42-x-z");
  EXPECT_EQ(written, 6);
}

TEST(NativeCallTest, RuntimeLibraryFunctionsWithFloatsAndWideIntegers) {
  EXPECT_DOUBLE_EQ(call("msvcrt.dll", "atof", CallConvention::Cdecl, {ptr("2.75")}, NativeKind::Double).floating, 2.75);
  EXPECT_DOUBLE_EQ(call("msvcrt.dll", "sqrt", CallConvention::Cdecl, {f64(2.25)}, NativeKind::Double).floating, 1.5);
  EXPECT_EQ(int64_t(call("msvcrt.dll", "_atoi64", CallConvention::Cdecl, {ptr("-9007199254740993")}).integer),
            -9007199254740993LL);
  char text[64] = {};
  call("msvcrt.dll", "sprintf", CallConvention::Cdecl, {ptr(text), ptr("%.2f|%d|%s"), f64(3.14159), arg(7), ptr("ok")});
  EXPECT_EQ(std::string(text), "3.14|7|ok");
  // div returns a structure of two ints (8 bytes: in registers at both widths).
  NativeReturn quotient = call("msvcrt.dll", "div", CallConvention::Cdecl, {arg(17), arg(5)}, NativeKind::Aggregate, 8);
  ASSERT_EQ(quotient.aggregate.size(), 8u);
  int parts[2];
  std::memcpy(parts, quotient.aggregate.data(), 8);
  EXPECT_EQ(parts[0], 3);
  EXPECT_EQ(parts[1], 2);
#if defined(__i386__)
  // ntdll's byte swap: a fastcall export of the 32-bit ntdll (x86-64 has it only as an intrinsic).
  EXPECT_EQ(uint32_t(call("ntdll.dll", "RtlUlongByteSwap", CallConvention::Fastcall, {arg(0x11223344u)}).integer),
            0x44332211u);
#endif
}

TEST(NativeCallTest, OurDllShapes) {
  const char* dll = "vorlo_test_dll.dll";
  EXPECT_FLOAT_EQ(float(call(dll, "halfOf", CallConvention::Stdcall, {f32(5.0f)}, NativeKind::Float).floating), 2.5f);
  EXPECT_DOUBLE_EQ(call(dll, "mixed", CallConvention::Cdecl, {arg(char(-3)), arg(short(4)), f64(0.5), arg(uint8_t(2))},
                        NativeKind::Double).floating,
                   -3 + 40 + 0.5 + 2000);
  EXPECT_EQ(low32(call(dll, "fastThree", CallConvention::Fastcall, {arg(1), arg(2), arg(3)})), 123);
  // An 8-byte argument stays on the stack; the two 4-byte ones around it take ECX and EDX.
  EXPECT_EQ(int64_t(call(dll, "fastWide", CallConvention::Fastcall, {arg(4), arg(int64_t(5000000000LL)), arg(6)}).integer),
            5000000000000LL + 46);

  struct {
    const char* name;
    CallConvention convention;
    std::vector<NativeArgument> args;
    uint32_t size;
    std::vector<int> expected;  // the returned bytes as the C structure's fields
  } returns[] = {
      {"make3", CallConvention::Cdecl, {arg(char(10))}, 3, {10, 11, 12}},
      {"make6", CallConvention::Stdcall, {arg(short(7))}, 6, {7, 14, 21}},
      {"make8", CallConvention::Stdcall, {arg(-1), arg(9)}, 8, {-1, 9}},
      {"make12", CallConvention::Cdecl, {arg(100)}, 12, {100, 101, 102}},
  };
  for (const auto& r : returns) {
    NativeReturn got = call(dll, r.name, r.convention, r.args, NativeKind::Aggregate, r.size);
    ASSERT_EQ(got.aggregate.size(), r.size) << r.name;
    size_t field = r.size / r.expected.size();
    for (size_t i = 0; i < r.expected.size(); i++) {
      int value = 0;
      if (field == 1) value = int8_t(got.aggregate[i]);
      if (field == 2) value = int16_t(got.aggregate[2 * i] | got.aggregate[2 * i + 1] << 8);
      if (field == 4) std::memcpy(&value, &got.aggregate[4 * i], 4);
      EXPECT_EQ(value, r.expected[i]) << r.name << " field " << i;
    }
  }
  struct Bytes16 {
    int a, b, c, d;
  } s16{1, 2, 3, 4};
  EXPECT_EQ(low32(call(dll, "sum16", CallConvention::Stdcall, {aggregate(s16), arg(50000)})), 54321);
  EXPECT_DOUBLE_EQ(call(dll, "sixArguments", CallConvention::Stdcall,
                        {arg(1), f64(0.5), f32(0.25f), arg(int64_t(1) << 40), ptr(&s16), arg(short(-2))},
                        NativeKind::Double).floating,
                   1 + 0.5 + 0.25 + double(int64_t(1) << 40) + 1 - 2);
}

// A wrong convention or return declaration must not harm the process: the thunk restores the stack,
// and values left on the x87 stack are taken off (after eight such calls every later float operation
// would give NaN).
TEST(NativeCallTest, WrongDeclarationsLeaveTheProcessWhole) {
  const char* dll = "vorlo_test_dll.dll";
  for (int i = 0; i < 20; i++) {
    // stdcall called as cdecl, cdecl called as stdcall.
    EXPECT_EQ(low32(call("kernel32.dll", "MulDiv", CallConvention::Cdecl, {arg(6), arg(7), arg(2)})), 21);
    EXPECT_DOUBLE_EQ(call(dll, "mixed", CallConvention::Stdcall, {arg(char(1)), arg(short(1)), f64(0), arg(uint8_t(0))},
                          NativeKind::Double).floating,
                     11.0);
    // Float and double returns declared as integers.
    call(dll, "halfOf", CallConvention::Stdcall, {f32(3.0f)}, NativeKind::Integer);
    call("msvcrt.dll", "atof", CallConvention::Cdecl, {ptr("1.5")}, NativeKind::Integer);
  }
  // The runtime library computes on the x87 stack in the 32-bit build: a full stack would make this NaN.
  EXPECT_DOUBLE_EQ(call("msvcrt.dll", "atof", CallConvention::Cdecl, {ptr("0.125")}, NativeKind::Double).floating, 0.125);
}

}  // namespace
}  // namespace vorlo
