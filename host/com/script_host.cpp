// ScriptHost: a system Active Scripting engine (VBScript, JScript ...) run inside the program. The host
// is the engine's site and offers it one named item, "Scripter" (the dispatch interface IZScriptHost
// of the program's type library "Scripter", a resource of the program).
#include <windows.h>
// The Active Scripting interface IDs are defined here: the import library lacks some of them.
#include <initguid.h>
#include <activscp.h>

#include <cstdio>
#include <cwctype>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/ansi.h"
#include "engine/trace.h"
#include "host/com/com_bridge.h"
#include "host/com/com_holders.h"
#include "host/com/script_host.h"
#include "host/host_support.h"

namespace vorlo {
namespace com {
namespace {

// The resource number of the type library in the program (beside the player control's).
constexpr int kTypeLibraryResource = 3;
constexpr DISPID kFlashPlayer = 1, kHostCreateObject = 2, kTrace = 3;
constexpr wchar_t kItemName[] = L"Scripter";

bool sameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

// The type information of IZScriptHost from the program's own type library; null when it is missing.
ComPtr<ITypeInfo> hostTypeInfo() {
  wchar_t path[MAX_PATH + 8];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  std::wstring resource = std::wstring(path, n) + L"\\" + std::to_wstring(kTypeLibraryResource);
  ComPtr<ITypeLib> library;
  ComPtr<ITypeInfo> info;
  static const GUID kInterface = {0x6F1C2A7F, 0x3B94, 0x4D5A, {0x9E, 0x21, 0x7C, 0x0B, 0x8D, 0x4F, 0x1A, 0x63}};
  if (FAILED(LoadTypeLibEx(resource.c_str(), REGKIND_NONE, library.put())) || !library) return {};
  library->GetTypeInfoOfGuid(kInterface, info.put());
  return info;
}

void raise(EXCEPINFO* e, HRESULT code, const wchar_t* text) {
  if (!e) return;
  *e = EXCEPINFO{};
  e->scode = code;
  e->bstrSource = SysAllocString(kItemName);
  e->bstrDescription = SysAllocString(text);
}

// The host: the engine's site and the "Scripter" object. Reference counted as COM wants; the script
// object holds one reference and cuts the engine loose in its finalizer.
class Host : public IActiveScriptSite, public IActiveScriptSiteWindow, public IDispatch {
 public:
  virtual ~Host() = default;

  // ---- the engine ----
  bool open(const std::wstring& language) {
    close();
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(language.c_str(), &clsid))) return false;
    ComPtr<IActiveScript> engine;
    ComPtr<IActiveScriptParse> parse;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IActiveScript, engine.putVoid())) || !engine)
      return false;
    parse = engine.as<IActiveScriptParse>(IID_IActiveScriptParse);
    bool ok = parse && SUCCEEDED(engine->SetScriptSite(this)) && SUCCEEDED(parse->InitNew());
    items_[kItemName] = ComPtr<IDispatch>::share(static_cast<IDispatch*>(this));
    for (auto& [name, item] : items_)
      ok = ok && SUCCEEDED(engine->AddNamedItem(name.c_str(), SCRIPTITEM_ISVISIBLE | SCRIPTITEM_ISSOURCE));
    ok = ok && SUCCEEDED(engine->SetScriptState(SCRIPTSTATE_CONNECTED));
    if (!ok) {
      engine->Close();
      items_.clear();
      return false;
    }
    engine_ = std::move(engine);
    parse_ = std::move(parse);
    return true;
  }

  bool close() {
    bool ok = true;
    if (engine_) ok = SUCCEEDED(engine_->Close());
    parse_.reset();
    engine_.reset();
    items_.clear();  // "Scripter" refers to this host: the cycle ends here
    return ok;
  }

  bool run(const std::wstring& code) {
    if (!parse_) return false;
    EXCEPINFO e{};
    HRESULT hr = parse_->ParseScriptText(code.c_str(), nullptr, nullptr, nullptr, 0, 0, 0, nullptr, &e);
    clearException(e);
    return SUCCEEDED(hr);
  }

  ComPtr<IDispatch> scriptObject(const std::wstring* name) {
    ComPtr<IDispatch> object;
    if (engine_) engine_->GetScriptDispatch(name ? name->c_str() : nullptr, object.put());
    return object;
  }

  // ---- IUnknown ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IActiveScriptSite))
      *out = static_cast<IActiveScriptSite*>(this);
    else if (IsEqualIID(iid, IID_IActiveScriptSiteWindow))
      *out = static_cast<IActiveScriptSiteWindow*>(this);
    else if (IsEqualIID(iid, IID_IDispatch))
      *out = static_cast<IDispatch*>(this);
    if (!*out) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

  // ---- IActiveScriptSite ----
  HRESULT STDMETHODCALLTYPE GetLCID(LCID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetItemInfo(LPCOLESTR name, DWORD mask, IUnknown** unknown, ITypeInfo** info) override {
    if (unknown) *unknown = nullptr;
    if (info) *info = nullptr;
    if (!name) return E_INVALIDARG;
    if (sameName(name, kItemName)) {
      if ((mask & SCRIPTINFO_IUNKNOWN) && unknown) {
        *unknown = static_cast<IDispatch*>(this);
        AddRef();
      }
      if ((mask & SCRIPTINFO_ITYPEINFO) && info) {
        ComPtr<ITypeInfo> t = hostTypeInfo();
        if (!t) return TYPE_E_ELEMENTNOTFOUND;
        *info = t.detach();
      }
      return S_OK;
    }
    auto found = items_.find(name);
    if (found == items_.end()) return TYPE_E_ELEMENTNOTFOUND;
    if ((mask & SCRIPTINFO_IUNKNOWN) && unknown) {
      *unknown = found->second.get();
      (*unknown)->AddRef();
    }
    if ((mask & SCRIPTINFO_ITYPEINFO) && info) {
      ComPtr<IProvideClassInfo> provide = found->second.as<IProvideClassInfo>(IID_IProvideClassInfo);
      if (!provide || FAILED(provide->GetClassInfo(info))) return E_FAIL;
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetDocVersionString(BSTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnScriptTerminate(const VARIANT*, const EXCEPINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnStateChange(SCRIPTSTATE) override { return S_OK; }
  // The error goes to the trace output, once: description, source line, position and codes.
  HRESULT STDMETHODCALLTYPE OnScriptError(IActiveScriptError* error) override {
    if (!error) return S_OK;
    EXCEPINFO e{};
    error->GetExceptionInfo(&e);
    if (e.pfnDeferredFillIn) e.pfnDeferredFillIn(&e);
    DWORD context = 0;
    ULONG line = 0;
    LONG column = 0;
    error->GetSourcePosition(&context, &line, &column);
    Bstr source;
    error->GetSourceLineText(source.put());
    std::wstring text = std::wstring(e.bstrDescription ? e.bstrDescription : L"") + L"\nSrc: " + std::wstring(source.view()) +
                        L"\nLine:" + std::to_wstring(line) + L" Error:" + std::to_wstring(e.wCode);
    wchar_t scode[16];
    swprintf(scode, 16, L" Scode:%lx", static_cast<unsigned long>(e.scode));
    text += scode;
    traceLine(utf16ToAnsi(reinterpret_cast<const char16_t*>(text.data()), text.size()));
    clearException(e);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnEnterScript() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnLeaveScript() override { return S_OK; }

  // ---- IActiveScriptSiteWindow: no movie window in this host ----
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    if (window) *window = nullptr;
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return E_FAIL; }

  // ---- IDispatch: IZScriptHost ----
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = hostTypeInfo() ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    ComPtr<ITypeInfo> t = hostTypeInfo();
    if (!t) return E_FAIL;
    *info = t.detach();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    static const struct { const wchar_t* name; DISPID id; } kMembers[] = {
        {L"FlashPlayer", kFlashPlayer}, {L"HostCreateObject", kHostCreateObject}, {L"Trace", kTrace}};
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      for (const auto& m : kMembers)
        if (i == 0 && names[i] && sameName(names[i], m.name)) ids[i] = m.id;
      if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* e, UINT*) override {
    UINT count = params ? params->cArgs : 0;
    switch (id) {
      case kFlashPlayer:
        if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
        // No movie player is reachable from this host.
        if (result) {
          VariantInit(result);
          result->vt = VT_DISPATCH;
          result->pdispVal = nullptr;
        }
        return S_OK;
      case kHostCreateObject: {
        if (count != 1) return DISP_E_BADPARAMCOUNT;
        const VARIANT& arg = params->rgvarg[0];
        const VARIANT* text = arg.vt == (VT_BYREF | VT_VARIANT) ? arg.pvarVal : &arg;
        BSTR name = text->vt == VT_BSTR ? text->bstrVal : text->vt == (VT_BYREF | VT_BSTR) ? *text->pbstrVal : nullptr;
        CLSID clsid;
        if (!name || FAILED(CLSIDFromProgID(name, &clsid))) {
          raise(e, E_INVALIDARG, L"HostCreateObject: not a known ProgID");
          return DISP_E_EXCEPTION;
        }
        IDispatch* object = nullptr;
        if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER,
                                    IID_IDispatch, reinterpret_cast<void**>(&object))) ||
            !object) {
          raise(e, E_FAIL, L"HostCreateObject: the object could not be created");
          return DISP_E_EXCEPTION;
        }
        if (result) {
          VariantInit(result);
          result->vt = VT_DISPATCH;
          result->pdispVal = object;
        } else {
          object->Release();
        }
        return S_OK;
      }
      case kTrace:
        if (result) {
          VariantInit(result);
          result->vt = VT_BOOL;
          result->boolVal = VARIANT_TRUE;
        }
        return S_OK;
      default: return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  LONG refs_ = 1;
  ComPtr<IActiveScript> engine_;
  ComPtr<IActiveScriptParse> parse_;
  std::map<std::wstring, ComPtr<IDispatch>> items_;
};

struct ScriptHostData {
  Host* host = new Host;
  ~ScriptHostData() {
    host->close();
    host->Release();
  }
};

ScriptHostData* hostOf(MemberCall& c) { return dataOf<ScriptHostData>(c); }

void open(MemberCall& c) {
  ScriptHostData* d = hostOf(c);
  if (!d) return;
  std::optional<std::u16string> language = stringArg(c, 0);
  *c.result = ScriptValue::boolean(language && d->host->open(wideOf(*language)));
}

void close(MemberCall& c) {
  if (ScriptHostData* d = hostOf(c)) *c.result = ScriptValue::boolean(d->host->close());
}

void runScript(MemberCall& c) {
  ScriptHostData* d = hostOf(c);
  if (!d) return;
  std::optional<std::u16string> code = stringArg(c, 0);
  *c.result = ScriptValue::boolean(code && d->host->run(wideOf(*code)));
}

void runScriptFile(MemberCall& c) {
  ScriptHostData* d = hostOf(c);
  if (!d) return;
  *c.result = ScriptValue::boolean(false);
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!path) return;
  // Read only: running a script never asks for write access to it.
  FILE* f = _wfopen(wideOf(*path).c_str(), L"rb");
  if (!f) return;
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
  fclose(f);
  std::u16string text = ansiToUtf16(bytes.data(), bytes.size());
  *c.result = ScriptValue::boolean(d->host->run(wideOf(text)));
}

void getScriptObject(MemberCall& c) {
  ScriptHostData* d = hostOf(c);
  if (!d) return;
  *c.result = ScriptValue::null();
  std::optional<std::u16string> name = stringArg(c, 0);
  std::wstring wide = name ? wideOf(*name) : std::wstring();
  ComPtr<IDispatch> object = d->host->scriptObject(name ? &wide : nullptr);
  if (object) *c.result = wrapDispatch(c.vm, object.get());
}

void toText(MemberCall& c) { setClassText(c, u"[object ScriptHost]"); }

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  *result = makeInstance(vm, cls, std::make_unique<ScriptHostData>());
}
void callAsFunction(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  construct(vm, cls, args, result);
}

constexpr Member kMembers[] = {
    instanceMethod("open", open),
    instanceMethod("close", close),
    instanceMethod("runScript", runScript),
    instanceMethod("runScriptFile", runScriptFile),
    instanceMethod("getScriptObject", getScriptObject),
    {"toString", toText},
};

}  // namespace
}  // namespace com

void registerScriptHost(ScriptVM* vm) {
  using namespace com;
  registerClass(vm, ClassDef{.name = "ScriptHost",
                             .members = kMembers,
                             .call = callAsFunction,
                             .construct = construct,
                             .finalize = finalizeData<ScriptHostData>,
                             .data = typeKey<ScriptHostData>()});
}

}  // namespace vorlo
