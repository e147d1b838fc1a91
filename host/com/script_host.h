// The ScriptHost class: Active Scripting engines run inside the program.
#pragma once

namespace vorlo {

struct ScriptVM;
void registerScriptHost(ScriptVM* vm);

}  // namespace vorlo
