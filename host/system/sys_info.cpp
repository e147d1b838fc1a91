// SysInfo: system facts and settings. Members work on the class object and on instances alike.
#include <windows.h>

#include <cpuid.h>
#include <x86intrin.h>

#include <memory>
#include <string>

#include "engine/convert.h"
#include "engine/object.h"
#include "engine/symbols.h"
#include "host/host_support.h"
#include "host/shell/shell.h"
#include "stdlib/array.h"

namespace vorlo {
namespace {

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) { makeInstance(vm, cls, nullptr, result); }
void toText(MemberCall& c) { setClassText(c, u"[object SysInfo]"); }

// Shutting down: the shutdown privilege first (when the token allows it).
template <UINT Flags>
void exitWindows(MemberCall&) {
  HANDLE token;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, SE_SHUTDOWN_NAME, &tp.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    CloseHandle(token);
  }
  ExitWindowsEx(Flags, 0);
}

ScriptValue modeObject(ScriptVM* vm, const DEVMODEW& mode) {
  ScriptObject* o = newObject(vm);
  objectSet(vm, o, intern(vm, "bitsPerPel"), ScriptValue::integer(mode.dmBitsPerPel));
  objectSet(vm, o, intern(vm, "pelsWidth"), ScriptValue::integer(mode.dmPelsWidth));
  objectSet(vm, o, intern(vm, "pelsHeight"), ScriptValue::integer(mode.dmPelsHeight));
  objectSet(vm, o, intern(vm, "displayFrequency"), ScriptValue::integer(mode.dmDisplayFrequency));
  return ScriptValue::object(o);
}

void getDisplaySettings(MemberCall& c) {
  ScriptValue list = newArrayValue(c.vm, 0);
  *c.result = list;
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  for (DWORD i = 0; EnumDisplaySettingsW(nullptr, i, &mode); ++i) {
    ScriptValue o = modeObject(c.vm, mode);
    arrayAppend(c.vm, list.asArray(), o);
  }
}

void getComputerName(ScriptVM* vm, void*, ScriptValue* v) {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD n = MAX_COMPUTERNAME_LENGTH + 1;
  if (GetComputerNameW(name, &n)) setWide(vm, v, std::wstring_view(name, n));
  else *v = ScriptValue::null();
}
void setComputerName(ScriptVM*, void*, const ScriptValue& v) {
  if (v.isString()) SetComputerNameW(wideOf(stringView(v.asString())).c_str());
}
void getUserName(ScriptVM* vm, void*, ScriptValue* v) {
  wchar_t name[257];
  DWORD n = 257;
  if (GetUserNameW(name, &n)) setWide(vm, v, name);
  else *v = ScriptValue::null();
}

// "Windows NT", "Windows 2000" and "Windows XP" by number; later versions give the numbers alone.
void getVersion(ScriptVM* vm, void*, ScriptValue* v) {
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof info;
  if (!GetVersionExW(&info)) {
    *v = ScriptValue::null();
    return;
  }
  std::string name;
  if (info.dwPlatformId == 0) name = "Windows 32s";
  else if (info.dwPlatformId == 1) name = info.dwMinorVersion == 0 ? "Windows 95" : info.dwMinorVersion == 90 ? "Windows ME" : "Windows 98";
  else if (info.dwPlatformId == 2) {
    if (info.dwMajorVersion == 3 || info.dwMajorVersion == 4) name = "Windows NT";
    else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 0) name = "Windows 2000";
    else if (info.dwMajorVersion == 5 && info.dwMinorVersion == 1) name = "Windows XP";
  }
  char numbers[48];
  snprintf(numbers, sizeof numbers, " %lu.%02lu.%04lu ", static_cast<unsigned long>(info.dwMajorVersion),
           static_cast<unsigned long>(info.dwMinorVersion), static_cast<unsigned long>(info.dwBuildNumber & 0xFFFF));
  std::u16string text(name.begin(), name.end());
  for (const char* p = numbers; *p; ++p) text += static_cast<char16_t>(*p);
  text += std::u16string(reinterpret_cast<const char16_t*>(info.szCSDVersion));
  setText(vm, v, text);
}

template <UINT (*Get)(LPWSTR, UINT)>
void getFolder(ScriptVM* vm, void*, ScriptValue* v) {
  wchar_t path[MAX_PATH];
  UINT n = Get(path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) *v = ScriptValue::boolean(false);
  else setWide(vm, v, std::wstring_view(path, n));
}
UINT systemFolder(LPWSTR p, UINT n) { return GetSystemDirectoryW(p, n); }
UINT windowsFolder(LPWSTR p, UINT n) { return GetWindowsDirectoryW(p, n); }

template <LONG RECT::*Side>
void getWorkarea(ScriptVM*, void*, ScriptValue* v) {
  RECT r;
  *v = SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0) ? ScriptValue::integer(r.*Side) : ScriptValue::nan();
}

// Full 64-bit figures (machines with more than 4 GB would otherwise read a wrapped value).
template <bool Total>
void getMemory(ScriptVM*, void*, ScriptValue* v) {
  MEMORYSTATUSEX m{};
  m.dwLength = sizeof m;
  if (GlobalMemoryStatusEx(&m)) *v = ScriptValue::integer(static_cast<int64_t>(Total ? m.ullTotalPhys : m.ullAvailPhys));
}

void getCpuSpeed(ScriptVM*, void*, ScriptValue* v) {
  unsigned a, b, c, d;
  if (!__get_cpuid(1, &a, &b, &c, &d) || !(d & (1u << 4))) {
    *v = ScriptValue::nan();
    return;
  }
  HANDLE process = GetCurrentProcess(), thread = GetCurrentThread();
  DWORD priorityClass = GetPriorityClass(process);
  int priority = GetThreadPriority(thread);
  SetPriorityClass(process, REALTIME_PRIORITY_CLASS);
  SetThreadPriority(thread, THREAD_PRIORITY_TIME_CRITICAL);
  Sleep(10);
  uint64_t start = __rdtsc();
  Sleep(500);
  uint64_t end = __rdtsc();
  SetThreadPriority(thread, priority);
  SetPriorityClass(process, priorityClass);
  // The whole difference (its low 32 bits wrap within two seconds on a fast processor).
  *v = ScriptValue::number(static_cast<double>(end - start) * 0.000002);
}

constexpr wchar_t kDesktopKey[] = L"Control Panel\\Desktop";

void getScreenSaver(ScriptVM* vm, void*, ScriptValue* v) {
  wchar_t path[MAX_PATH + 1] = {};
  DWORD size = sizeof path - sizeof(wchar_t);
  if (RegGetValueW(HKEY_CURRENT_USER, kDesktopKey, L"SCRNSAVE.EXE", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND,
                   nullptr, path, &size) == ERROR_SUCCESS)
    setWide(vm, v, path);
  else
    *v = ScriptValue::null();
}
void setScreenSaver(ScriptVM*, void*, const ScriptValue& v) {
  if (!v.isString()) return;
  std::wstring path = wideOf(stringView(v.asString()));
  wchar_t shortPath[MAX_PATH];
  DWORD n = GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  if (RegSetKeyValueW(HKEY_CURRENT_USER, kDesktopKey, L"SCRNSAVE.EXE", REG_SZ, shortPath, (n + 1) * sizeof(wchar_t)) != ERROR_SUCCESS)
    return;
  SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, 2000, nullptr);
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, TRUE, nullptr, SPIF_SENDCHANGE);
}
void getScreenSaverActive(ScriptVM*, void*, ScriptValue* v) {
  BOOL active = FALSE;
  if (SystemParametersInfoW(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) *v = ScriptValue::boolean(active);
}
void setScreenSaverActive(ScriptVM*, void*, const ScriptValue& v) {
  SystemParametersInfoW(SPI_SETSCREENSAVEACTIVE, toBoolean(v), nullptr, SPIF_SENDCHANGE);
}
void getScreenSaverTimeout(ScriptVM*, void*, ScriptValue* v) {
  UINT seconds = 0;
  if (SystemParametersInfoW(SPI_GETSCREENSAVETIMEOUT, 0, &seconds, 0)) *v = ScriptValue::integer(seconds);
}
void setScreenSaverTimeout(ScriptVM*, void*, const ScriptValue& v) {
  if (std::optional<int64_t> n = wholeNumber(v); n && *n >= 0)
    SystemParametersInfoW(SPI_SETSCREENSAVETIMEOUT, static_cast<UINT>(*n), nullptr, SPIF_SENDCHANGE);
}

void getDisplaySetting(ScriptVM* vm, void*, ScriptValue* v) {
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) *v = modeObject(vm, mode);
}
void setDisplaySetting(ScriptVM* vm, void*, const ScriptValue& v) {
  if (!v.isObject()) return;
  DEVMODEW mode{};
  mode.dmSize = sizeof mode;
  if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode)) return;
  mode.dmFields = 0;
  struct Field {
    const char* name;
    DWORD DEVMODEW::*field;
    DWORD flag;
  };
  static constexpr Field kFields[] = {{"bitsPerPel", &DEVMODEW::dmBitsPerPel, DM_BITSPERPEL},
                                      {"pelsWidth", &DEVMODEW::dmPelsWidth, DM_PELSWIDTH},
                                      {"pelsHeight", &DEVMODEW::dmPelsHeight, DM_PELSHEIGHT},
                                      {"displayFrequency", &DEVMODEW::dmDisplayFrequency, DM_DISPLAYFREQUENCY}};
  ScriptObject* o = v.asObject();
  for (const Field& f : kFields) {
    ScriptValue member;
    if (!objectGet(vm, o, intern(vm, f.name), &member)) continue;
    mode.*(f.field) = static_cast<DWORD>(toInt32(vm, member));
    mode.dmFields |= f.flag;
  }
  ScriptValue test;
  bool testOnly = objectGet(vm, o, intern(vm, "test"), &test) && toBoolean(test);
  LONG code = ChangeDisplaySettingsW(&mode, testOnly ? CDS_TEST : CDS_UPDATEREGISTRY);
  objectSet(vm, o, intern(vm, "test"), ScriptValue::integer(code));
}

constexpr Member kMembers[] = {
    {"toString", toText},
    {"powerOff", exitWindows<EWX_POWEROFF>},
    {"logOff", exitWindows<EWX_LOGOFF>},
    {"reboot", exitWindows<EWX_REBOOT>},
    {"shutdown", exitWindows<EWX_SHUTDOWN>},
    {"getDisplaySettings", getDisplaySettings},
    {"computerName", nullptr, getComputerName, setComputerName},
    {"userName", nullptr, getUserName},
    {"version", nullptr, getVersion},
    {"sysDir", nullptr, getFolder<systemFolder>},
    {"winDir", nullptr, getFolder<windowsFolder>},
    {"workareaLeft", nullptr, getWorkarea<&RECT::left>},
    {"workareaTop", nullptr, getWorkarea<&RECT::top>},
    {"workareaRight", nullptr, getWorkarea<&RECT::right>},
    {"workareaBottom", nullptr, getWorkarea<&RECT::bottom>},
    {"totalPhysMemory", nullptr, getMemory<true>},
    {"availPhysMemory", nullptr, getMemory<false>},
    {"cpuSpeed", nullptr, getCpuSpeed},
    {"screenSaver", nullptr, getScreenSaver, setScreenSaver},
    {"screenSaverActive", nullptr, getScreenSaverActive, setScreenSaverActive},
    {"screenSaverTimeout", nullptr, getScreenSaverTimeout, setScreenSaverTimeout},
    {"displaySetting", nullptr, getDisplaySetting, setDisplaySetting},
};

constexpr ClassDef kSysInfo{.name = "SysInfo", .members = kMembers, .construct = construct};

}  // namespace

void registerSysInfo(ScriptVM* vm) { registerClass(vm, kSysInfo); }

}  // namespace vorlo
