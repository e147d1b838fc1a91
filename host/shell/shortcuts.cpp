// Shortcut (shell links, .lnk) and URLShortcut (Internet shortcuts, .url) through the shell's COM
// objects. COM is started on the calling thread when the first one is made.
#include <windows.h>
#include <objbase.h>
#include <intshcut.h>
#include <isguids.h>
#include <shlobj.h>

#include <memory>

#include "host/host_support.h"
#include "host/shell/hot_key.h"
#include "host/shell/shell.h"

namespace vorlo {
namespace {

template <typename I>
struct LinkData {
  I* link = nullptr;
  std::wstring file;
  ~LinkData() {
    if (link) link->Release();
  }
  IPersistFile* persist() const {
    IPersistFile* p = nullptr;
    link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&p));
    return p;
  }
  bool load() const {
    IPersistFile* p = persist();
    if (!p) return false;
    HRESULT hr = p->Load(file.c_str(), STGM_READ);
    p->Release();
    return SUCCEEDED(hr);
  }
};
using ShortcutData = LinkData<IShellLinkW>;
using UrlData = LinkData<IUniformResourceLocatorW>;

template <typename I>
I* createLink(REFCLSID cls, REFIID iid) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // once per thread; later calls only count
  I* link = nullptr;
  if (FAILED(CoCreateInstance(cls, nullptr, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&link)))) return nullptr;
  return link;
}

void constructShortcut(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  *result = ScriptValue::null();
  std::optional<std::u16string> file = stringArg(c, 0);
  if (!file) return;
  auto data = std::make_unique<ShortcutData>();
  data->file = wideOf(*file);
  data->link = createLink<IShellLinkW>(CLSID_ShellLink, IID_IShellLinkW);
  if (!data->link) return;
  if (GetFileAttributesW(data->file.c_str()) != INVALID_FILE_ATTRIBUTES && data->load())
    data->link->Resolve(nullptr, SLR_ANY_MATCH | SLR_NO_UI);
  *result = makeInstance(vm, cls, std::move(data));
}

void constructUrl(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  *result = ScriptValue::null();
  std::optional<std::u16string> file = stringArg(c, 0);
  if (!file) return;
  auto data = std::make_unique<UrlData>();
  data->file = wideOf(*file);
  data->link = createLink<IUniformResourceLocatorW>(CLSID_InternetShortcut, IID_IUniformResourceLocatorW);
  if (!data->link) return;
  if (GetFileAttributesW(data->file.c_str()) != INVALID_FILE_ATTRIBUTES) data->load();
  *result = makeInstance(vm, cls, std::move(data));
}

template <typename D>
void save(MemberCall& c) {
  D* d = dataOf<D>(c);
  if (!d) return;
  IPersistFile* p = d->persist();
  if (!p) return;
  p->Save(d->file.c_str(), TRUE);
  p->Release();
}

void shortcutText(MemberCall& c) { setClassText(c, u"[object Shortcut]"); }
void urlText(MemberCall& c) { setClassText(c, u"[object URLShortcut]"); }

IShellLinkW* linkOf(void* self) { return static_cast<ShortcutData*>(self)->link; }

// A text property read with a buffer of N characters and written with one setter.
template <HRESULT (STDMETHODCALLTYPE IShellLinkW::*Get)(LPWSTR, int), int N>
void getText(ScriptVM* vm, void* self, ScriptValue* v) {
  wchar_t buffer[N] = {};
  if (SUCCEEDED((linkOf(self)->*Get)(buffer, N))) setWide(vm, v, buffer);
}
template <HRESULT (STDMETHODCALLTYPE IShellLinkW::*Set)(LPCWSTR)>
void setText(ScriptVM*, void* self, const ScriptValue& v) {
  if (v.isString()) (linkOf(self)->*Set)(wideOf(stringView(v.asString())).c_str());
}

void getTarget(ScriptVM* vm, void* self, ScriptValue* v) {
  wchar_t path[MAX_PATH] = {};
  if (SUCCEEDED(linkOf(self)->GetPath(path, MAX_PATH, nullptr, SLGP_RAWPATH))) setWide(vm, v, path);
}
void getFullName(ScriptVM* vm, void* self, ScriptValue* v) { setWide(vm, v, static_cast<ShortcutData*>(self)->file); }

std::u16string keyName(HotKey h) {
  UINT scan = MapVirtualKeyW(h.key, MAPVK_VK_TO_VSC);
  LONG lParam = static_cast<LONG>(scan << 16) | ((h.modifiers & HOTKEYF_EXT) ? (1 << 24) : 0);
  wchar_t name[129] = {};
  int n = GetKeyNameTextW(lParam, name, 129);
  return unitsOf(std::wstring_view(name, n > 0 ? n : 0));
}
void getHotKey(ScriptVM* vm, void* self, ScriptValue* v) {
  WORD key = 0;
  if (FAILED(linkOf(self)->GetHotkey(&key))) return;
  vorlo::setText(vm, v, hotKeyText(HotKey{static_cast<uint8_t>(key >> 8), static_cast<uint8_t>(key & 0xFF)}, keyName));
}
// Takes effect only when the text gives both a modifier and a key.
void setHotKey(ScriptVM*, void* self, const ScriptValue& v) {
  if (!v.isString()) return;
  HotKey h = parseHotKey(stringView(v.asString()));
  if ((h.modifiers & (HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT)) && h.key)
    linkOf(self)->SetHotkey(static_cast<WORD>(h.modifiers << 8 | h.key));
}

void getIcon(ScriptVM* vm, void* self, ScriptValue* v) {
  wchar_t path[MAX_PATH] = {};
  int index = 0;
  if (FAILED(linkOf(self)->GetIconLocation(path, MAX_PATH, &index))) return;
  setWide(vm, v, std::wstring(path) + L"," + std::to_wstring(index));
}
void setIcon(ScriptVM*, void* self, const ScriptValue& v) {
  if (!v.isString()) return;
  std::wstring text = wideOf(stringView(v.asString()));
  size_t comma = text.find(L',');
  int index = comma == std::wstring::npos ? 0 : _wtoi(text.c_str() + comma + 1);
  linkOf(self)->SetIconLocation(text.substr(0, comma).c_str(), index);
}

void getWindowStyle(ScriptVM*, void* self, ScriptValue* v) {
  int show = 0;
  if (SUCCEEDED(linkOf(self)->GetShowCmd(&show))) *v = ScriptValue::integer(show);
}
void setWindowStyle(ScriptVM*, void* self, const ScriptValue& v) {
  if (std::optional<int64_t> n = wholeNumber(v)) linkOf(self)->SetShowCmd(static_cast<int>(*n));
}

void getUrl(ScriptVM* vm, void* self, ScriptValue* v) {
  LPWSTR url = nullptr;
  if (SUCCEEDED(static_cast<UrlData*>(self)->link->GetURL(&url)) && url) {
    setWide(vm, v, url);
    CoTaskMemFree(url);
  }
}
void setUrl(ScriptVM*, void* self, const ScriptValue& v) {
  if (v.isString()) static_cast<UrlData*>(self)->link->SetURL(wideOf(stringView(v.asString())).c_str(), IURL_SETURL_FL_GUESS_PROTOCOL);
}

constexpr Member kShortcutMembers[] = {
    {"toString", shortcutText},
    instanceProperty("arguments", getText<&IShellLinkW::GetArguments, 4096>, setText<&IShellLinkW::SetArguments>),
    instanceProperty("description", getText<&IShellLinkW::GetDescription, 4096>, setText<&IShellLinkW::SetDescription>),
    instanceProperty("workingDirectory", getText<&IShellLinkW::GetWorkingDirectory, MAX_PATH>, setText<&IShellLinkW::SetWorkingDirectory>),
    instanceProperty("targetPath", getTarget, setText<&IShellLinkW::SetPath>),
    instanceProperty("fullName", getFullName),
    instanceProperty("hotKey", getHotKey, setHotKey),
    instanceProperty("iconLocation", getIcon, setIcon),
    instanceProperty("windowStyle", getWindowStyle, setWindowStyle),
    instanceMethod("save", save<ShortcutData>),
};

constexpr Member kUrlMembers[] = {
    {"toString", urlText},
    instanceProperty("url", getUrl, setUrl),
    instanceMethod("save", save<UrlData>),
};

constexpr ClassDef kShortcut{.name = "Shortcut", .members = kShortcutMembers, .construct = constructShortcut,
                             .finalize = finalizeData<ShortcutData>, .data = typeKey<ShortcutData>()};
constexpr ClassDef kUrlShortcut{.name = "URLShortcut", .members = kUrlMembers, .construct = constructUrl,
                                .finalize = finalizeData<UrlData>, .data = typeKey<UrlData>()};

}  // namespace

void registerShortcuts(ScriptVM* vm) {
  registerClass(vm, kShortcut);
  registerClass(vm, kUrlShortcut);
}

}  // namespace vorlo
