#include "stdlib/math.h"

namespace vorlo {

// Not built yet: the class is not bound.
void registerMath(ScriptVM*) {}

}  // namespace vorlo
