// Calls of an automation object's members by name: typed through the object's type information when it
// describes the member (declared parameter and result types, optional parameters), late-bound through
// GetIDsOfNames otherwise. Failures are reported on the trace output.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "engine/value.h"

namespace vorlo::com {

// Each answers false when the member counts as not handled (the name is unknown, or a late-bound call
// failed); then the machine goes on as for any unknown member.
bool callMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, const ScriptValue* args, ScriptValue* result);
bool getMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, ScriptValue* result);
bool putMember(ScriptVM* vm, IDispatch* object, const std::wstring& name, const ScriptValue& value);

// Whether the object's members can be bound through type information (script engines' objects cannot).
bool hasTypeInformation(IDispatch* object);

// A late-bound call by dispatch identifier with already converted arguments (in call order); the HRESULT
// of Invoke, failures reported unless asked not to.
HRESULT invokeById(ScriptVM* vm, IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result,
                   bool reportFailure = true);

}  // namespace vorlo::com
