#include "host/com/dispatch_call.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/ansi.h"
#include "engine/trace.h"
#include "host/com/activex_data.h"
#include "host/com/com_holders.h"
#include "host/com/variant_convert.h"
#include "util/text.h"

namespace vorlo::com {
namespace {

// The VARTYPE a declared type stands for: pointers become by-reference types (a pointer to an
// interface is the interface), aliases their underlying type, enumerations VT_I4.
VARTYPE resolve(ITypeInfo* info, const TYPEDESC& type, int depth = 0) {
  if (depth > 8) return VT_VARIANT;
  switch (type.vt) {
    case VT_PTR: {
      if (!type.lptdesc) return VT_VARIANT;
      VARTYPE inner = resolve(info, *type.lptdesc, depth + 1);
      if (type.lptdesc->vt == VT_USERDEFINED && (inner == VT_DISPATCH || inner == VT_UNKNOWN)) return inner;
      if (inner & (VT_BYREF | VT_ARRAY)) return VT_VARIANT;
      return VT_BYREF | inner;
    }
    case VT_USERDEFINED: {
      ComPtr<ITypeInfo> ref;
      if (FAILED(info->GetRefTypeInfo(type.hreftype, ref.put())) || !ref) return VT_VARIANT;
      TYPEATTR* attr = nullptr;
      if (FAILED(ref->GetTypeAttr(&attr)) || !attr) return VT_VARIANT;
      VARTYPE vt = VT_VARIANT;
      switch (attr->typekind) {
        case TKIND_ALIAS: vt = resolve(ref.get(), attr->tdescAlias, depth + 1); break;
        case TKIND_ENUM: vt = VT_I4; break;
        case TKIND_DISPATCH:
        case TKIND_COCLASS: vt = VT_DISPATCH; break;
        case TKIND_INTERFACE: vt = (attr->wTypeFlags & TYPEFLAG_FDISPATCHABLE) ? VT_DISPATCH : VT_UNKNOWN; break;
        default: break;
      }
      ref->ReleaseTypeAttr(attr);
      return vt;
    }
    case VT_SAFEARRAY:
    case VT_CARRAY: return VT_VARIANT;
    default: return type.vt;
  }
}

void fromFunction(ITypeInfo* info, const FUNCDESC& f, Binding* b) {
  b->id = f.memid;
  b->kind = f.invkind;
  SHORT count = f.cParams;
  bool retval = count > 0 && (f.lprgelemdescParam[count - 1].paramdesc.wParamFlags & PARAMFLAG_FRETVAL);
  if (retval) {
    --count;
    VARTYPE r = resolve(info, f.lprgelemdescParam[count].tdesc);
    b->result = (r & VT_BYREF) ? static_cast<VARTYPE>(r & ~VT_BYREF) : r;
  } else {
    VARTYPE r = resolve(info, f.elemdescFunc.tdesc);
    b->result = (r == VT_HRESULT || r == VT_VOID) ? VARTYPE(VT_EMPTY) : r;
  }
  for (SHORT i = 0; i < count; ++i) b->params.push_back(resolve(info, f.lprgelemdescParam[i].tdesc));
}

// Binds `name` with the wanted kind, then with any kind. False: no type information describes it.
bool bindTyped(IDispatch* object, const std::wstring& name, WORD wanted, Binding* b) {
  if (!hasTypeInformation(object)) return false;
  ComPtr<ITypeInfo> info;
  ComPtr<ITypeComp> comp;
  if (FAILED(object->GetTypeInfo(0, kAutomationLcid, info.put())) || !info) return false;
  if (FAILED(info->GetTypeComp(comp.put())) || !comp) return false;
  std::wstring text = name;
  ULONG hash = LHashValOfNameSys(SYS_WIN32, LOCALE_SYSTEM_DEFAULT, text.c_str());
  // A call names a method, or else the property read of that name; the put forms only for writes.
  std::vector<WORD> kinds{wanted};
  if (wanted == INVOKE_FUNC) kinds.push_back(INVOKE_PROPERTYGET);
  kinds.push_back(0);
  for (WORD kind : kinds) {
    ComPtr<ITypeInfo> bound;
    DESCKIND desc = DESCKIND_NONE;
    BINDPTR ptr{};
    if (FAILED(comp->Bind(text.data(), hash, kind, bound.put(), &desc, &ptr))) continue;
    switch (desc) {
      case DESCKIND_FUNCDESC: {
        bool wantedKind = kind == 0 || ptr.lpfuncdesc->invkind == kind;
        if (wantedKind) fromFunction(bound.get(), *ptr.lpfuncdesc, b);
        bound->ReleaseFuncDesc(ptr.lpfuncdesc);
        if (wantedKind) return true;
        break;
      }
      case DESCKIND_VARDESC:
      case DESCKIND_IMPLICITAPPOBJ: {
        b->id = ptr.lpvardesc->memid;
        b->kind = INVOKE_PROPERTYGET;
        b->result = resolve(bound.get(), ptr.lpvardesc->elemdescVar.tdesc);
        bound->ReleaseVarDesc(ptr.lpvardesc);
        return true;
      }
      case DESCKIND_TYPECOMP:
        if (ptr.lptcomp) ptr.lptcomp->Release();
        break;
      default: break;
    }
  }
  return false;
}

bool lateBoundId(IDispatch* object, const std::wstring& name, DISPID* id) {
  std::wstring text = name;
  LPOLESTR names[1] = {text.data()};
  return SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_SYSTEM_DEFAULT, id));
}

bool cachedBind(IDispatch* object, const std::wstring& name, WORD wanted, Binding* b, BindingCache* cache) {
  if (!cache) return bindTyped(object, name, wanted, b);
  std::wstring key = name + L'\x01' + std::to_wstring(wanted);
  auto found = cache->typed.find(key);
  if (found == cache->typed.end()) {
    Binding fresh;
    bool ok = bindTyped(object, name, wanted, &fresh);
    found = cache->typed.emplace(key, std::make_pair(ok, fresh)).first;
  }
  *b = found->second.second;
  return found->second.first;
}

bool cachedId(IDispatch* object, const std::wstring& name, DISPID* id, BindingCache* cache) {
  if (cache) {
    auto found = cache->lateBound.find(name);
    if (found != cache->lateBound.end()) {
      *id = found->second;
      return true;
    }
  }
  if (!lateBoundId(object, name, id)) return false;
  if (cache) cache->lateBound[name] = *id;
  return true;
}

std::string ansiOf(BSTR s) {
  if (!s) return {};
  return utf16ToAnsi(reinterpret_cast<const char16_t*>(s), SysStringLen(s));
}

void report(ScriptVM* vm, HRESULT hr, EXCEPINFO& e) {
  if (hr == DISP_E_EXCEPTION) {
    if (e.pfnDeferredFillIn) e.pfnDeferredFillIn(&e);
    traceLine(ansiOf(e.bstrSource) + ":" + ansiOf(e.bstrDescription) + ". See also: " + ansiOf(e.bstrHelpFile) + ".");
  } else {
    std::string text = hresultText(hr);
    std::u16string units = utf8ToUtf16(text);
    writeWarning(vm, "Warning: %s", utf16ToAnsi(units.data(), units.size()));
  }
  clearException(e);
}

// Arguments of one call: the VARIANTs in Invoke's order (last argument first) and the temporaries that
// by-reference arguments point into; everything is released when the call is over.
class CallArguments {
 public:
  explicit CallArguments(size_t n) : args_(n), storage_(n), borrowed_(n, false) {
    for (size_t i = 0; i < n; ++i) {
      VariantInit(&args_[i]);
      VariantInit(&storage_[i]);
    }
  }
  ~CallArguments() {
    for (size_t i = 0; i < args_.size(); ++i) {
      if (!borrowed_[i] && !(args_[i].vt & VT_BYREF)) VariantClear(&args_[i]);
      VariantClear(&storage_[i]);
    }
  }
  CallArguments(const CallArguments&) = delete;
  CallArguments& operator=(const CallArguments&) = delete;

  // Argument i in call order.
  VARIANT* slot(size_t i) { return &args_[args_.size() - 1 - i]; }
  VARIANT* storage(size_t i) { return &storage_[args_.size() - 1 - i]; }
  void borrow(size_t i) { borrowed_[args_.size() - 1 - i] = true; }
  VARIANT* data() { return args_.empty() ? nullptr : args_.data(); }
  UINT count() const { return static_cast<UINT>(args_.size()); }

 private:
  std::vector<VARIANT> args_, storage_;
  std::vector<bool> borrowed_;
};

HRESULT invokeRaw(ScriptVM* vm, IDispatch* object, DISPID id, WORD flags, VARIANT* reversed, UINT count, VARIANT* result,
                  bool reportFailure = true) {
  DISPID putId = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed, nullptr, count, 0};
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    params.rgdispidNamedArgs = &putId;
    params.cNamedArgs = 1;
  }
  EXCEPINFO e{};
  UINT badArg = 0;
  // The object stays alive through the call even when a handler it fires drops the script's last hold.
  ComPtr<IDispatch> keep = ComPtr<IDispatch>::share(object);
  HRESULT hr = object->Invoke(id, IID_NULL, kAutomationLcid, flags, &params, result, &e, &badArg);
  if (FAILED(hr) && reportFailure) report(vm, hr, e);
  clearException(e);
  return hr;
}

const WORD kCallFlags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

bool hasItem(IDispatch* object) {
  DISPID id;
  return lateBoundId(object, L"Item", &id);
}

}  // namespace

bool hasTypeInformation(IDispatch* object) {
  // Objects of script engines (IDispatchEx) grow and lose members as they run; their type information,
  // where they offer any, describes nothing to bind to.
  static const IID kDispatchEx = {0xA6EF9860, 0xC720, 0x11D0, {0x93, 0x37, 0x00, 0xA0, 0xC9, 0x0D, 0xCA, 0xA9}};
  ComPtr<IUnknown> expando;
  object->QueryInterface(kDispatchEx, expando.putVoid());
  if (expando) return false;
  UINT count = 0;
  return SUCCEEDED(object->GetTypeInfoCount(&count)) && count > 0;
}

HRESULT invokeById(ScriptVM* vm, IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result,
                   bool reportFailure) {
  std::vector<VARIANT> reversed(args, args + count);
  std::reverse(reversed.begin(), reversed.end());
  return invokeRaw(vm, object, id, flags, reversed.empty() ? nullptr : reversed.data(), count, result, reportFailure);
}

bool callMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, const ScriptValue* args, ScriptValue* result,
                BindingCache* cache) {
  size_t n = static_cast<size_t>(argCount(args));
  Binding b;
  Variant out;
  if (cachedBind(object, name, INVOKE_FUNC, &b, cache)) {
    // A collection property called with one index (or key) is the collection's Item.
    if (b.kind == INVOKE_PROPERTYGET && b.params.empty() && n == 1) {
      *result = ScriptValue();
      if (FAILED(invokeRaw(vm, object, b.id, kCallFlags, nullptr, 0, out.get()))) return true;
      if (out.get()->vt == VT_DISPATCH && out.get()->pdispVal && hasItem(out.get()->pdispVal)) {
        ComPtr<IDispatch> collection = ComPtr<IDispatch>::share(out.get()->pdispVal);
        return callMember(vm, collection.get(), L"Item", args, result) || true;
      }
      *result = fromVariant(vm, *out.get(), b.result);
      return true;
    }
    CallArguments call(b.params.size());
    for (size_t i = 0; i < b.params.size(); ++i) {
      if (i >= n) {
        setOmitted(call.slot(i));
        continue;
      }
      bool borrowed = false;
      toTypedVariant(vm, args[1 + i], b.params[i], call.slot(i), call.storage(i), &borrowed);
      if (borrowed) call.borrow(i);
    }
    *result = ScriptValue();
    if (FAILED(invokeRaw(vm, object, b.id, kCallFlags, call.data(), call.count(), out.get()))) return true;
    *result = fromVariant(vm, *out.get(), b.result);
    return true;
  }
  DISPID id;
  if (!cachedId(object, name, &id, cache)) return false;
  CallArguments call(n);
  for (size_t i = 0; i < n; ++i) toVariant(vm, args[1 + i], call.slot(i));
  if (FAILED(invokeRaw(vm, object, id, kCallFlags, call.data(), call.count(), out.get()))) return false;
  *result = fromVariant(vm, *out.get());
  return true;
}

bool getMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, ScriptValue* result, BindingCache* cache) {
  Binding b;
  Variant out;
  if (cachedBind(object, name, INVOKE_PROPERTYGET, &b, cache) && b.kind == INVOKE_PROPERTYGET) {
    CallArguments call(b.params.size());
    for (size_t i = 0; i < b.params.size(); ++i) setOmitted(call.slot(i));
    *result = ScriptValue();
    if (FAILED(invokeRaw(vm, object, b.id, DISPATCH_PROPERTYGET, call.data(), call.count(), out.get()))) return true;
    *result = fromVariant(vm, *out.get(), b.result);
    return true;
  }
  DISPID id;
  if (!cachedId(object, name, &id, cache)) return false;
  if (FAILED(invokeRaw(vm, object, id, DISPATCH_PROPERTYGET, nullptr, 0, out.get()))) return false;
  *result = fromVariant(vm, *out.get());
  return true;
}

bool putMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, const ScriptValue& value, BindingCache* cache) {
  Binding b;
  if (cachedBind(object, name, INVOKE_PROPERTYPUT, &b, cache) &&
      (b.kind == INVOKE_PROPERTYPUT || b.kind == INVOKE_PROPERTYPUTREF || b.params.empty())) {
    VARTYPE type = b.params.empty() ? b.result : b.params.back();
    CallArguments call(1);
    bool borrowed = false;
    toTypedVariant(vm, value, type, call.slot(0), call.storage(0), &borrowed);
    if (borrowed) call.borrow(0);
    WORD flags = b.kind == INVOKE_PROPERTYPUTREF ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT;
    invokeRaw(vm, object, b.id, flags, call.data(), 1, nullptr);
    return true;
  }
  DISPID id;
  if (!cachedId(object, name, &id, cache)) return false;
  CallArguments call(1);
  toVariant(vm, value, call.slot(0));
  return SUCCEEDED(invokeRaw(vm, object, id, DISPATCH_PROPERTYPUT, call.data(), 1, nullptr));
}

}  // namespace vorlo::com
