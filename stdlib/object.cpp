#include "stdlib/builtins.h"

namespace vorlo {

void registerBoolean(ScriptVM*) {}
void registerFunction(ScriptVM*) {}
void registerObject(ScriptVM*) {}

}  // namespace vorlo
