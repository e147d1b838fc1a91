#include "player_control/control_object.h"

#include <oleauto.h>

#include "player_control/call_log.h"
#include "player_control/dispatch_table.h"
#include "util/text.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vorlo::control {

const CLSID kControlClassId = {0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kControlInterfaceId = {0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID kControlEventsId = {0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {

// The type library is the module's TYPELIB resource 2 (the projector keeps 1 for its own).
constexpr wchar_t kTypeLibSuffix[] = L"\\2";

// Every entry from the system ends here on failure: no exception crosses back into the caller.
template <typename F>
HRESULT guarded(F&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

std::string nameOf(DISPID id) {
  const Member* m = memberById(id);
  return m ? fromWide(m->name) : "#" + std::to_string(id);
}

std::string argumentsText(const DISPPARAMS* params) {
  std::string text;
  if (!params) return text;
  for (UINT i = params->cArgs; i-- > 0;) {
    if (!text.empty()) text += ", ";
    text += variantText(params->rgvarg[i]);
  }
  return text;
}

}  // namespace

// --- IUnknown -------------------------------------------------------------------------------------

PlayerControl::PlayerControl() {
  lockModule(true);
  model_.setExternalCallHandler([this](const std::string& request) { return externalCall(request); });
}

PlayerControl::~PlayerControl() {
  destroyWindow();
  if (viewSink_) viewSink_->Release();
  if (inPlaceSite_) inPlaceSite_->Release();
  if (site_) site_->Release();
  if (typeLib_) typeLib_->Release();
  lockModule(false);
}

STDMETHODIMP PlayerControl::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
  else if (iid == IID_IOleObject) *out = static_cast<IOleObject*>(this);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceObject) *out = static_cast<IOleInPlaceObject*>(this);
  else if (iid == IID_IOleInPlaceActiveObject) *out = static_cast<IOleInPlaceActiveObject*>(this);
  else if (iid == IID_IOleControl) *out = static_cast<IOleControl*>(this);
  else if (iid == IID_IViewObject || iid == IID_IViewObject2 || iid == IID_IViewObjectEx) *out = static_cast<IViewObjectEx*>(this);
  else if (iid == IID_IPersist || iid == IID_IPersistStreamInit) *out = static_cast<IPersistStreamInit*>(this);
  else if (iid == IID_IPersistPropertyBag) *out = static_cast<IPersistPropertyBag*>(this);
  else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2) *out = static_cast<IProvideClassInfo2*>(this);
  else if (iid == IID_IConnectionPointContainer) *out = static_cast<IConnectionPointContainer*>(this);
  else return E_NOINTERFACE;
  AddRef();
  return S_OK;
}

STDMETHODIMP_(ULONG) PlayerControl::AddRef() { return ULONG(InterlockedIncrement(&refs_)); }

STDMETHODIMP_(ULONG) PlayerControl::Release() {
  LONG left = InterlockedDecrement(&refs_);
  if (left == 0) {
    try {
      delete this;
    } catch (...) {
    }
  }
  return ULONG(left);
}

// --- IDispatch ------------------------------------------------------------------------------------

ITypeInfo* PlayerControl::typeInfo(REFGUID guid) {
  if (!typeLib_) {
    wchar_t path[MAX_PATH + 4];
    DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    lstrcpyW(path + n, kTypeLibSuffix);
    if (FAILED(LoadTypeLibEx(path, REGKIND_NONE, &typeLib_))) typeLib_ = nullptr;
  }
  ITypeInfo* info = nullptr;
  if (typeLib_ && FAILED(typeLib_->GetTypeInfoOfGuid(guid, &info))) info = nullptr;
  return info;
}

STDMETHODIMP PlayerControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 1;
  return S_OK;
}

STDMETHODIMP PlayerControl::GetTypeInfo(UINT index, LCID, ITypeInfo** out) {
  return guarded([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    *out = typeInfo(kControlInterfaceId);
    return *out ? S_OK : TYPE_E_ELEMENTNOTFOUND;
  });
}

STDMETHODIMP PlayerControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  return guarded([&]() -> HRESULT {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    const Member* m = names[0] ? memberByName(names[0]) : nullptr;
    ids[0] = m ? m->id : DISPID_UNKNOWN;
    // Argument names are not known by name.
    for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return m && count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
  });
}

STDMETHODIMP PlayerControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT* argError) {
  return guarded([&]() -> HRESULT {
    const Member* m = memberById(id);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    if (result) VariantInit(result);
    MemberFunction f = nullptr;
    const char* verb = "";
    bool changes = true;
    if ((flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) && m->put) {
      if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
      f = m->put, verb = "put";
    } else if ((flags & DISPATCH_METHOD) && m->method) {
      if (!params || params->cArgs < m->minArgs) return DISP_E_BADPARAMCOUNT;
      f = m->method, verb = "call";
    } else if ((flags & DISPATCH_PROPERTYGET) && m->get) {
      f = m->get, verb = "get", changes = false;
    } else if ((flags & DISPATCH_METHOD) && m->get) {
      f = m->get, verb = "get", changes = false;  // a property read as a method call
    } else {
      return DISP_E_MEMBERNOTFOUND;
    }
    VARIANT scratch;
    VariantInit(&scratch);
    Call call(model_, params, result ? result : &scratch);
    f(call);
    if (callLogEnabled()) {
      std::string line = std::string(verb) + " " + nameOf(id);
      if (*verb != 'g') line += " " + argumentsText(params);
      if (FAILED(call.status)) line += " -> not done";
      else if (V_VT(call.result()) != VT_EMPTY) line += " -> " + variantText(*call.result());
      logCall(line);
    }
    VariantClear(&scratch);
    if (FAILED(call.status)) {
      if (result) VariantClear(result);
      return call.status;
    }
    if (changes) refresh();
    (void)argError;
    return S_OK;
  });
}

// --- IOleObject -----------------------------------------------------------------------------------

STDMETHODIMP PlayerControl::SetClientSite(IOleClientSite* site) {
  if (site) site->AddRef();
  if (site_) site_->Release();
  site_ = site;
  return S_OK;
}

STDMETHODIMP PlayerControl::GetClientSite(IOleClientSite** out) {
  if (!out) return E_POINTER;
  *out = site_;
  if (site_) site_->AddRef();
  return S_OK;
}

STDMETHODIMP PlayerControl::Close(DWORD) {
  return guarded([&]() -> HRESULT {
    InPlaceDeactivate();
    return S_OK;
  });
}

STDMETHODIMP PlayerControl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) {
  return guarded([&]() -> HRESULT {
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_INPLACEACTIVATE:
      case OLEIVERB_UIACTIVATE:
        return activate(site ? site : site_, parent, rect);
      case OLEIVERB_HIDE:
        if (window_) ShowWindow(window_, SW_HIDE);
        return S_OK;
      default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
  });
}

STDMETHODIMP PlayerControl::GetUserClassID(CLSID* out) { return GetClassID(out); }

STDMETHODIMP PlayerControl::SetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP PlayerControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

STDMETHODIMP PlayerControl::GetMiscStatus(DWORD, DWORD* status) {
  if (!status) return E_POINTER;
  *status = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
            OLEMISC_SETCLIENTSITEFIRST;
  return S_OK;
}

// --- IOleWindow, IOleInPlaceObject ----------------------------------------------------------------

STDMETHODIMP PlayerControl::GetWindow(HWND* out) {
  if (!out) return E_POINTER;
  *out = window_;
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP PlayerControl::InPlaceDeactivate() {
  return guarded([&]() -> HRESULT {
    destroyWindow();
    if (inPlaceSite_) {
      IOleInPlaceSite* site = inPlaceSite_;
      inPlaceSite_ = nullptr;
      site->OnInPlaceDeactivate();
      site->Release();
    }
    return S_OK;
  });
}

STDMETHODIMP PlayerControl::SetObjectRects(LPCRECT position, LPCRECT) {
  return guarded([&]() -> HRESULT {
    if (!position) return E_POINTER;
    if (window_) {
      MoveWindow(window_, position->left, position->top, position->right - position->left,
                 position->bottom - position->top, TRUE);
    }
    return S_OK;
  });
}

// --- IOleControl ----------------------------------------------------------------------------------

STDMETHODIMP PlayerControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->cb = sizeof *info;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

STDMETHODIMP PlayerControl::FreezeEvents(BOOL freeze) {
  freezeCount_ += freeze ? 1 : (freezeCount_ > 0 ? -1 : 0);
  return S_OK;
}

// --- Persistence ----------------------------------------------------------------------------------

STDMETHODIMP PlayerControl::GetClassID(CLSID* out) {
  if (!out) return E_POINTER;
  *out = kControlClassId;
  return S_OK;
}

// The stream form is a list of the property-bag settings, each a length-prefixed UTF-16 name and
// value, ended by an empty name.
namespace {

constexpr const wchar_t* kSavedSettings[] = {L"Movie", L"FlashVars", L"Base", L"Quality2", L"ScaleMode", L"Loop",
                                             L"Menu", L"BGColor", L"WMode", L"SAlign", L"Playing"};

bool readText(IStream* s, std::wstring& out) {
  ULONG got = 0;
  uint32_t n = 0;
  if (FAILED(s->Read(&n, 4, &got)) || got != 4 || n > 32768) return false;
  out.resize(n);
  if (n == 0) return true;
  ULONG bytes = n * 2;
  return SUCCEEDED(s->Read(out.data(), bytes, &got)) && got == bytes;
}

bool writeText(IStream* s, const std::wstring& text) {
  uint32_t n = uint32_t(text.size());
  ULONG put = 0;
  if (FAILED(s->Write(&n, 4, &put)) || put != 4) return false;
  return n == 0 || (SUCCEEDED(s->Write(text.data(), n * 2, &put)) && put == n * 2);
}

}  // namespace

STDMETHODIMP PlayerControl::Load(LPSTREAM stream) {
  return guarded([&]() -> HRESULT {
    if (!stream) return E_POINTER;
    for (int i = 0; i < 64; ++i) {
      std::wstring name, value;
      if (!readText(stream, name)) return E_FAIL;
      if (name.empty()) return S_OK;
      if (!readText(stream, value)) return E_FAIL;
      const Member* m = memberByName(name.c_str());
      if (!m || !m->put) continue;
      VARIANT v;
      V_VT(&v) = VT_BSTR;
      V_BSTR(&v) = SysAllocStringLen(value.data(), UINT(value.size()));
      DISPID named = DISPID_PROPERTYPUT;
      DISPPARAMS params{&v, &named, 1, 1};
      Invoke(m->id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
      VariantClear(&v);
    }
    return E_FAIL;
  });
}

STDMETHODIMP PlayerControl::Save(LPSTREAM stream, BOOL) {
  return guarded([&]() -> HRESULT {
    if (!stream) return E_POINTER;
    for (const wchar_t* name : kSavedSettings) {
      const Member* m = memberByName(name);
      VARIANT v;
      VariantInit(&v);
      Call call(model_, nullptr, &v);
      m->get(call);
      std::wstring value = toWide(variantText(v));
      if (V_VT(&v) == VT_BSTR) value = V_BSTR(&v) ? std::wstring(V_BSTR(&v), SysStringLen(V_BSTR(&v))) : L"";
      VariantClear(&v);
      if (!writeText(stream, name) || !writeText(stream, value)) return STG_E_CANTSAVE;
    }
    return writeText(stream, L"") ? S_OK : STG_E_CANTSAVE;
  });
}

STDMETHODIMP PlayerControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = 64 * 1024;
  return S_OK;
}

// The property bag of a page's <object> element: "Movie" or "Src" names the movie; the other
// settings by their property names.
STDMETHODIMP PlayerControl::Load(IPropertyBag* bag, IErrorLog*) {
  return guarded([&]() -> HRESULT {
    if (!bag) return E_POINTER;
    std::wstring movie;
    for (const wchar_t* name : kSavedSettings) {
      VARIANT v;
      VariantInit(&v);
      V_VT(&v) = VT_BSTR;
      if (SUCCEEDED(bag->Read(name, &v, nullptr))) {
        if (lstrcmpW(name, L"Movie") == 0) {
          if (V_VT(&v) == VT_BSTR && V_BSTR(&v)) movie = V_BSTR(&v);
        } else if (const Member* m = memberByName(name); m && m->put) {
          DISPID named = DISPID_PROPERTYPUT;
          DISPPARAMS params{&v, &named, 1, 1};
          Invoke(m->id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
        }
      }
      VariantClear(&v);
    }
    if (movie.empty()) {
      VARIANT v;
      VariantInit(&v);
      V_VT(&v) = VT_BSTR;
      if (SUCCEEDED(bag->Read(L"Src", &v, nullptr)) && V_VT(&v) == VT_BSTR && V_BSTR(&v)) movie = V_BSTR(&v);
      VariantClear(&v);
    }
    // The movie last, so that Base and FlashVars apply to it.
    if (!movie.empty()) {
      model_.setMovie(fromWide(movie));
      refresh();
    }
    return S_OK;
  });
}

STDMETHODIMP PlayerControl::Save(IPropertyBag* bag, BOOL, BOOL) {
  return guarded([&]() -> HRESULT {
    if (!bag) return E_POINTER;
    for (const wchar_t* name : kSavedSettings) {
      VARIANT v;
      VariantInit(&v);
      Call call(model_, nullptr, &v);
      memberByName(name)->get(call);
      HRESULT hr = bag->Write(name, &v);
      VariantClear(&v);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  });
}

// --- Class information and events -----------------------------------------------------------------

STDMETHODIMP PlayerControl::GetClassInfo(ITypeInfo** out) {
  return guarded([&]() -> HRESULT {
    if (!out) return E_POINTER;
    *out = typeInfo(kControlClassId);
    return *out ? S_OK : E_FAIL;
  });
}

STDMETHODIMP PlayerControl::GetGUID(DWORD kind, GUID* out) {
  if (!out) return E_POINTER;
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
  *out = kControlEventsId;
  return S_OK;
}

STDMETHODIMP PlayerControl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != kControlEventsId) return CONNECT_E_NOCONNECTION;
  *out = &events_;
  events_.AddRef();
  return S_OK;
}

void PlayerControl::fireEvents() {
  auto& queue = model_.events();
  while (!queue.empty() && freezeCount_ == 0) {
    PendingEvent e = std::move(queue.front());
    queue.pop_front();
    if (e.kind == PendingEvent::FsCommand) {
      logCall("event FSCommand \"" + e.first + "\", \"" + e.second + "\"");
      events_.fire(150, {toWide(e.first), toWide(e.second)});
    } else {
      logCall("event FlashCall \"" + e.first + "\"");
      events_.fire(197, {toWide(e.first)});
    }
  }
}

// The movie waits for the answer of its external call, so FlashCall is fired at once (from inside the
// frame or the host call that ran the movie's script); the host answers with SetReturnValue. While
// events are frozen the call answers nothing.
std::string PlayerControl::externalCall(const std::string& request) {
  if (freezeCount_ != 0) return {};
  model_.returnValue.clear();
  logCall("event FlashCall \"" + request + "\"");
  AddRef();
  events_.fire(197, {toWide(request)});
  std::string answer = std::move(model_.returnValue);
  model_.returnValue.clear();
  Release();
  return answer;
}

EventPoint::~EventPoint() {
  for (auto& [cookie, sink] : sinks_) sink->Release();
}

STDMETHODIMP EventPoint::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
  *out = static_cast<IConnectionPoint*>(this);
  AddRef();
  return S_OK;
}

// The point lives as long as its control.
STDMETHODIMP_(ULONG) EventPoint::AddRef() { return static_cast<IDispatch*>(&owner_)->AddRef(); }
STDMETHODIMP_(ULONG) EventPoint::Release() { return static_cast<IDispatch*>(&owner_)->Release(); }

STDMETHODIMP EventPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = kControlEventsId;
  return S_OK;
}

STDMETHODIMP EventPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  return static_cast<IDispatch*>(&owner_)->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

STDMETHODIMP EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  return guarded([&]() -> HRESULT {
    if (!sink || !cookie) return E_POINTER;
    IDispatch* d = nullptr;
    if (FAILED(sink->QueryInterface(kControlEventsId, reinterpret_cast<void**>(&d))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&d)))) {
      return CONNECT_E_CANNOTCONNECT;
    }
    *cookie = nextCookie_++;
    sinks_.emplace_back(*cookie, d);
    return S_OK;
  });
}

STDMETHODIMP EventPoint::Unadvise(DWORD cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first == cookie) {
      IDispatch* d = it->second;
      sinks_.erase(it);
      d->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP EventPoint::EnumConnections(IEnumConnections** out) {
  if (out) *out = nullptr;
  return E_NOTIMPL;
}

void EventPoint::fire(DISPID id, const std::vector<std::wstring>& args) {
  std::vector<VARIANT> block(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    VARIANT& v = block[args.size() - 1 - i];  // the block holds the last argument first
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(args[i].data(), UINT(args[i].size()));
  }
  DISPPARAMS params{block.data(), nullptr, UINT(block.size()), 0};
  // A sink may unadvise while it runs: call a copy of the list, each one held.
  auto sinks = sinks_;
  for (auto& [cookie, sink] : sinks) sink->AddRef();
  for (auto& [cookie, sink] : sinks) {
    sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    sink->Release();
  }
  for (VARIANT& v : block) VariantClear(&v);
}

}  // namespace vorlo::control
