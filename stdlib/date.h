// The Date class.
#pragma once

namespace vorlo {

struct ScriptVM;
void registerDate(ScriptVM* vm);

}  // namespace vorlo
