// Dll and DllParam: native functions of any DLL called from scripts (dllimport declarations compile
// to Dll.registerFunction).
#pragma once

namespace vorlo {

struct ScriptVM;

void registerDll(ScriptVM* vm);

}  // namespace vorlo
