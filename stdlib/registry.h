// The one list of native class registrations, run when an engine is created.
#pragma once
#include "engine/embed.h"

namespace vorlo {

// Binds every native class into a new machine, in the fixed registration order.
void registerAllClasses(ScriptVM* vm);

// An engine with every native class registered (null when it cannot be built).
Engine* createStandardEngine(const VMOptions* options = nullptr);

}  // namespace vorlo
