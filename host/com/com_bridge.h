// The COM bridge's classes as the rest of the bridge sees them: ActiveXObject values made from and
// taken apart into IDispatch pointers, and the classes' registration.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include "engine/value.h"

namespace vorlo {

struct ScriptVM;

namespace com {

// A new ActiveXObject for `object` with a reference of its own (its events connected); null for a
// null pointer or when the class is not registered.
ScriptValue wrapDispatch(ScriptVM* vm, IDispatch* object);
// The IDispatch of an ActiveXObject value (no reference added); null for anything else.
IDispatch* dispatchOf(ScriptVM* vm, const ScriptValue& value);
// The time value of a Date value, in milliseconds; false for anything else.
bool dateTimeOf(ScriptVM* vm, const ScriptValue& value, double* ms);

}  // namespace com

// Binds ActiveXObject and Enumerator, and starts COM for the calling thread.
void registerActiveX(ScriptVM* vm);
// Binds Enumerator (registerActiveX does it after ActiveXObject).
void registerEnumerator(ScriptVM* vm);

}  // namespace vorlo
