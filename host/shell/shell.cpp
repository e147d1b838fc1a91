#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include "engine/convert.h"
#include "engine/object.h"
#include "engine/symbols.h"
#include "host/host_context.h"
#include "host/host_support.h"
#include "host/shell/processes.h"
#include "host/shell/shell.h"
#include "host/shell/special_folders.h"
#include "stdlib/array.h"

namespace vorlo {
namespace {

HWND mainWindow(ScriptVM* vm) {
  HostContext* host = hostContext(vm);
  return host ? host->mainWindow : nullptr;
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  makeInstance(vm, cls, nullptr, result);
}

void toText(MemberCall& c) { setClassText(c, u"[object Shell]"); }

std::optional<int> showArg(const MemberCall& c, int64_t i) {
  std::optional<int64_t> n = intArg(c, i);
  if (!n) return std::nullopt;
  return static_cast<int>(*n);
}

// run: the program's main window is handed out as a Window once that class exists; until then the
// program starts and the result is null.
void run(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> line = stringArg(c, 0);
  if (!line) return;
  std::optional<PROCESS_INFORMATION> pi = startProcess(wideOf(*line), showArg(c, 1));
  if (!pi) return lastOsFailure(c);
  mainWindowOf(*pi);
  CloseHandle(pi->hThread);
  CloseHandle(pi->hProcess);
}

void runAndWait(MemberCall& c) {
  std::optional<std::u16string> line = stringArg(c, 0);
  if (!line) return;
  HWND focus = GetFocus();
  std::optional<PROCESS_INFORMATION> pi = startProcess(wideOf(*line), showArg(c, 1));
  if (!pi) return lastOsFailure(c, ScriptValue());
  waitDelivering(pi->hProcess);
  CloseHandle(pi->hThread);
  CloseHandle(pi->hProcess);
  if (HWND main = mainWindow(c.vm)) SetActiveWindow(main);
  if (focus) SetFocus(focus);
}

void runConsoleMember(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> line = stringArg(c, 0);
  if (!line) return;
  std::optional<std::string> out = runConsole(wideOf(*line));
  if (out) setStringFromAnsi(c.vm, c.result, out->data(), out->size());
}

template <const wchar_t* Verb>
void shellVerb(MemberCall& c) {
  std::optional<std::u16string> file = stringArg(c, 0), directory = stringArg(c, 1), parameters = stringArg(c, 2);
  if (!file) return;
  std::wstring f = wideOf(*file), d = directory ? wideOf(*directory) : L"", p = parameters ? wideOf(*parameters) : L"";
  ShellExecuteW(mainWindow(c.vm), Verb, f.c_str(), parameters ? p.c_str() : nullptr, directory ? d.c_str() : nullptr, SW_SHOWNORMAL);
}
constexpr wchar_t kOpen[] = L"open", kExplore[] = L"explore", kPrint[] = L"print";

void findExecutable(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> file = stringArg(c, 0);
  if (!file) return;
  wchar_t found[MAX_PATH] = {};
  if (reinterpret_cast<INT_PTR>(FindExecutableW(wideOf(*file).c_str(), nullptr, found)) > 32) setWide(c.vm, c.result, found);
}

std::optional<std::wstring> environmentValue(const wchar_t* name) {
  DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring value(n, L'\0');
  DWORD got = GetEnvironmentVariableW(name, value.data(), n);
  if (got == 0 || got >= n) return got == 0 ? std::optional<std::wstring>(L"") : std::nullopt;
  value.resize(got);
  return value;
}

std::optional<std::wstring> specialFolder(const SpecialFolder& f) {
  wchar_t path[MAX_PATH] = {};
  switch (f.source) {
    case FolderSource::Csidl: {
      LPITEMIDLIST items = nullptr;
      if (FAILED(SHGetSpecialFolderLocation(nullptr, f.csidl, &items)) || !items) return std::nullopt;
      BOOL ok = SHGetPathFromIDListW(items, path);
      CoTaskMemFree(items);
      if (!ok) return std::nullopt;
      return path;
    }
    case FolderSource::Windows:
      if (!GetWindowsDirectoryW(path, MAX_PATH)) return std::nullopt;
      return path;
    case FolderSource::System:
      if (!GetSystemDirectoryW(path, MAX_PATH)) return std::nullopt;
      return path;
    case FolderSource::Temp: {
      for (const wchar_t* name : {L"TMP", L"TEMP"})
        if (std::optional<std::wstring> v = environmentValue(name); v && !v->empty()) return v;
      if (!GetWindowsDirectoryW(path, MAX_PATH)) return std::nullopt;
      return path;
    }
    case FolderSource::ProgramFiles: {
      if (std::optional<std::wstring> v = environmentValue(L"ProgramFiles"); v && !v->empty()) return v;
      DWORD size = sizeof path - sizeof(wchar_t);
      if (RegGetValueW(HKEY_LOCAL_MACHINE, L"software\\microsoft\\windows\\currentversion", L"ProgramFilesDir",
                       RRF_RT_REG_SZ, nullptr, path, &size) != ERROR_SUCCESS)
        return std::nullopt;
      return path;
    }
  }
  return std::nullopt;
}

void getSpecialFolder(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> name = stringArg(c, 0);
  const SpecialFolder* f = name ? findSpecialFolder(*name) : nullptr;
  if (!f) return;
  if (std::optional<std::wstring> path = specialFolder(*f)) setWide(c.vm, c.result, *path);
}

void addToRecentDocs(MemberCall& c) {
  if (std::optional<std::u16string> path = stringArg(c, 0)) SHAddToRecentDocs(SHARD_PATHW, wideOf(*path).c_str());
}
void clearRecentDocs(MemberCall&) { SHAddToRecentDocs(SHARD_PATHW, nullptr); }

void emptyRecycleBin(MemberCall& c) {
  using Empty = HRESULT(WINAPI*)(HWND, LPCWSTR, DWORD);
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  if (!shell) shell = LoadLibraryW(L"shell32.dll");
  auto empty = shell ? reinterpret_cast<Empty>(reinterpret_cast<void*>(GetProcAddress(shell, "SHEmptyRecycleBinW"))) : nullptr;
  if (empty) empty(mainWindow(c.vm), nullptr, SHERB_NOCONFIRMATION | SHERB_NOPROGRESSUI | SHERB_NOSOUND);
}

// The names of the environment block in order; a name that begins with "=" runs to the next "=".
void getEnvironmentStrings(MemberCall& c) {
  ScriptValue list = newArrayValue(c.vm, 0);
  *c.result = list;
  wchar_t* block = GetEnvironmentStringsW();
  if (!block) return;
  for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
    const wchar_t* eq = wcschr(entry + 1, L'=');
    size_t length = eq ? static_cast<size_t>(eq - entry) : wcslen(entry);
    ScriptValue name;
    setWide(c.vm, &name, std::wstring_view(entry, length));
    arrayAppend(c.vm, list.asArray(), name);
  }
  FreeEnvironmentStringsW(block);
}

void getEnvironmentVariable(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> name = stringArg(c, 0);
  if (!name) return;
  if (std::optional<std::wstring> v = environmentValue(wideOf(*name).c_str())) setWide(c.vm, c.result, *v);
}

void setEnvironmentVariable(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  if (c.count() < 2) return;
  ScriptValue value = toStringValue(c.vm, c.arg(1));
  std::wstring v = wideOf(stringView(value.asString()));
  ScriptValue name = toStringValue(c.vm, c.arg(0));
  *c.result = ScriptValue::boolean(SetEnvironmentVariableW(wideOf(stringView(name.asString())).c_str(), v.c_str()));
}

void delEnvironmentVariable(MemberCall& c) {
  std::optional<std::u16string> name = stringArg(c, 0);
  *c.result = ScriptValue::boolean(name && SetEnvironmentVariableW(wideOf(*name).c_str(), nullptr));
}

void expandEnvironmentStrings(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> text = stringArg(c, 0);
  if (!text) return;
  std::wstring in = wideOf(*text);
  DWORD n = ExpandEnvironmentStringsW(in.c_str(), nullptr, 0);
  if (n == 0) return;
  std::wstring out(n, L'\0');
  DWORD got = ExpandEnvironmentStringsW(in.c_str(), out.data(), n);
  if (got == 0 || got > n) return;
  out.resize(got - 1);
  setWide(c.vm, c.result, out);
}

void setDesktopWallpaper(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!path) return;
  UINT flags = 0;
  if (!c.has(1) || toBoolean(c.arg(1))) flags |= SPIF_UPDATEINIFILE;
  if (!c.has(2) || toBoolean(c.arg(2))) flags |= SPIF_SENDCHANGE;
  std::wstring w = wideOf(*path);
  *c.result = ScriptValue::boolean(SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, w.data(), flags));
}

// Broadcast with a time-out: a hung window must not hang the projector.
void settingChange(MemberCall&) {
  SendMessageTimeoutW(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, 2000, nullptr);
}

struct VersionString {
  const wchar_t* entry;
  const char* member;
};
constexpr VersionString kVersionStrings[] = {
    {L"Comments", "comments"},           {L"CompanyName", "companyName"},       {L"FileDescription", "fileDescription"},
    {L"FileVersion", "fileVersion"},     {L"InternalName", "internalName"},     {L"LegalCopyright", "legalCopyright"},
    {L"LegalTrademarks", "legalTrademarks"}, {L"OriginalFilename", "originalFilename"}, {L"PrivateBuild", "privateBuild"},
    {L"ProductName", "productName"},     {L"productVersion", "productVersion"}, {L"SpecialBuild", "specialBuild"},
};

void setMember(ScriptVM* vm, ScriptObject* o, const char* name, const ScriptValue& v) { objectSet(vm, o, intern(vm, name), v); }

void getFileVersionInfo(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> file = stringArg(c, 0);
  if (!file) return;
  std::wstring path = wideOf(*file);
  DWORD handle = 0, size = GetFileVersionInfoSizeW(path.c_str(), &handle);
  if (size == 0) return;
  std::vector<uint8_t> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return;
  ScriptObject* o = newObject(c.vm);
  *c.result = ScriptValue::object(o);
  void* p;
  UINT length;
  if (VerQueryValueW(block.data(), L"\\", &p, &length) && length == sizeof(VS_FIXEDFILEINFO)) {
    auto* fixed = static_cast<VS_FIXEDFILEINFO*>(p);
    setMember(c.vm, o, "fileVersionNum", ScriptValue::integer(static_cast<int64_t>(uint64_t(fixed->dwFileVersionMS) << 32 | fixed->dwFileVersionLS)));
    setMember(c.vm, o, "productVersionNum", ScriptValue::integer(static_cast<int64_t>(uint64_t(fixed->dwProductVersionMS) << 32 | fixed->dwProductVersionLS)));
  }
  if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &p, &length) && length >= 4) {
    auto* words = static_cast<WORD*>(p);
    uint32_t translation = uint32_t(words[0]) << 16 | words[1];
    setMember(c.vm, o, "translation", ScriptValue::integer(translation));
    wchar_t key[80];
    for (const VersionString& s : kVersionStrings) {
      swprintf(key, 80, L"\\StringFileInfo\\%08X\\%ls", translation, s.entry);
      ScriptValue text;
      if (VerQueryValueW(block.data(), key, &p, &length) && length > 0) setWide(c.vm, &text, std::wstring_view(static_cast<wchar_t*>(p), length - 1));
      else setText(c.vm, &text, "");
      setMember(c.vm, o, s.member, text);
    }
  }
}

constexpr Member kMembers[] = {
    {"toString", toText},
    {"run", run},
    {"runAndWait", runAndWait},
    {"runConsole", runConsoleMember},
    {"open", shellVerb<kOpen>},
    {"explore", shellVerb<kExplore>},
    {"print", shellVerb<kPrint>},
    {"findExecutable", findExecutable},
    {"getSpecialFolder", getSpecialFolder},
    {"addToRecentDocs", addToRecentDocs},
    {"clearRecentDocs", clearRecentDocs},
    {"emptyRecycleBin", emptyRecycleBin},
    {"getEnvironmentStrings", getEnvironmentStrings},
    {"getEnvironmentVariable", getEnvironmentVariable},
    {"setEnvironmentVariable", setEnvironmentVariable},
    {"delEnvironmentVariable", delEnvironmentVariable},
    {"expandEnvironmentStrings", expandEnvironmentStrings},
    {"setDesktopWallpaper", setDesktopWallpaper},
    {"settingChange", settingChange},
    {"getFileVersionInfo", getFileVersionInfo},
};

constexpr ClassDef kShell{.name = "Shell", .members = kMembers, .construct = construct};

}  // namespace

void registerShell(ScriptVM* vm) { registerClass(vm, kShell); }

}  // namespace vorlo
