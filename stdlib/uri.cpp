#include "stdlib/builtins.h"

namespace vorlo {

void registerUriFunctions(ScriptVM*) {}

}  // namespace vorlo
