#include "host/com/variant_convert.h"

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/trace.h"
#include "host/com/com_bridge.h"
#include "host/com/com_holders.h"
#include "host/com/ole_date.h"
#include "host/streams/string_stream.h"
#include "stdlib/array.h"
#include "stdlib/array_store.h"
#include "stdlib/binding.h"
#include "stdlib/timezone.h"

namespace vorlo::com {
namespace {

// Arrays longer than this do not become SAFEARRAYs (a sparse array of a huge length would ask for
// gigabytes of VARIANTs); nor do arrays nested deeper than kMaxDepth (an array that holds itself).
constexpr uint64_t kMaxSafeArrayLength = uint64_t(1) << 24;
constexpr int kMaxDepth = 32;

double localOffsetMs() { return static_cast<double>(localTimeOffsetMinutes()) * 60000.0; }

BSTR newBstr(std::u16string_view text) {
  return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
}

BSTR bstrOf(ScriptVM* vm, const ScriptValue& value) {
  ScriptValue s = toStringValue(vm, value);
  return newBstr(stringView(s.asString()));
}

void conversionFailed(VARIANT* out, const char* why) {
  VariantInit(out);
  traceLine(std::string("ActiveXObject: ") + why + "; the value is passed as empty");
}

void arrayToVariant(ScriptVM* vm, ScriptArray* array, VARIANT* out, int depth) {
  if (array->length > kMaxSafeArrayLength) return conversionFailed(out, "the array is too long for a SAFEARRAY");
  if (depth > kMaxDepth) return conversionFailed(out, "the arrays are nested too deeply");
  ElementList elements = storeElements(array);
  SpanRoot keep(vm, nullptr, 0);
  std::vector<ScriptValue> values;
  for (auto& e : elements) values.push_back(e.second);
  keep.reset(values.data(), values.size());
  bool strings = !elements.empty() && elements[0].first == 0 && elements[0].second.isString();
  SafeArray sa(SafeArrayCreateVector(strings ? VT_BSTR : VT_VARIANT, 0, static_cast<ULONG>(array->length)));
  if (!sa.get()) return conversionFailed(out, "no memory for the SAFEARRAY");
  {
    SafeArrayLock lock(sa.get());
    if (!lock.ok()) return conversionFailed(out, "the SAFEARRAY cannot be filled");
    for (size_t i = 0; i < elements.size(); ++i) {
      uint64_t index = elements[i].first;
      if (strings) {
        static_cast<BSTR*>(lock.data())[index] = bstrOf(vm, values[i]);
      } else {
        VARIANT* slot = static_cast<VARIANT*>(lock.data()) + index;
        if (values[i].kind == KindArray) {
          arrayToVariant(vm, values[i].asArray(), slot, depth + 1);
        } else {
          toVariant(vm, values[i], slot);
        }
      }
    }
  }
  out->vt = VT_ARRAY | (strings ? VT_BSTR : VT_VARIANT);
  out->parray = sa.detach();
}

void bytesToVariant(const std::vector<uint8_t>& bytes, VARIANT* out) {
  SafeArray sa(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size())));
  if (!sa.get()) return conversionFailed(out, "no memory for the SAFEARRAY");
  {
    SafeArrayLock lock(sa.get());
    if (!lock.ok()) return conversionFailed(out, "the SAFEARRAY cannot be filled");
    if (!bytes.empty()) std::memcpy(lock.data(), bytes.data(), bytes.size());
  }
  out->vt = VT_ARRAY | VT_UI1;
  out->parray = sa.detach();
}

// A number's value as a double and as a 64-bit integer (floats truncated; NaN 0).
double asDouble(ScriptVM* vm, const ScriptValue& value) {
  ScriptValue n = toNumber(vm, value);
  if (n.kind == KindInteger) return static_cast<double>(n.asInt());
  if (n.kind == KindFloat) return n.asFloat();
  return 0;
}
int64_t asInteger(ScriptVM* vm, const ScriptValue& value) {
  if (value.kind == KindInteger) return value.asInt();
  ScriptValue n = toNumber(vm, value);
  if (n.kind == KindInteger) return n.asInt();
  if (n.kind == KindFloat && std::isfinite(n.asFloat())) return truncateToInt64(n.asFloat());
  return 0;
}

// The declared type with the bridge's equivalences applied.
VARTYPE normalized(VARTYPE type) {
  switch (type) {
    case VT_INT:
    case VT_UINT:
    case VT_UI4: return VT_I4;
    case VT_VOID: return VT_EMPTY;
    case VT_HRESULT: return VT_ERROR;
    default: return type;
  }
}

// The by-value conversion to a declared type; false when the value does not fit.
bool toDeclared(ScriptVM* vm, const ScriptValue& value, VARTYPE type, VARIANT* out, bool* borrowed) {
  switch (type) {
    case VT_I2: out->vt = VT_I2; out->iVal = static_cast<SHORT>(asInteger(vm, value)); return true;
    case VT_I4: out->vt = VT_I4; out->lVal = static_cast<LONG>(asInteger(vm, value)); return true;
    case VT_UI1: out->vt = VT_UI1; out->bVal = static_cast<BYTE>(asInteger(vm, value)); return true;
    case VT_ERROR: out->vt = VT_ERROR; out->scode = static_cast<SCODE>(asInteger(vm, value)); return true;
    case VT_R4: out->vt = VT_R4; out->fltVal = static_cast<float>(asDouble(vm, value)); return true;
    case VT_R8: out->vt = VT_R8; out->dblVal = asDouble(vm, value); return true;
    case VT_CY: {
      out->vt = VT_CY;
      if (value.kind == KindInteger) return SUCCEEDED(VarCyFromI4(static_cast<LONG>(value.asInt()), &out->cyVal));
      return SUCCEEDED(VarCyFromR8(asDouble(vm, value), &out->cyVal));
    }
    case VT_DATE: {
      double ms = 0;
      if (value.kind == KindFloat) ms = value.asFloat();
      else if (value.kind == KindInteger) ms = static_cast<double>(value.asInt());
      else if (!dateTimeOf(vm, value, &ms)) ms = 0;
      out->vt = VT_DATE;
      out->date = toOleDate(ms);
      return true;
    }
    case VT_BSTR: out->vt = VT_BSTR; out->bstrVal = bstrOf(vm, value); return true;
    case VT_BOOL: out->vt = VT_BOOL; out->boolVal = toBoolean(value) ? VARIANT_TRUE : VARIANT_FALSE; return true;
    case VT_DISPATCH: {
      IDispatch* d = dispatchOf(vm, value);
      if (!d) return false;
      d->AddRef();
      out->vt = VT_DISPATCH;
      out->pdispVal = d;
      return true;
    }
    case VT_UNKNOWN: {
      if (IDispatch* d = dispatchOf(vm, value)) {
        d->AddRef();
        out->vt = VT_UNKNOWN;
        out->punkVal = d;
        return true;
      }
      if (value.kind != KindInteger || value.asInt() == 0) return false;
      // An interface pointer a script holds as a number (an enumerator handed out earlier).
      out->vt = VT_UNKNOWN;
      out->punkVal = reinterpret_cast<IUnknown*>(static_cast<uintptr_t>(value.asInt()));
      *borrowed = true;
      return true;
    }
    default: toVariant(vm, value, out); return true;
  }
}

// A one-dimensional SAFEARRAY of strings or variants as a script array at the SAFEARRAY's own indices.
ScriptValue listFromSafeArray(ScriptVM* vm, SAFEARRAY* sa, VARTYPE element) {
  LONG lower = 0, upper = -1;
  SafeArrayGetLBound(sa, 1, &lower);
  SafeArrayGetUBound(sa, 1, &upper);
  int64_t length = static_cast<int64_t>(upper) - lower + 1;
  if (length < 0) length = 0;
  ValueRoots<2> roots(vm);
  roots[0] = newArrayValue(vm, static_cast<uint64_t>(length));
  SafeArrayLock lock(sa);
  if (!lock.ok()) return roots[0];
  for (int64_t i = 0; i < length; ++i) {
    if (element == VT_BSTR) {
      BSTR s = static_cast<BSTR*>(lock.data())[i];
      if (!s) continue;
      roots[1] = ownedString(vm, std::u16string_view(reinterpret_cast<const char16_t*>(s), SysStringLen(s)));
    } else {
      roots[1] = fromVariant(vm, static_cast<VARIANT*>(lock.data())[i]);
    }
    arraySet(vm, roots[0].asArray(), lower + i, roots[1]);
  }
  return roots[0];
}

ScriptValue fromSafeArray(ScriptVM* vm, SAFEARRAY* sa, VARTYPE element) {
  if (!sa) return ScriptValue::undefined();
  UINT dims = SafeArrayGetDim(sa);
  if (dims == 1 && (element == VT_BSTR || element == VT_VARIANT)) return listFromSafeArray(vm, sa, element);
  // Other arrays arrive as their raw element data; elements that are pointers mean nothing there.
  if (element == VT_BSTR || element == VT_VARIANT || element == VT_DISPATCH || element == VT_UNKNOWN)
    return ScriptValue::undefined();
  uint64_t count = 1;
  for (UINT d = 1; d <= dims; ++d) {
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(sa, d, &lower);
    SafeArrayGetUBound(sa, d, &upper);
    int64_t n = static_cast<int64_t>(upper) - lower + 1;
    count *= n > 0 ? static_cast<uint64_t>(n) : 0;
  }
  uint64_t bytes = count * SafeArrayGetElemsize(sa);
  auto stream = std::make_unique<MemoryStream>();
  SafeArrayLock lock(sa);
  if (lock.ok() && bytes > 0 && bytes <= SIZE_MAX) stream->write(lock.data(), static_cast<size_t>(bytes));
  stream->setPutPos(0);
  stream->setPutPos(stream->length());
  return makeStringStream(vm, std::move(stream));
}

ScriptValue fromUnknown(ScriptVM* vm, IUnknown* unknown) {
  if (!unknown) return ScriptValue::undefined();
  ComPtr<IDispatch> d;
  if (SUCCEEDED(unknown->QueryInterface(IID_IDispatch, d.putVoid())) && d) return wrapDispatch(vm, d.get());
  IEnumVARIANT* e = nullptr;
  if (SUCCEEDED(unknown->QueryInterface(IID_IEnumVARIANT, reinterpret_cast<void**>(&e))) && e) {
    // The script holds this reference as a number until an Enumerator takes it over.
    return ScriptValue::integer(static_cast<int64_t>(reinterpret_cast<uintptr_t>(e)));
  }
  return ScriptValue::undefined();
}

ScriptValue textValue(ScriptVM* vm, BSTR s) {
  if (!s) return ownedString(vm, u"");
  return ownedString(vm, std::u16string_view(reinterpret_cast<const char16_t*>(s), SysStringLen(s)));
}

}  // namespace

double toOleDate(double ms) { return timeToOleDate(ms, localOffsetMs()); }
double fromOleDate(double date) { return oleDateToTime(date, localOffsetMs()); }

void setOmitted(VARIANT* out) {
  VariantInit(out);
  out->vt = VT_ERROR;
  out->scode = DISP_E_PARAMNOTFOUND;
}

void toVariant(ScriptVM* vm, const ScriptValue& value, VARIANT* out) {
  VariantInit(out);
  switch (value.kind) {
    case KindUndefined: out->vt = VT_NULL; return;
    case KindInteger: out->vt = VT_I4; out->lVal = static_cast<LONG>(value.asInt()); return;
    case KindFloat: out->vt = VT_R8; out->dblVal = value.asFloat(); return;
    case KindString: out->vt = VT_BSTR; out->bstrVal = newBstr(stringView(value.asString())); return;
    case KindArray: arrayToVariant(vm, value.asArray(), out, 0); return;
    case KindNative: {
      if (IDispatch* d = dispatchOf(vm, value)) {
        d->AddRef();
        out->vt = VT_DISPATCH;
        out->pdispVal = d;
        return;
      }
      double ms;
      if (dateTimeOf(vm, value, &ms)) {
        out->vt = VT_DATE;
        out->date = toOleDate(ms);
        return;
      }
      if (MemoryStream* s = stringStreamOf(vm, value)) return bytesToVariant(s->bytes(), out);
      return;
    }
    default: return;
  }
}

void toTypedVariant(ScriptVM* vm, const ScriptValue& value, VARTYPE type, VARIANT* out, VARIANT* storage,
                    bool* borrowed) {
  *borrowed = false;
  VariantInit(out);
  VariantInit(storage);
  VARTYPE base = normalized(type & VT_TYPEMASK);
  bool byRef = (type & VT_BYREF) != 0;
  if (!byRef) {
    if (!toDeclared(vm, value, base, out, borrowed)) setOmitted(out);
    return;
  }
  // By reference: a temporary of the base type (a float for VT_R4, a fresh string for VT_BSTR ...),
  // which the callee may replace; the caller clears it afterwards.
  if (base == VT_VARIANT) {
    toVariant(vm, value, storage);
    out->vt = VT_BYREF | VT_VARIANT;
    out->pvarVal = storage;
    return;
  }
  if (!toDeclared(vm, value, base, storage, borrowed) || *borrowed || storage->vt != base) {
    if (*borrowed) VariantInit(storage);
    *borrowed = false;
    VariantClear(storage);
    setOmitted(out);
    return;
  }
  out->vt = VT_BYREF | base;
  out->byref = &storage->lVal;  // every member of the VARIANT's value union starts here
}

ScriptValue fromVariant(ScriptVM* vm, const VARIANT& given, VARTYPE want) {
  const VARIANT* v = &given;
  Variant changed;
  want = normalized(want & VT_TYPEMASK);
  if (want != VT_EMPTY && want != VT_VARIANT && want != VT_ERROR && want != v->vt && !(v->vt & (VT_BYREF | VT_ARRAY)) &&
      SUCCEEDED(VariantChangeTypeEx(changed.get(), const_cast<VARIANT*>(v), kAutomationLcid, 0, want))) {
    v = changed.get();
  }
  VARTYPE vt = v->vt;
  if (vt & VT_ARRAY) {
    VARTYPE element = vt & VT_TYPEMASK;
    return fromSafeArray(vm, (vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray, element);
  }
  if (vt & VT_BYREF) {
    if (!v->byref) return ScriptValue::undefined();
    switch (vt & VT_TYPEMASK) {
      case VT_VARIANT: return fromVariant(vm, *v->pvarVal);
      case VT_I1: return ScriptValue::integer(*v->pcVal);
      case VT_I2: return ScriptValue::integer(*v->piVal);
      case VT_I4: return ScriptValue::integer(*v->plVal);
      case VT_INT: return ScriptValue::integer(*v->pintVal);
      case VT_UI1: return ScriptValue::integer(*v->pbVal);
      case VT_UI2: return ScriptValue::integer(*v->puiVal);
      case VT_UI4: return ScriptValue::integer(*v->pulVal);
      case VT_UINT: return ScriptValue::integer(*v->puintVal);
      case VT_ERROR: return ScriptValue::integer(*v->pscode);
      case VT_R4: return ScriptValue::number(*v->pfltVal);
      case VT_R8: return ScriptValue::number(*v->pdblVal);
      case VT_DATE: return ScriptValue::number(fromOleDate(*v->pdate));
      case VT_BSTR: return textValue(vm, *v->pbstrVal);
      case VT_BOOL: return ScriptValue::boolean(*v->pboolVal != VARIANT_FALSE);
      case VT_DISPATCH: return *v->ppdispVal ? wrapDispatch(vm, *v->ppdispVal) : ScriptValue::undefined();
      case VT_UNKNOWN: return fromUnknown(vm, *v->ppunkVal);
      default: return ScriptValue::undefined();
    }
  }
  switch (vt) {
    case VT_I1: return ScriptValue::integer(v->cVal);
    case VT_I2: return ScriptValue::integer(v->iVal);
    case VT_I4: return ScriptValue::integer(v->lVal);
    case VT_INT: return ScriptValue::integer(v->intVal);
    case VT_I8: return ScriptValue::integer(v->llVal);
    case VT_UI1: return ScriptValue::integer(v->bVal);
    case VT_UI2: return ScriptValue::integer(v->uiVal);
    case VT_UI4: return ScriptValue::integer(v->ulVal);
    case VT_UINT: return ScriptValue::integer(v->uintVal);
    case VT_UI8: return ScriptValue::integer(static_cast<int64_t>(v->ullVal));
    case VT_ERROR: return ScriptValue::integer(v->scode);
    case VT_R4: return ScriptValue::number(v->fltVal);
    case VT_R8: return ScriptValue::number(v->dblVal);
    case VT_CY: {
      double d = 0;
      VarR8FromCy(v->cyVal, &d);
      return ScriptValue::number(d);
    }
    case VT_DECIMAL: {
      double d = 0;
      VarR8FromDec(const_cast<DECIMAL*>(&v->decVal), &d);
      return ScriptValue::number(d);
    }
    case VT_DATE: return ScriptValue::number(fromOleDate(v->date));
    case VT_BSTR: return textValue(vm, v->bstrVal);
    case VT_BOOL: return ScriptValue::boolean(v->boolVal != VARIANT_FALSE);
    case VT_DISPATCH: return v->pdispVal ? wrapDispatch(vm, v->pdispVal) : ScriptValue::undefined();
    case VT_UNKNOWN: return fromUnknown(vm, v->punkVal);
    default: return ScriptValue::undefined();
  }
}

void writeBack(ScriptVM* vm, const ScriptValue& value, VARIANT& target) {
  if (!(target.vt & VT_BYREF) || !target.byref || (target.vt & VT_ARRAY)) return;
  bool number = value.kind == KindInteger || value.kind == KindFloat;
  switch (target.vt & VT_TYPEMASK) {
    case VT_I1: if (number) *target.pcVal = static_cast<CHAR>(asInteger(vm, value)); return;
    case VT_I2: if (number) *target.piVal = static_cast<SHORT>(asInteger(vm, value)); return;
    case VT_I4: if (number) *target.plVal = static_cast<LONG>(asInteger(vm, value)); return;
    case VT_ERROR: if (number) *target.pscode = static_cast<SCODE>(asInteger(vm, value)); return;
    case VT_R4: if (number) *target.pfltVal = static_cast<float>(asDouble(vm, value)); return;
    case VT_R8: if (number) *target.pdblVal = asDouble(vm, value); return;
    case VT_CY: if (number) VarCyFromR8(asDouble(vm, value), target.pcyVal); return;
    case VT_DATE: {
      double ms;
      if (dateTimeOf(vm, value, &ms)) *target.pdate = toOleDate(ms);
      return;
    }
    case VT_BSTR: {
      BSTR fresh = bstrOf(vm, value);
      SysFreeString(*target.pbstrVal);
      *target.pbstrVal = fresh;
      return;
    }
    case VT_DISPATCH: {
      IDispatch* d = dispatchOf(vm, value);
      if (!d) return;
      d->AddRef();
      if (*target.ppdispVal) (*target.ppdispVal)->Release();
      *target.ppdispVal = d;
      return;
    }
    case VT_BOOL: *target.pboolVal = toBoolean(value) ? VARIANT_TRUE : VARIANT_FALSE; return;
    case VT_VARIANT: {
      VARIANT fresh;
      toVariant(vm, value, &fresh);
      VariantClear(target.pvarVal);
      *target.pvarVal = fresh;
      return;
    }
    default: return;
  }
}

}  // namespace vorlo::com
