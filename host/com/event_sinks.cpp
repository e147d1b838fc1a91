// The event sink (IDispatch for the object's source interfaces) and the property-notify sink. Both
// run script handlers inside calls that come from COM, so nothing may leave them as an exception.
#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "engine/embed.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/trace.h"
#include "engine/symbols.h"
#include "host/com/activex_data.h"
#include "host/com/dispatch_call.h"
#include "host/com/variant_convert.h"
#include "util/platform.h"

namespace vorlo::com {

namespace {

std::wstring lowered(std::wstring_view text) {
  std::wstring s(text);
  for (wchar_t& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}

std::wstring guidKey(const IID& iid) {
  wchar_t text[64] = {};
  StringFromGUID2(iid, text, 64);
  return text;
}

// The default source interface of a coclass.
bool defaultSource(ITypeInfo* coclass, SourceInterface* out) {
  TYPEATTR* attr = nullptr;
  if (FAILED(coclass->GetTypeAttr(&attr)) || !attr) return false;
  bool found = false;
  if (attr->typekind == TKIND_COCLASS) {
    for (UINT i = 0; i < attr->cImplTypes && !found; ++i) {
      INT flags = 0;
      if (FAILED(coclass->GetImplTypeFlags(i, &flags))) continue;
      if ((flags & (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) != (IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE)) continue;
      HREFTYPE ref = 0;
      ComPtr<ITypeInfo> source;
      if (FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, source.put()))) continue;
      TYPEATTR* sourceAttr = nullptr;
      if (FAILED(source->GetTypeAttr(&sourceAttr)) || !sourceAttr) continue;
      out->iid = sourceAttr->guid;
      source->ReleaseTypeAttr(sourceAttr);
      out->info = source;
      found = true;
    }
  }
  coclass->ReleaseTypeAttr(attr);
  return found;
}

void addSource(std::vector<SourceInterface>& list, SourceInterface s) {
  for (const SourceInterface& known : list)
    if (IsEqualIID(known.iid, s.iid)) return;
  list.push_back(std::move(s));
}

// With IProvideClassInfo, the object's own coclass; without it, every coclass of the type library that
// holds the object's type information.
std::vector<SourceInterface> findSources(IDispatch* object) {
  std::vector<SourceInterface> list;
  ComPtr<IProvideClassInfo> provide;
  object->QueryInterface(IID_IProvideClassInfo, provide.putVoid());
  if (provide) {
    ComPtr<ITypeInfo> coclass;
    SourceInterface s;
    if (SUCCEEDED(provide->GetClassInfo(coclass.put())) && coclass && defaultSource(coclass.get(), &s))
      addSource(list, std::move(s));
    return list;
  }
  ComPtr<ITypeInfo> info;
  ComPtr<ITypeLib> library;
  UINT index = 0;
  if (!hasTypeInformation(object)) return list;
  if (FAILED(object->GetTypeInfo(0, kAutomationLcid, info.put())) || !info) return list;
  if (FAILED(info->GetContainingTypeLib(library.put(), &index)) || !library) return list;
  UINT types = library->GetTypeInfoCount();
  for (UINT i = 0; i < types; ++i) {
    TYPEKIND kind;
    if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
    ComPtr<ITypeInfo> coclass;
    SourceInterface s;
    if (SUCCEEDED(library->GetTypeInfo(i, coclass.put())) && defaultSource(coclass.get(), &s)) addSource(list, std::move(s));
  }
  return list;
}

void cacheEvents(const SourceInterface& source, EventCache& cache) {
  std::wstring key = guidKey(source.iid);
  if (cache.count(key)) return;
  auto& events = cache[key];
  TYPEATTR* attr = nullptr;
  if (FAILED(source.info->GetTypeAttr(&attr)) || !attr) return;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(source.info->GetFuncDesc(i, &f)) || !f) continue;
    Bstr name;
    if (SUCCEEDED(source.info->GetDocumentation(f->memid, name.put(), nullptr, nullptr, nullptr)) && name.get()) {
      EventInfo e{std::wstring(name.view()), f->memid, {}};
      for (SHORT p = 0; p < f->cParams && e.byRef.size() < 16; ++p) {
        const ELEMDESC& d = f->lprgelemdescParam[p];
        bool out = (d.paramdesc.wParamFlags & PARAMFLAG_FOUT) || d.tdesc.vt == VT_PTR || (d.tdesc.vt & VT_BYREF);
        if (out) e.byRef.push_back(f->cParams - 1 - p);
      }
      events.emplace(lowered(e.name), std::move(e));
    }
    source.info->ReleaseFuncDesc(f);
  }
  source.info->ReleaseTypeAttr(attr);
}

// Calls `function` with `this` and the converted arguments; nothing escapes.
bool callHandler(ScriptVM* vm, const ScriptValue& thisValue, const ScriptValue& function, std::vector<ScriptValue>& slots,
                 ScriptValue* result) {
  try {
    SpanRoot keep(vm, slots.data(), slots.size());
    bool ok = callValue(vm, &thisValue, function, static_cast<uint32_t>(slots.size()), slots.data());
    if (result) *result = vm->result;
    // A handler's error ends the handler only; it is reported where the script's errors go.
    if (!ok) traceLine(engineMessage(vm));
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace

// Texts of the automation failures for systems that have none of their own.
struct FailureText {
  HRESULT code;
  const char* text;
};
constexpr FailureText kAutomationFailures[] = {
    {DISP_E_UNKNOWNINTERFACE, "Unknown interface."},
    {DISP_E_MEMBERNOTFOUND, "Member not found."},
    {DISP_E_PARAMNOTFOUND, "Parameter not found."},
    {DISP_E_TYPEMISMATCH, "Type mismatch."},
    {DISP_E_UNKNOWNNAME, "Unknown name."},
    {DISP_E_NONAMEDARGS, "No named arguments."},
    {DISP_E_BADVARTYPE, "Bad variable type."},
    {DISP_E_EXCEPTION, "Exception occurred."},
    {DISP_E_OVERFLOW, "Out of present range."},
    {DISP_E_BADINDEX, "Invalid index."},
    {DISP_E_BADPARAMCOUNT, "Invalid number of parameters."},
    {DISP_E_PARAMNOTOPTIONAL, "Parameter not optional."},
};

std::string hresultText(HRESULT hr) {
  std::string text = os::errorText(static_cast<uint32_t>(hr));
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) {
    for (const FailureText& f : kAutomationFailures)
      if (f.code == hr) return f.text;
  }
  if (text.empty()) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "error 0x%08lX", static_cast<unsigned long>(hr));
    text = buffer;
  }
  return text;
}

// ---- the event sink ----

class EventSink : public IDispatch {
 public:
  virtual ~EventSink() = default;
  EventSink(ActiveXData* owner, std::vector<IID> iids) : owner_(owner), iids_(std::move(iids)) {}
  void detach() { owner_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool known = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch);
    for (const IID& source : iids_) known = known || IsEqualIID(iid, source);
    if (!known) return E_NOINTERFACE;
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count) *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override {
    if (!(flags & DISPATCH_METHOD)) return S_FALSE;
    if (result) VariantClear(result);
    AddRef();
    try {
      deliver(id, params);
    } catch (...) {
    }
    Release();
    return S_OK;
  }

 private:
  void deliver(DISPID id, DISPPARAMS* params) {
    // An object being finalized (or gone) takes no more events.
    if (!owner_) return;
    auto found = owner_->handlers.find(id);
    if (found == owner_->handlers.end()) return;
    ScriptVM* vm = owner_->vm;
    UINT count = params ? params->cArgs : 0;
    std::vector<int> byRef = found->second.byRef;
    ValueRoots<2> roots(vm);
    roots[0] = found->second.function;
    roots[1] = ScriptValue::native(owner_->self);
    std::vector<ScriptValue> slots(count + 1);
    SpanRoot keep(vm, slots.data(), slots.size());
    slots[0] = ScriptValue::integer(count);
    Atom valueName = intern(vm, "value");
    for (UINT i = 0; i < count; ++i) {
      UINT j = count - 1 - i;  // rgvarg holds the last argument first
      ScriptValue v = fromVariant(vm, params->rgvarg[j]);
      if (std::find(byRef.begin(), byRef.end(), static_cast<int>(j)) != byRef.end()) {
        slots[1 + i] = v;
        ScriptObject* box = newObject(vm);
        ScriptValue boxed = ScriptValue::object(box);
        objectSet(vm, box, valueName, slots[1 + i]);
        v = boxed;
      }
      slots[1 + i] = v;
    }
    callHandler(vm, roots[1], roots[0], slots, nullptr);
    for (UINT i = 0; i < count; ++i) {
      UINT j = count - 1 - i;
      if (std::find(byRef.begin(), byRef.end(), static_cast<int>(j)) == byRef.end() || !slots[1 + i].isObject()) continue;
      ScriptValue v;
      if (objectGet(vm, slots[1 + i].asObject(), valueName, &v)) writeBack(vm, v, params->rgvarg[j]);
    }
  }

  LONG refs_ = 1;
  ActiveXData* owner_;
  std::vector<IID> iids_;
};

// ---- the property-notify sink ----

class PropertyNotifySink : public IPropertyNotifySink {
 public:
  virtual ~PropertyNotifySink() = default;
  explicit PropertyNotifySink(ActiveXData* owner) : owner_(owner) {}
  void detach() { owner_ = nullptr; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IPropertyNotifySink)) return E_NOINTERFACE;
    *out = static_cast<IPropertyNotifySink*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID id) override {
    AddRef();
    try {
      if (owner_) notify(owner_->onChanged, id, nullptr);
    } catch (...) {
    }
    Release();
    return S_OK;
  }
  // The change goes ahead without a handler, and with one only when it answers true or a non-zero integer.
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID id) override {
    bool allowed = true;
    AddRef();
    try {
      if (owner_ && owner_->onWillChange.kind == KindFunction) {
        ScriptValue answer;
        allowed = notify(owner_->onWillChange, id, &answer) &&
                  ((answer.kind == KindBoolean && answer.asBool()) || (answer.kind == KindInteger && answer.asInt() != 0));
      }
    } catch (...) {
      allowed = false;
    }
    Release();
    return allowed ? S_OK : S_FALSE;
  }

 private:
  bool notify(const ScriptValue& handler, DISPID id, ScriptValue* answer) {
    if (handler.kind != KindFunction) return false;
    ScriptVM* vm = owner_->vm;
    std::wstring name = propertyName(id);
    ValueRoot function(vm, handler);
    std::vector<ScriptValue> slots(2);
    slots[0] = ScriptValue::integer(1);
    slots[1] = ownedString(vm, std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size()));
    ScriptValue none = ScriptValue::null();
    return callHandler(vm, none, function.value, slots, answer);
  }

  std::wstring propertyName(DISPID id) {
    ComPtr<ITypeInfo> info;
    if (owner_->object && SUCCEEDED(owner_->object->GetTypeInfo(0, kAutomationLcid, info.put())) && info) {
      Bstr name;
      UINT got = 0;
      BSTR names[1] = {nullptr};
      if (SUCCEEDED(info->GetNames(id, names, 1, &got)) && got == 1 && names[0]) {
        name = Bstr::adopt(names[0]);
        return std::wstring(name.view());
      }
    }
    return std::to_wstring(id);
  }

  LONG refs_ = 1;
  ActiveXData* owner_;
};

// ---- connecting and finalizing ----

void connectEvents(ActiveXData* data, EventCache& cache) {
  data->sources = findSources(data->object.get());
  if (data->sources.empty()) return;
  ComPtr<IConnectionPointContainer> container = data->object.as<IConnectionPointContainer>(IID_IConnectionPointContainer);
  std::vector<IID> iids;
  for (const SourceInterface& s : data->sources) {
    cacheEvents(s, cache);
    iids.push_back(s.iid);
  }
  data->sink = new EventSink(data, iids);
  if (!container) return;
  for (const SourceInterface& s : data->sources) {
    Connection c;
    if (FAILED(container->FindConnectionPoint(s.iid, c.point.put())) || !c.point) continue;
    if (FAILED(c.point->Advise(data->sink, &c.cookie))) continue;
    data->connections.push_back(std::move(c));
  }
}

const EventInfo* findEvent(const ActiveXData* data, const EventCache& cache, std::wstring_view name) {
  std::wstring key = lowered(name);
  for (const SourceInterface& s : data->sources) {
    auto events = cache.find(guidKey(s.iid));
    if (events == cache.end()) continue;
    auto e = events->second.find(key);
    if (e != events->second.end()) return &e->second;
  }
  return nullptr;
}

bool enablePropertyNotify(ActiveXData* data) {
  if (data->notify) return true;
  ComPtr<IConnectionPointContainer> container = data->object.as<IConnectionPointContainer>(IID_IConnectionPointContainer);
  if (!container) return false;
  Connection c;
  if (FAILED(container->FindConnectionPoint(IID_IPropertyNotifySink, c.point.put())) || !c.point) return false;
  auto* sink = new PropertyNotifySink(data);
  if (FAILED(c.point->Advise(sink, &c.cookie))) {
    sink->detach();
    sink->Release();
    return false;
  }
  data->notify = sink;
  data->notifyConnection = std::move(c);
  return true;
}

void disablePropertyNotify(ActiveXData* data) {
  if (!data->notify) return;
  data->notify->detach();
  if (data->notifyConnection.point) data->notifyConnection.point->Unadvise(data->notifyConnection.cookie);
  data->notifyConnection = Connection{};
  data->notify->Release();
  data->notify = nullptr;
}

ActiveXData::~ActiveXData() {
  if (sink) sink->detach();
  for (Connection& c : connections) c.point->Unadvise(c.cookie);
  connections.clear();
  if (sink) sink->Release();
  sink = nullptr;
  disablePropertyNotify(this);
  object.reset();
}

}  // namespace vorlo::com
