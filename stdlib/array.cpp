#include "stdlib/array.h"

namespace vorlo {

void registerArray(ScriptVM*) {}

}  // namespace vorlo
