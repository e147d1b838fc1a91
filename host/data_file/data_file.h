// DataFile: named global variables, with their object and array structure, stored in an INI file.
#pragma once

namespace vorlo {

struct ScriptVM;

void registerDataFile(ScriptVM* vm);

}  // namespace vorlo
