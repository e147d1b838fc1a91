// The four optimiser passes over a compiled instruction list, always run in this order: peephole,
// jump threading, dead local stores, unreachable code and labels.
#pragma once
#include "engine/instructions.h"

namespace vorlo {

void peepholePass(InstructionList& code);
void jumpThreadingPass(InstructionList& code);
void deadLocalStorePass(InstructionList& code);
void unreachableCodePass(InstructionList& code);

inline void optimize(InstructionList& code) {
  peepholePass(code);
  jumpThreadingPass(code);
  deadLocalStorePass(code);
  unreachableCodePass(code);
}

}  // namespace vorlo
