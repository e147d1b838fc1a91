#include "stdlib/builtins.h"

namespace vorlo {

void registerString(ScriptVM*) {}

}  // namespace vorlo
