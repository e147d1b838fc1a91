// The collector: mark from the roots, then sweep (heap.h). Marking never recurses: marking a value
// only sets its block's mark bit and, when the record has children, queues it on the VM's mark stack;
// one loop drains the stack. Chains of any length and graphs of any fan-out are therefore marked with
// constant native stack, and native `mark` slots called from the loop only queue more work.
#pragma once
#include "engine/value.h"

namespace vorlo {

// Marks a value and (through the mark loop) everything it reaches. Native classes call it from their
// `mark` slot.
void markValue(ScriptVM* vm, const ScriptValue& value);
// Marks a block that holds no script values (character blocks, native data kept in the heap).
void markBlock(ScriptVM* vm, void* block);

// A full collection. Roots: the constant and global tables, the value-kind classes, the pinned
// values, the scoped roots, the result value and the value stack above the stack pointer.
void collectGarbage(ScriptVM* vm);
// The collection that ends every run of the interpreter. Its outcome is that of collectGarbage: when
// no finalizer in the heap could act, the work of marking and sweeping may be left to a later
// collection (at most one threshold of allocation later); only memory is returned later.
void collectAfterRun(ScriptVM* vm);
// True when the bytes allocated since the last collection have reached the threshold.
bool collectionDue(const ScriptVM* vm);

}  // namespace vorlo
