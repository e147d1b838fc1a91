// Calls of an automation object's members by name: typed through the object's type information when it
// describes the member (declared parameter and result types, optional parameters), late-bound through
// GetIDsOfNames otherwise. Failures are reported on the trace output.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <map>
#include <string>
#include <vector>

#include "engine/value.h"

namespace vorlo::com {

// A member as the type information describes it.
struct Binding {
  DISPID id = DISPID_UNKNOWN;
  INVOKEKIND kind = INVOKE_FUNC;
  std::vector<VARTYPE> params;  // the parameters a caller passes (an out/retval parameter is not one)
  VARTYPE result = VT_VARIANT;
};

// What one object's names were bound to (an object's type information does not change while it lives),
// so repeated calls skip the look-ups.
struct BindingCache {
  std::map<std::wstring, std::pair<bool, Binding>> typed;  // name and kind -> found, binding
  std::map<std::wstring, DISPID> lateBound;
};

// Each answers false when the member counts as not handled (the name is unknown, or a late-bound call
// failed); then the machine goes on as for any unknown member.
// `cache` (may be null) belongs to the object.
bool callMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, const ScriptValue* args, ScriptValue* result,
                BindingCache* cache = nullptr);
bool getMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, ScriptValue* result, BindingCache* cache = nullptr);
bool putMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, const ScriptValue& value,
               BindingCache* cache = nullptr);

// Whether the object's members can be bound through type information (script engines' objects cannot).
bool hasTypeInformation(IDispatch* object);

// A late-bound call by dispatch identifier with already converted arguments (in call order); the HRESULT
// of Invoke, failures reported unless asked not to.
HRESULT invokeById(ScriptVM* vm, IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result,
                   bool reportFailure = true);

}  // namespace vorlo::com
