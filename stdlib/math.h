// The Math object.
#pragma once

namespace vorlo {

struct ScriptVM;
void registerMath(ScriptVM* vm);

}  // namespace vorlo
