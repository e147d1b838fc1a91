#include "host/flash/control_calls.h"

#include <vector>

#include "framework/control_site.h"

namespace vorlo::flash {
namespace {

VARIANT bstrVariant(std::u16string_view text) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()), UINT(text.size()));
  return v;
}

void clearAll(std::vector<VARIANT>& values) {
  for (VARIANT& v : values) VariantClear(&v);
}

}  // namespace

void runControlCall(const ControlCall& row, IDispatch* control, MemberCall& c) {
  if (!control) return;
  std::vector<VARIANT> args;
  for (int i = 0; row.args[i]; ++i) {
    ScriptValue a = c.arg(i);
    VARIANT v;
    VariantInit(&v);
    switch (row.args[i]) {
      case 'i':
        if (a.kind != KindInteger) break;
        V_VT(&v) = VT_I4;
        V_I4(&v) = static_cast<LONG>(a.asInt());
        break;
      case 'f':
        if (a.kind != KindFloat) break;
        V_VT(&v) = VT_R8;
        V_R8(&v) = a.asFloat();
        break;
      case 's':
        if (!a.isString()) break;
        v = bstrVariant(stringView(a.asString()));
        break;
    }
    if (V_VT(&v) == VT_EMPTY) {
      clearAll(args);
      return;  // an argument of the wrong kind: undefined
    }
    args.push_back(v);
  }
  VARIANT result;
  VariantInit(&result);
  control->AddRef();
  HRESULT hr = fw::callMethod(control, row.control, args, &result);
  control->Release();
  clearAll(args);
  bool ok = SUCCEEDED(hr);
  VARIANT converted;
  VariantInit(&converted);
  switch (row.answer) {
    case Answer::Done:
      *c.result = ScriptValue::boolean(ok);
      break;
    case Answer::Count:
    case Answer::Version:
      if (ok && SUCCEEDED(VariantChangeType(&converted, &result, 0, VT_I4))) *c.result = ScriptValue::integer(V_I4(&converted));
      else if (row.answer == Answer::Count) *c.result = ScriptValue::integer(-1);
      break;
    case Answer::Number:
      if (ok && SUCCEEDED(VariantChangeType(&converted, &result, 0, VT_R8))) *c.result = ScriptValue::number(V_R8(&converted));
      break;
    case Answer::Text:
      if (ok && SUCCEEDED(VariantChangeType(&converted, &result, 0, VT_BSTR)) && V_BSTR(&converted)) {
        setString(c.vm, c.result, reinterpret_cast<const char16_t*>(V_BSTR(&converted)), SysStringLen(V_BSTR(&converted)));
      }
      break;
  }
  VariantClear(&converted);
  VariantClear(&result);
}

bool readControlProperty(IDispatch* control, const wchar_t* name, VARIANT* out) {
  return control && SUCCEEDED(fw::getProperty(control, name, out));
}

bool writeControlProperty(IDispatch* control, const wchar_t* name, const VARIANT& value) {
  return control && SUCCEEDED(fw::putProperty(control, name, value));
}

std::optional<std::u16string> getMovieVariable(IDispatch* control, std::u16string_view name) {
  if (!control) return std::nullopt;
  std::vector<VARIANT> args{bstrVariant(name)};
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = fw::callMethod(control, L"GetVariable", args, &result);
  clearAll(args);
  std::optional<std::u16string> text;
  if (SUCCEEDED(hr) && V_VT(&result) == VT_BSTR && V_BSTR(&result)) {
    text = std::u16string(reinterpret_cast<const char16_t*>(V_BSTR(&result)), SysStringLen(V_BSTR(&result)));
  }
  VariantClear(&result);
  return text;
}

bool setMovieVariable(IDispatch* control, std::u16string_view name, std::u16string_view value) {
  if (!control) return false;
  std::vector<VARIANT> args{bstrVariant(name), bstrVariant(value)};
  HRESULT hr = fw::callMethod(control, L"SetVariable", args, nullptr);
  clearAll(args);
  return SUCCEEDED(hr);
}

}  // namespace vorlo::flash
