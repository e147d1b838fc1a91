#include "stdlib/builtins.h"

namespace vorlo {

void registerNumber(ScriptVM*) {}

}  // namespace vorlo
