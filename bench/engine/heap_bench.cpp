// Allocation from the collected heap and full collections.
#include <benchmark/benchmark.h>

#include "engine/gc.h"
#include "engine/heap.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/vm.h"

namespace vorlo {
namespace {

constexpr int kBatch = 10000;

// Blocks of one size; every batch is dropped and collected outside the timed part.
void BM_HeapAlloc(benchmark::State& state) {
  ScriptVM* vm = createVM();
  size_t size = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < kBatch; i++) benchmark::DoNotOptimize(heapAlloc(vm, size));
    state.PauseTiming();
    collectGarbage(vm);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kBatch);
  destroyVM(vm);
}
BENCHMARK(BM_HeapAlloc)->Arg(16)->Arg(64)->Arg(256)->Arg(4096);

// Allocation as scripts see it: new objects and strings, collections included when due.
void BM_NewObjectWithCollections(benchmark::State& state) {
  ScriptVM* vm = createVM();
  Atom a = intern(vm, "a");
  for (auto _ : state) {
    ScriptObject* o = newObject(vm);
    objectSet(vm, o, a, ScriptValue::integer(1));
    benchmark::DoNotOptimize(o);
    if (collectionDue(vm)) collectGarbage(vm);
  }
  state.SetItemsProcessed(state.iterations());
  destroyVM(vm);
}
BENCHMARK(BM_NewObjectWithCollections);

void BM_NewStringWithCollections(benchmark::State& state) {
  ScriptVM* vm = createVM();
  const std::u16string text(static_cast<size_t>(state.range(0)), u'x');
  for (auto _ : state) {
    benchmark::DoNotOptimize(newOwnedString(vm, text.data(), text.size()));
    if (collectionDue(vm)) collectGarbage(vm);
  }
  state.SetItemsProcessed(state.iterations());
  destroyVM(vm);
}
BENCHMARK(BM_NewStringWithCollections)->Arg(8)->Arg(100);

// A heap of one million small objects (two properties each) held by one object: the time of a full
// collection that keeps them all, and of one that reclaims them all.
void BM_FullCollection(benchmark::State& state) {
  const bool keep = state.range(0) != 0;
  ScriptVM* vm = createVM();
  Atom x = intern(vm, "x"), y = intern(vm, "y");
  ValueRoot holder(vm);
  for (auto _ : state) {
    state.PauseTiming();
    holder.value = ScriptValue::object(newObject(vm));
    for (int i = 0; i < 1000000; i++) {
      ScriptObject* o = newObject(vm);
      objectSet(vm, o, x, ScriptValue::integer(i));
      objectSet(vm, o, y, ScriptValue::integer(-i));
      objectSetByKey(vm, holder.value.asObject(), ScriptValue::integer(i), ScriptValue::object(o));
    }
    if (!keep) holder.value = ScriptValue::undefined();
    state.ResumeTiming();
    collectGarbage(vm);
    state.PauseTiming();
    holder.value = ScriptValue::undefined();
    collectGarbage(vm);
    state.ResumeTiming();
  }
  state.counters["heap_MB"] = static_cast<double>(vm->heap.chunkBytes) / (1 << 20);
  destroyVM(vm);
}
BENCHMARK(BM_FullCollection)->ArgName("live")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
}  // namespace vorlo
