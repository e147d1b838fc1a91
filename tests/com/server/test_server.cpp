// The in-process test server "Vorlo.ComTest": one class, TestObject, dispatched through its own type
// library (a resource of this DLL), with its coclass offered through IProvideClassInfo, an event
// connection point for DTestEvents and a property-notify point.
#include <windows.h>
#include <initguid.h>
#include <ocidl.h>
#include <olectl.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "test_server.h"

namespace {

HMODULE g_module = nullptr;
constexpr wchar_t kProgId[] = L"Vorlo.ComTest";

ITypeLib* library() {
  static ITypeLib* lib = nullptr;
  if (!lib) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(g_module, path, MAX_PATH);
    LoadTypeLibEx(path, REGKIND_NONE, &lib);
  }
  return lib;
}
ITypeInfo* infoOf(REFGUID guid) {
  ITypeInfo* info = nullptr;
  if (library()) library()->GetTypeInfoOfGuid(guid, &info);
  return info;
}

// One connection point: the sinks advised to it, by cookie.
class Point : public IConnectionPoint {
 public:
  Point(IConnectionPointContainer* owner, REFIID iid) : owner_(owner), iid_(iid) {}
  virtual ~Point() = default;
  std::vector<std::pair<DWORD, IUnknown*>> sinks;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
      *out = static_cast<IConnectionPoint*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
    *iid = iid_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
    *out = owner_;
    owner_->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
    IUnknown* typed = nullptr;
    if (!sink || FAILED(sink->QueryInterface(iid_, reinterpret_cast<void**>(&typed)))) return CONNECT_E_CANNOTCONNECT;
    *cookie = ++next_;
    sinks.emplace_back(*cookie, typed);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    for (auto it = sinks.begin(); it != sinks.end(); ++it) {
      if (it->first == cookie) {
        it->second->Release();
        sinks.erase(it);
        return S_OK;
      }
    }
    return CONNECT_E_NOCONNECTION;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

 private:
  IConnectionPointContainer* owner_;
  IID iid_;
  DWORD next_ = 0;
};

class TestObject : public ITestObject, public IProvideClassInfo, public IConnectionPointContainer {
 public:
  TestObject() : events_(this, DIID_DTestEvents), notify_(this, IID_IPropertyNotifySink) {
    dispatchInfo_ = infoOf(IID_ITestObject);
    if (dispatchInfo_) {
      HREFTYPE ref;
      if (SUCCEEDED(dispatchInfo_->GetRefTypeOfImplType(-1, &ref))) dispatchInfo_->GetRefTypeInfo(ref, &interfaceInfo_);
    }
  }
  virtual ~TestObject() {
    for (Point* p : {&events_, &notify_})
      for (auto& s : p->sinks) s.second->Release();
    if (interfaceInfo_) interfaceInfo_->Release();
    if (dispatchInfo_) dispatchInfo_->Release();
  }

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_ITestObject))
      *out = static_cast<ITestObject*>(this);
    else if (IsEqualIID(iid, IID_IProvideClassInfo))
      *out = static_cast<IProvideClassInfo*>(this);
    else if (IsEqualIID(iid, IID_IConnectionPointContainer))
      *out = static_cast<IConnectionPointContainer*>(this);
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

  // IDispatch through the type library
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    *count = dispatchInfo_ ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
    if (index != 0 || !dispatchInfo_) return DISP_E_BADINDEX;
    dispatchInfo_->AddRef();
    *out = dispatchInfo_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    return DispGetIDsOfNames(interfaceInfo_, names, count, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO* e, UINT* arg) override {
    return DispInvoke(static_cast<ITestObject*>(this), interfaceInfo_, id, flags, params, result, e, arg);
  }

  // ITestObject
  HRESULT STDMETHODCALLTYPE Fire(LONG value, BSTR* result) override {
    VARIANT_BOOL cancel = VARIANT_FALSE;
    BSTR note = SysAllocString(L"start");
    VARIANT args[3];
    args[2].vt = VT_I4;
    args[2].lVal = value;
    args[1].vt = VT_BYREF | VT_BOOL;
    args[1].pboolVal = &cancel;
    args[0].vt = VT_BYREF | VT_BSTR;
    args[0].pbstrVal = &note;
    DISPPARAMS params{args, nullptr, 3, 0};
    fire(1, &params);
    wchar_t text[200];
    swprintf(text, 200, L"cancel=%d note=%ls", cancel == VARIANT_TRUE ? 1 : cancel == VARIANT_FALSE ? 0 : 9,
             note ? note : L"(null)");
    SysFreeString(note);
    *result = SysAllocString(text);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Level(LONG* level) override {
    *level = level_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE put_Level(LONG level) override {
    auto sinks = notify_.sinks;
    for (auto& s : sinks)
      if (static_cast<IPropertyNotifySink*>(s.second)->OnRequestEdit(2) != S_OK) return S_OK;  // refused
    level_ = level;
    for (auto& s : sinks) static_cast<IPropertyNotifySink*>(s.second)->OnChanged(2);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Scale(float* single, double* value, BSTR* text, VARIANT extra, BSTR* result) override {
    *single *= 2;
    *value *= 3;
    std::wstring t = *text ? *text : L"";
    SysFreeString(*text);
    *text = SysAllocString((t + L"+").c_str());
    wchar_t out[200];
    swprintf(out, 200, L"%g %g %ls %d", static_cast<double>(*single), *value, *text, static_cast<int>(extra.vt));
    *result = SysAllocString(out);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE FireClick() override {
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    fire(DISPID_CLICK, &none);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DateText(DATE when, double* days) override {
    *days = when;
    return S_OK;
  }

  // IProvideClassInfo
  HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override {
    *out = infoOf(CLSID_TestObject);
    return *out ? S_OK : E_FAIL;
  }

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
    Point* p = IsEqualIID(iid, DIID_DTestEvents) ? &events_ : IsEqualIID(iid, IID_IPropertyNotifySink) ? &notify_ : nullptr;
    *out = p;
    if (!p) return CONNECT_E_NOCONNECTION;
    p->AddRef();
    return S_OK;
  }

 private:
  void fire(DISPID id, DISPPARAMS* params) {
    AddRef();
    auto sinks = events_.sinks;
    for (auto& s : sinks) {
      s.second->AddRef();
      static_cast<IDispatch*>(s.second)->Invoke(id, IID{}, 0, DISPATCH_METHOD, params, nullptr, nullptr, nullptr);
      s.second->Release();
    }
    Release();
  }

  LONG refs_ = 1;
  LONG level_ = 0;
  ITypeInfo* dispatchInfo_ = nullptr;
  ITypeInfo* interfaceInfo_ = nullptr;
  Point events_, notify_;
};

class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* object = new TestObject;
    HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};
Factory g_factory;

std::wstring clsidText() {
  wchar_t text[64];
  StringFromGUID2(CLSID_TestObject, text, 64);
  return text;
}

bool setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY k;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LSTATUS s = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  return s == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!IsEqualCLSID(clsid, CLSID_TestObject)) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(g_module, path, MAX_PATH);
  std::wstring clsid = clsidText();
  bool ok = setValue(kProgId, nullptr, L"Vorlo COM test object") && setValue(std::wstring(kProgId) + L"\\CLSID", nullptr, clsid) &&
            setValue(L"CLSID\\" + clsid, nullptr, L"Vorlo COM test object") &&
            setValue(L"CLSID\\" + clsid + L"\\InprocServer32", nullptr, path) &&
            setValue(L"CLSID\\" + clsid + L"\\InprocServer32", L"ThreadingModel", L"Apartment") &&
            setValue(L"CLSID\\" + clsid + L"\\ProgID", nullptr, kProgId);
  return ok ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (L"CLSID\\" + clsidText()).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  return S_OK;
}
