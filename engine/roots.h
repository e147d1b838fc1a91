// Scoped roots: the way native code keeps values alive while it works. A root links a few values into
// the VM for its lifetime; the collector marks them. Anything that may run script code (conversions
// of objects, comparators, callbacks) ends with a collection, so every value a native still needs
// afterwards - its arguments copied out, a half-built result, temporaries - goes into a root first.
//
//   ValueRoot result(vm, ScriptValue::object(newObject(vm)));
//   ScriptValue text = toStringValue(vm, arg);   // may collect; result.value survives
//
// Roots are strictly nested (they live on the C++ stack); they unlink themselves when an exception
// unwinds through them.
#pragma once
#include <cassert>
#include <cstddef>

#include "engine/value.h"
#include "engine/vm.h"

namespace vorlo {

// Linking a stack object into the VM is the point of a root; it unlinks itself before it goes away.
#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdangling-pointer"
#endif

class ValueRoot {
 public:
  explicit ValueRoot(ScriptVM* vm, const ScriptValue& v = ScriptValue()) : value(v), vm_(vm) {
    link_ = {vm->roots, &value, 1};
    vm->roots = &link_;
  }
  ~ValueRoot() {
    assert(vm_->roots == &link_ && "roots must be released in reverse order");
    vm_->roots = link_.prev;
  }
  ValueRoot(const ValueRoot&) = delete;
  ValueRoot& operator=(const ValueRoot&) = delete;

  ScriptValue value;

 private:
  ScriptVM* vm_;
  RootLink link_;
};

// N values kept alive together (all undefined to begin with).
template <size_t N>
class ValueRoots {
 public:
  explicit ValueRoots(ScriptVM* vm) : vm_(vm) {
    link_ = {vm->roots, values_, N};
    vm->roots = &link_;
  }
  ~ValueRoots() {
    assert(vm_->roots == &link_ && "roots must be released in reverse order");
    vm_->roots = link_.prev;
  }
  ValueRoots(const ValueRoots&) = delete;
  ValueRoots& operator=(const ValueRoots&) = delete;

  ScriptValue& operator[](size_t i) { return values_[i]; }

 private:
  ScriptValue values_[N] = {};
  ScriptVM* vm_;
  RootLink link_;
};

// Roots a run of values owned elsewhere (a std::vector's storage, say). Call reset() whenever that
// storage moves or changes size.
class SpanRoot {
 public:
  SpanRoot(ScriptVM* vm, ScriptValue* values, size_t count) : vm_(vm) {
    link_ = {vm->roots, values, count};
    vm->roots = &link_;
  }
  ~SpanRoot() {
    assert(vm_->roots == &link_ && "roots must be released in reverse order");
    vm_->roots = link_.prev;
  }
  SpanRoot(const SpanRoot&) = delete;
  SpanRoot& operator=(const SpanRoot&) = delete;

  void reset(ScriptValue* values, size_t count) {
    link_.values = values;
    link_.count = count;
  }

 private:
  ScriptVM* vm_;
  RootLink link_;
};

#if defined(__GNUC__) && !defined(__clang__) && __GNUC__ >= 12
#pragma GCC diagnostic pop
#endif

}  // namespace vorlo
