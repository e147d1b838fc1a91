// Data loading for scripts (LoadVars, XML.load, loadVariables) through the host's loader.
#pragma once
#include <string>

#include "player/avm1/vm.h"

namespace vorlo::player::avm1 {

void installLoading(Vm& vm, Object* global);
// "a=1&b=two" read into properties of `target` ('+' is a space, %XX a byte).
void decodeVariables(Vm& vm, Object* target, const std::string& text);

}  // namespace vorlo::player::avm1
