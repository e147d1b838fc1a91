#include "engine/gc.h"

#include <new>

#include "engine/array.h"
#include "engine/function.h"
#include "engine/interpreter.h"
#include "engine/native.h"
#include "engine/object.h"
#include "engine/pin.h"
#include "engine/string.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

// Mark-stack items for records that are not values of their own kind.
constexpr uint32_t kItemClass = 100;
constexpr uint32_t kItemWithList = 101;
// A native object that is never collected with its data: one held by the constant table lives as
// long as the machine, and unpinning a pinned one releases its data at once.
constexpr uint32_t kItemLastingNative = 102;

void queue(ScriptVM* vm, void* record, uint32_t kind) { vm->markStack.push_back({record, kind}); }

void markRecord(ScriptVM* vm, void* record, uint32_t kind) {
  if (record && heapTryMark(record)) queue(vm, record, kind);
}

// The census of blocks with finalizers (heap.h): a block counts once, when it is first marked.
void countFinalizer(ScriptVM* vm, const void* block, bool acts) {
  if (!(blockHeader(block) & kBlockFinalized)) return;
  FinalizerCensus& c = vm->heap.census;
  (acts ? c.acting : c.quiet)++;
}

// Compiled code: its finalizer returns the memory of the code.
void markCode(ScriptVM* vm, void* code) {
  if (code && heapTryMark(code)) countFinalizer(vm, code, false);
}

void scanNative(ScriptVM* vm, NativeObject* n, bool lastsForever) {
  // Its clean-up calls the class's finalize when there is native data; the data is given when the
  // object is made and only ever cleared, and a class's slots are set when it is registered.
  countFinalizer(vm, n, !lastsForever && n->data && n->cls && n->cls->finalize);
  markRecord(vm, n->cls, kItemClass);
  markRecord(vm, n->props, KindObject);
  if (n->cls && n->cls->mark && n->data) n->cls->mark(vm, n->cls, n->data);
}

void scanObject(ScriptVM* vm, ScriptObject* o) {
  markBlock(vm, o->slots);
  if (o->index) {
    markBlock(vm, o->index);
    markBlock(vm, o->bucketCounts);
    for (int b = 0; b < kNameIndexBuckets; b++)
      for (NameEntry* e = o->index[b]; e; e = e->next) markBlock(vm, e);
  }
  for (uint32_t i = 0; i < o->slotCount; i++) markValue(vm, o->slots[i].value);
}

void scan(ScriptVM* vm, const MarkItem& item) {
  switch (item.kind) {
    case KindObject:
      scanObject(vm, static_cast<ScriptObject*>(item.record));
      break;
    case KindString: {
      auto* s = static_cast<ScriptString*>(item.record);
      if (!isStatic(s)) markBlock(vm, const_cast<char16_t*>(s->chars));
      markRecord(vm, s->props, KindObject);
      break;
    }
    case KindFunction: {
      auto* f = static_cast<FunctionValue*>(item.record);
      markCode(vm, f->code);
      markRecord(vm, f->props, KindObject);
      break;
    }
    case KindArray: {
      auto* a = static_cast<ScriptArray*>(item.record);
      markRecord(vm, a->props, KindObject);
      // The element storage belongs to the class serving arrays, which marks it from its slot.
      NativeClass* cls = vm->kindClasses[KindArray];
      if (cls && cls->mark) cls->mark(vm, cls, a);
      break;
    }
    case KindNative:
      scanNative(vm, static_cast<NativeObject*>(item.record), false);
      break;
    case kItemLastingNative:
      scanNative(vm, static_cast<NativeObject*>(item.record), true);
      break;
    case kItemClass:
      // The record's clean-up only releases the class's own data.
      countFinalizer(vm, item.record, false);
      markRecord(vm, static_cast<NativeClass*>(item.record)->statics, KindObject);
      break;
    case kItemWithList: {
      auto* w = static_cast<WithList*>(item.record);
      for (uint64_t i = 0; i < w->count; i++) markValue(vm, w->values[i]);
      break;
    }
  }
}

// The stack is walked upward from the stack pointer. The first header slot of a frame met this way is
// its lowest, the return slot (a frame link), so the frame's fp lies kFrameReturnSlot above it; the
// header's slots are not values and are skipped, except for the with-list.
void markStack(ScriptVM* vm) {
  ScriptValue* top = stackTop(vm);
  for (ScriptValue* p = vm->stackPointer + 1; p < top;) {
    if (p->is(KindFrameLink)) {
      ScriptValue* fp = p + kFrameReturnSlot;
      if (fp - kFrameWithListSlot < top) markRecord(vm, fp[-kFrameWithListSlot].asPointer(), kItemWithList);
      p = fp + 1;
    } else {
      markValue(vm, *p++);
    }
  }
}

void markRoots(ScriptVM* vm) {
  // The native objects held by constants and pins first, so that they are known as lasting even
  // when a global refers to them too.
  auto markLasting = [vm](const ScriptValue& v) {
    if (v.is(KindNative)) {
      markRecord(vm, v.asPointer(), kItemLastingNative);
    } else {
      markValue(vm, v);
    }
  };
  for (uint32_t i = 0; i < vm->constants.count; i++) markLasting(vm->constants.values[i]);
  for (PinnedValue* p = vm->pinned; p; p = p->next) markLasting(p->value);
  for (uint32_t i = 0; i < vm->globals.count; i++) markValue(vm, vm->globals.values[i]);
  for (NativeClass* cls : vm->kindClasses) markRecord(vm, cls, kItemClass);
  for (RootLink* r = vm->roots; r; r = r->prev)
    for (size_t i = 0; i < r->count; i++) markValue(vm, r->values[i]);
  for (const ClassStateSlot& slot : vm->classStates)
    if (slot.mark) slot.mark(vm, slot.state);
  markValue(vm, vm->result);
  markValue(vm, vm->exec.exception);
  for (void* code : vm->exec.runningCode) markCode(vm, code);
  markStack(vm);
}

void drain(ScriptVM* vm) {
  while (!vm->markStack.empty()) {
    MarkItem item = vm->markStack.back();
    vm->markStack.pop_back();
    scan(vm, item);
  }
}

}  // namespace

void markBlock(ScriptVM*, void* block) {
  if (block) heapTryMark(block);
}

void markValue(ScriptVM* vm, const ScriptValue& value) {
  if (value.isHeapKind()) markRecord(vm, value.asPointer(), value.kind);
}

bool collectionDue(const ScriptVM* vm) { return heapCollectionDue(vm->heap); }

void collectGarbage(ScriptVM* vm) {
  FinalizerCensus& census = vm->heap.census;
  census.known = false;
  census.quiet = census.acting = 0;
  try {
    markRoots(vm);
    drain(vm);
  } catch (...) {
    // The mark stack could not grow (or a native mark slot failed). A half-marked heap must not be
    // swept; clear the marks so the next collection starts clean, and report the failure.
    vm->markStack.clear();
    heapClearMarks(vm);
    raiseOutOfMemory(vm);
  }
  heapSweep(vm);
  // Survivors with a finalizer that the marker did not meet as a known record may act.
  uint64_t named = census.quiet + census.acting;
  census.mayAct = census.acting + (census.surviving > named ? census.surviving - named : 0);
  census.known = true;
}

void collectAfterRun(ScriptVM* vm) {
  Heap& heap = vm->heap;
  const FinalizerCensus& census = heap.census;
  // A collection here could only return memory when no block in the heap has a finalizer that acts:
  // none survived the last full collection and none has been made since. Then the marking and
  // sweeping wait, while the heap has grown by less than one collection's allowance; the counters
  // move as for a collection, so the collections that follow come when they would have come.
  if (census.known && census.mayAct == 0 && census.madeSince == 0 &&
      heap.bytesSinceSweep < collectionAllowance(heap)) {
    heap.bytesSinceCollection = 0;
    heap.collections++;
    return;
  }
  collectGarbage(vm);
}

}  // namespace vorlo
