// The global constants and functions every script sees ("NaN", "Infinity", trace ...).
#pragma once

namespace vorlo {

struct ScriptVM;

// Binds "NaN", "Infinity" and the global functions that exist so far, in their registration order.
void registerGlobals(ScriptVM* vm);

}  // namespace vorlo
