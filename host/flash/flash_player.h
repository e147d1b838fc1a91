// FlashPlayer and MovieClip: the scripts' face of the projector's movie player control.
#pragma once
#include "engine/vm.h"

namespace vorlo {

// Registers FlashPlayer and MovieClip (after createControl's place in the class list).
void registerFlashPlayer(ScriptVM* vm);

}  // namespace vorlo
