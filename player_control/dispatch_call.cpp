#include "player_control/dispatch_table.h"

#include <oleauto.h>

#include <cwchar>

#include "util/text.h"

namespace vorlo::control {
namespace {

std::string fromBstr(BSTR b) { return b ? fromWide(std::wstring_view(b, SysStringLen(b))) : std::string(); }

}  // namespace

const VARIANT* Call::arg(unsigned i) const {
  if (i >= count()) return nullptr;
  // The caller's first argument is the last in the block.
  const VARIANT* v = &params_->rgvarg[count() - 1 - i];
  if (V_VT(v) == (VT_VARIANT | VT_BYREF)) v = V_VARIANTREF(v);
  return v;
}

std::string Call::text(unsigned i) const {
  const VARIANT* v = arg(i);
  if (!v) return {};
  VARIANT t;
  VariantInit(&t);
  std::string out;
  if (SUCCEEDED(VariantChangeType(&t, const_cast<VARIANT*>(v), 0, VT_BSTR))) out = fromBstr(V_BSTR(&t));
  VariantClear(&t);
  return out;
}

long Call::integer(unsigned i) const {
  const VARIANT* v = arg(i);
  if (!v) return 0;
  VARIANT t;
  VariantInit(&t);
  long out = SUCCEEDED(VariantChangeType(&t, const_cast<VARIANT*>(v), 0, VT_I4)) ? V_I4(&t) : 0;
  VariantClear(&t);
  return out;
}

double Call::number(unsigned i) const {
  const VARIANT* v = arg(i);
  if (!v) return 0;
  VARIANT t;
  VariantInit(&t);
  double out = SUCCEEDED(VariantChangeType(&t, const_cast<VARIANT*>(v), 0, VT_R8)) ? V_R8(&t) : 0;
  VariantClear(&t);
  return out;
}

bool Call::flag(unsigned i) const {
  const VARIANT* v = arg(i);
  if (!v) return false;
  VARIANT t;
  VariantInit(&t);
  bool out = SUCCEEDED(VariantChangeType(&t, const_cast<VARIANT*>(v), 0, VT_BOOL)) && V_BOOL(&t) != VARIANT_FALSE;
  VariantClear(&t);
  return out;
}

void Call::answer(long value) {
  if (!result_) return;
  V_VT(result_) = VT_I4;
  V_I4(result_) = value;
}

void Call::answer(bool value) {
  if (!result_) return;
  V_VT(result_) = VT_BOOL;
  V_BOOL(result_) = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void Call::answer(double value) {
  if (!result_) return;
  V_VT(result_) = VT_R8;
  V_R8(result_) = value;
}

void Call::answer(const std::string& utf8) {
  if (!result_) return;
  std::wstring w = toWide(utf8);
  V_VT(result_) = VT_BSTR;
  V_BSTR(result_) = SysAllocStringLen(w.data(), UINT(w.size()));
}

const Member* memberById(DISPID id) {
  for (const Member& m : members())
    if (m.id == id) return &m;
  return nullptr;
}

const Member* memberByName(const wchar_t* name) {
  for (const Member& m : members())
    if (_wcsicmp(m.name, name) == 0) return &m;
  return nullptr;
}

std::string variantText(const VARIANT& v) {
  if (V_VT(&v) == VT_EMPTY) return "(nothing)";
  if (V_VT(&v) == VT_BOOL) return V_BOOL(&v) ? "true" : "false";
  VARIANT t;
  VariantInit(&t);
  std::string out = "?";
  if (SUCCEEDED(VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_BSTR))) out = fromBstr(V_BSTR(&t));
  VariantClear(&t);
  if (V_VT(&v) == VT_BSTR) out = "\"" + out + "\"";
  return out;
}

}  // namespace vorlo::control
