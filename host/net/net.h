// The network classes: Inet (HTTP, DNS MX).
#pragma once

namespace vorlo {

struct ScriptVM;

void registerInet(ScriptVM* vm);

}  // namespace vorlo
