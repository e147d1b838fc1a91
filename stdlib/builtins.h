// The value-kind classes Object, Function, Boolean, Number and String, and the URI functions.
#pragma once

namespace vorlo {

struct ScriptVM;

void registerBoolean(ScriptVM* vm);
void registerFunction(ScriptVM* vm);
void registerNumber(ScriptVM* vm);
void registerString(ScriptVM* vm);
void registerObject(ScriptVM* vm);
// decodeURI, encodeURI, decodeURIComponent, encodeURIComponent (bound with the projector's functions).
void registerUriFunctions(ScriptVM* vm);

}  // namespace vorlo
