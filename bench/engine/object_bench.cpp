// Property access by Atom: a linear scan of the slots, then the prototype chain.
#include <benchmark/benchmark.h>

#include <string>

#include "engine/gc.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/vm.h"

namespace vorlo {
namespace {

// An object with n properties; the one read is the last (the longest scan).
void BM_GetByAtom(benchmark::State& state) {
  ScriptVM* vm = createVM();
  ValueRoot root(vm, ScriptValue::object(newObject(vm)));
  ScriptObject* o = root.value.asObject();
  Atom last = 0;
  for (int i = 0; i < state.range(0); i++) {
    last = intern(vm, ("p" + std::to_string(i)).c_str());
    objectSet(vm, o, last, ScriptValue::integer(i));
  }
  ScriptValue v;
  for (auto _ : state) {
    benchmark::DoNotOptimize(objectGet(vm, o, last, &v));
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
  destroyVM(vm);
}
BENCHMARK(BM_GetByAtom)->Arg(1)->Arg(8)->Arg(32);

// A name found on the prototype of the prototype (three objects of 8 properties each).
void BM_GetThroughPrototypes(benchmark::State& state) {
  ScriptVM* vm = createVM();
  ValueRoot root(vm);
  ScriptObject* objects[3];
  for (ScriptObject*& o : objects) {
    o = newObject(vm);
    for (int i = 0; i < 7; i++)
      objectSet(vm, o, intern(vm, ("q" + std::to_string(i)).c_str()), ScriptValue::integer(i));
  }
  objectSet(vm, objects[0], vm->atoms.proto, ScriptValue::object(objects[1]));
  objectSet(vm, objects[1], vm->atoms.proto, ScriptValue::object(objects[2]));
  Atom name = intern(vm, "found");
  objectSet(vm, objects[2], name, ScriptValue::integer(1));
  root.value = ScriptValue::object(objects[0]);
  ScriptValue v;
  for (auto _ : state) {
    benchmark::DoNotOptimize(objectGet(vm, objects[0], name, &v));
    benchmark::DoNotOptimize(v);
  }
  state.SetItemsProcessed(state.iterations());
  destroyVM(vm);
}
BENCHMARK(BM_GetThroughPrototypes);

// Overwriting an existing property (the last of n).
void BM_SetByAtom(benchmark::State& state) {
  ScriptVM* vm = createVM();
  ValueRoot root(vm, ScriptValue::object(newObject(vm)));
  ScriptObject* o = root.value.asObject();
  Atom last = 0;
  for (int i = 0; i < state.range(0); i++) {
    last = intern(vm, ("p" + std::to_string(i)).c_str());
    objectSet(vm, o, last, ScriptValue::integer(i));
  }
  int64_t n = 0;
  for (auto _ : state) objectSet(vm, o, last, ScriptValue::integer(n++));
  state.SetItemsProcessed(state.iterations());
  destroyVM(vm);
}
BENCHMARK(BM_SetByAtom)->Arg(1)->Arg(8)->Arg(32);

// Building an object of 8 properties from nothing (slot growth included).
void BM_BuildObjectOf8(benchmark::State& state) {
  ScriptVM* vm = createVM();
  Atom names[8];
  for (int i = 0; i < 8; i++) names[i] = intern(vm, ("p" + std::to_string(i)).c_str());
  for (auto _ : state) {
    ScriptObject* o = newObject(vm);
    for (int i = 0; i < 8; i++) objectSet(vm, o, names[i], ScriptValue::integer(i));
    benchmark::DoNotOptimize(o);
    if (collectionDue(vm)) collectGarbage(vm);
  }
  state.SetItemsProcessed(state.iterations());
  destroyVM(vm);
}
BENCHMARK(BM_BuildObjectOf8);

}  // namespace
}  // namespace vorlo
