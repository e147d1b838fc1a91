// The portable class list: the built-in classes of Vorlo Script that need no operating-system
// layer. `vorlo run` on Linux and the engine tests use it; the Windows programs take the full list
// (host/class_list.h), which places these same registrations among the host classes.
#pragma once
#include "engine/embed.h"

namespace vorlo {

// Binds the portable classes into a new machine, in their fixed order.
void registerPortableClasses(ScriptVM* vm);

// The classes of the language itself, Math to Object, in the order they keep in every list (the full
// list places them after the file classes).
void registerLanguageClasses(ScriptVM* vm);

// An engine with the portable classes registered (null when it cannot be built).
Engine* createPortableEngine(const VMOptions* options = nullptr);

}  // namespace vorlo
