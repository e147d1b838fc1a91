// The full class list of the Windows programs: the portable classes and the host classes, in the
// one fixed registration order. The only place that sees both layers.
#pragma once
#include "engine/embed.h"

namespace vorlo {

// Binds every native class into a new machine, in the fixed registration order.
void registerAllClasses(ScriptVM* vm);

// An engine with every native class registered (null when it cannot be built).
Engine* createFullEngine(const VMOptions* options = nullptr);

}  // namespace vorlo
