#include "framework/control_site.h"

#include <olectl.h>

namespace vorlo::fw {

// The client and in-place site, and the ambient properties (as its IDispatch).
class ControlSite::Site final : public IOleClientSite, public IOleInPlaceSite, public IDispatch {
 public:
  explicit Site(ControlSite& owner) : owner_(owner) {}
  void detach() { owner_ptr_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
    else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite) *out = static_cast<IOleInPlaceSite*>(this);
    else if (iid == IID_IDispatch) *out = static_cast<IDispatch*>(this);
    else return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return ULONG(left);
  }
  // IOleClientSite
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow
  STDMETHODIMP GetWindow(HWND* out) override {
    if (!out) return E_POINTER;
    *out = owner_ptr_ ? owner_ptr_->parent_ : nullptr;
    return *out ? S_OK : E_FAIL;
  }
  STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
  // IOleInPlaceSite
  STDMETHODIMP CanInPlaceActivate() override { return owner_ptr_ ? S_OK : S_FALSE; }
  STDMETHODIMP OnInPlaceActivate() override { return S_OK; }
  STDMETHODIMP OnUIActivate() override { return S_OK; }
  STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT position, LPRECT clip,
                                LPOLEINPLACEFRAMEINFO info) override {
    if (frame) *frame = nullptr;
    if (doc) *doc = nullptr;
    if (!owner_ptr_) return E_FAIL;
    if (position) *position = owner_ptr_->rect_;
    if (clip) *clip = owner_ptr_->rect_;
    if (info) {
      info->fMDIApp = FALSE;
      info->hwndFrame = owner_ptr_->parent_;
      info->haccel = nullptr;
      info->cAccelEntries = 0;
    }
    return S_OK;
  }
  STDMETHODIMP Scroll(SIZE) override { return E_NOTIMPL; }
  STDMETHODIMP OnUIDeactivate(BOOL) override { return S_OK; }
  STDMETHODIMP OnInPlaceDeactivate() override { return S_OK; }
  STDMETHODIMP DiscardUndoState() override { return E_NOTIMPL; }
  STDMETHODIMP DeactivateAndUndo() override { return E_NOTIMPL; }
  STDMETHODIMP OnPosRectChange(LPCRECT rect) override {
    if (owner_ptr_ && rect) owner_ptr_->move(*rect);
    return S_OK;
  }
  // IDispatch: the ambient properties a control asks its container for.
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
    if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
    VariantInit(result);
    switch (id) {
      case DISPID_AMBIENT_USERMODE:
      case DISPID_AMBIENT_MESSAGEREFLECT:
        V_VT(result) = VT_BOOL, V_BOOL(result) = VARIANT_TRUE;
        return S_OK;
      case DISPID_AMBIENT_UIDEAD:
      case DISPID_AMBIENT_SHOWHATCHING:
      case DISPID_AMBIENT_SHOWGRABHANDLES:
        V_VT(result) = VT_BOOL, V_BOOL(result) = VARIANT_FALSE;
        return S_OK;
      case DISPID_AMBIENT_BACKCOLOR:
        V_VT(result) = VT_I4, V_I4(result) = LONG(GetSysColor(COLOR_WINDOW));
        return S_OK;
      case DISPID_AMBIENT_FORECOLOR:
        V_VT(result) = VT_I4, V_I4(result) = LONG(GetSysColor(COLOR_WINDOWTEXT));
        return S_OK;
      case DISPID_AMBIENT_LOCALEID:
        V_VT(result) = VT_I4, V_I4(result) = LONG(GetUserDefaultLCID());
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  }

 private:
  ControlSite& owner_;
  ControlSite* owner_ptr_ = &owner_;
  LONG refs_ = 1;
};

// The event sink: answers the control's source interface and IDispatch.
class ControlSite::Sink final : public IDispatch {
 public:
  Sink(IID events, EventHandler handler) : events_(events), handler_(std::move(handler)) {}
  void detach() { handler_ = nullptr; }

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != events_) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return ULONG(left);
  }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    if (n) *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
    if (out) *out = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override {
    try {
      if (result) VariantInit(result);
      if (!handler_) return S_OK;
      std::vector<std::wstring> args;
      for (UINT i = params ? params->cArgs : 0; i-- > 0;) {
        VARIANT text;
        VariantInit(&text);
        if (SUCCEEDED(VariantChangeType(&text, &params->rgvarg[i], 0, VT_BSTR)) && V_BSTR(&text)) {
          args.emplace_back(V_BSTR(&text), SysStringLen(V_BSTR(&text)));
        } else {
          args.emplace_back();
        }
        VariantClear(&text);
      }
      EventHandler handler = handler_;  // the handler may destroy the site
      handler(id, args);
      return S_OK;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }

 private:
  IID events_;
  EventHandler handler_;
  LONG refs_ = 1;
};

ControlSite::ControlSite() = default;
ControlSite::~ControlSite() { destroy(); }

HRESULT ControlSite::create(IClassFactory* factory, HWND parent, int id, const RECT& rect) {
  destroy();
  if (!factory || !parent) return E_INVALIDARG;
  parent_ = parent;
  rect_ = rect;
  HRESULT hr = factory->CreateInstance(nullptr, IID_IOleObject, reinterpret_cast<void**>(&object_));
  if (FAILED(hr) || !object_) {
    object_ = nullptr;
    return FAILED(hr) ? hr : E_NOINTERFACE;
  }
  site_ = new Site(*this);
  DWORD status = 0;
  object_->GetMiscStatus(DVASPECT_CONTENT, &status);
  if (status & OLEMISC_SETCLIENTSITEFIRST) object_->SetClientSite(site_);
  IPersistStreamInit* persist = nullptr;
  if (SUCCEEDED(object_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
    persist->InitNew();
    persist->Release();
  }
  if (!(status & OLEMISC_SETCLIENTSITEFIRST)) object_->SetClientSite(site_);
  hr = object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_, 0, parent, &rect_);
  if (SUCCEEDED(hr)) hr = object_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch_));
  IOleWindow* window = nullptr;
  if (SUCCEEDED(hr) && SUCCEEDED(object_->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)))) {
    window->GetWindow(&controlWindow_);
    window->Release();
  }
  if (FAILED(hr)) {
    destroy();
    return hr;
  }
  if (controlWindow_) SetWindowLongPtrW(controlWindow_, GWLP_ID, LONG_PTR(id));
  return S_OK;
}

bool ControlSite::connectEvents(EventHandler handler) {
  if (!object_) return false;
  IID events{};
  IProvideClassInfo2* info = nullptr;
  bool known = SUCCEEDED(object_->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&info))) &&
               SUCCEEDED(info->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &events));
  if (info) info->Release();
  if (!known) return false;
  IConnectionPointContainer* container = nullptr;
  if (FAILED(object_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)))) return false;
  HRESULT hr = container->FindConnectionPoint(events, &point_);
  container->Release();
  if (FAILED(hr) || !point_) {
    point_ = nullptr;
    return false;
  }
  sink_ = new Sink(events, std::move(handler));
  if (FAILED(point_->Advise(static_cast<IDispatch*>(sink_), &cookie_))) {
    sink_->Release();
    sink_ = nullptr;
    point_->Release();
    point_ = nullptr;
    return false;
  }
  return true;
}

void ControlSite::destroy() {
  if (point_) {
    point_->Unadvise(cookie_);
    point_->Release();
    point_ = nullptr;
  }
  if (sink_) {
    sink_->detach();
    sink_->Release();
    sink_ = nullptr;
  }
  if (dispatch_) {
    dispatch_->Release();
    dispatch_ = nullptr;
  }
  if (object_) {
    IOleInPlaceObject* inPlace = nullptr;
    if (SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
      inPlace->InPlaceDeactivate();
      inPlace->Release();
    }
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_->Release();
    object_ = nullptr;
  }
  if (site_) {
    site_->detach();
    static_cast<IOleClientSite*>(site_)->Release();
    site_ = nullptr;
  }
  controlWindow_ = nullptr;
}

void ControlSite::move(const RECT& rect) {
  rect_ = rect;
  IOleInPlaceObject* inPlace = nullptr;
  if (object_ && SUCCEEDED(object_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
    inPlace->SetObjectRects(&rect_, &rect_);
    inPlace->Release();
  }
}

namespace {

HRESULT invokeByName(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT>& args, VARIANT* result) {
  if (!object) return E_POINTER;
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  if (FAILED(hr)) return hr;
  std::vector<VARIANT> block(args.rbegin(), args.rend());  // the last argument first
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{block.data(), nullptr, UINT(block.size()), 0};
  if (flags & DISPATCH_PROPERTYPUT) params.rgdispidNamedArgs = &named, params.cNamedArgs = 1;
  if (result) VariantInit(result);
  return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

}  // namespace

HRESULT getProperty(IDispatch* object, const wchar_t* name, VARIANT* result) {
  std::vector<VARIANT> none;
  return invokeByName(object, name, DISPATCH_PROPERTYGET, none, result);
}

HRESULT putProperty(IDispatch* object, const wchar_t* name, const VARIANT& value) {
  std::vector<VARIANT> args{value};
  return invokeByName(object, name, DISPATCH_PROPERTYPUT, args, nullptr);
}

HRESULT callMethod(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args, VARIANT* result) {
  return invokeByName(object, name, DISPATCH_METHOD, args, result);
}

}  // namespace vorlo::fw
