// Script values to VARIANTs and back: the general conversion (late-bound arguments, array elements),
// the conversion to a declared parameter type (typed calls), VARIANTs to script values (results,
// enumerated elements, event arguments) and the write-back of an event handler's by-reference result.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include "engine/value.h"

namespace vorlo::com {

// `out` must be empty (VT_EMPTY) and owns what is written. A value that cannot be converted (an array
// too long for a SAFEARRAY, nested too deeply) gives VT_EMPTY and a line on the trace output.
void toVariant(ScriptVM* vm, const ScriptValue& value, VARIANT* out);

// An argument for a parameter of declared type `type` (VT_BYREF for pointers, aliases resolved).
// By-reference values point into `storage`, which the caller clears after the call. A value that does
// not fit gives the omitted argument (VT_ERROR, DISP_E_PARAMNOTFOUND). `borrowed` is set when `out`
// holds a pointer the caller must not release.
void toTypedVariant(ScriptVM* vm, const ScriptValue& value, VARTYPE type, VARIANT* out, VARIANT* storage,
                    bool* borrowed);
void setOmitted(VARIANT* out);

// `want` (VT_EMPTY: none) is tried with VariantChangeType first when it differs from the own type.
ScriptValue fromVariant(ScriptVM* vm, const VARIANT& value, VARTYPE want = VT_EMPTY);

// Stores an event handler's result into a by-reference argument (the replaced string freed, the
// replaced interface released); targets of other kinds, and values that do not fit, stay as they are.
void writeBack(ScriptVM* vm, const ScriptValue& value, VARIANT& target);

// Time values (milliseconds) and OLE dates in the machine's local time.
double toOleDate(double ms);
double fromOleDate(double date);

}  // namespace vorlo::com
