#include "stdlib/date.h"

namespace vorlo {

// Not built yet: the class is not bound.
void registerDate(ScriptVM*) {}

}  // namespace vorlo
