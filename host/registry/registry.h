// RegKey and RegValue (the registry) and Ini (private profile files).
#pragma once

namespace vorlo {

struct ScriptVM;

void registerRegistry(ScriptVM* vm);  // RegKey, RegValue
void registerIni(ScriptVM* vm);

}  // namespace vorlo
