// Helpers shared by the files that build the native classes (builtins.cpp, strings.cpp,
// filters.cpp, bitmap_data.cpp, asnative.cpp...): arguments, methods, classes, accessors, and the
// installers each of those files exports to Vm::installBuiltins.
#pragma once
#include <limits>
#include <vector>

#include "player/avm1/vm.h"
#include "player/swf/filter.h"

namespace vorlo::player::avm1 {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// The i-th argument, undefined when missing.
inline const Value& arg(const std::vector<Value>& args, size_t i) {
  static const Value undef;
  return i < args.size() ? args[i] : undef;
}

// A method (not enumerable) on `o`.
Function* method(Vm& vm, Object* o, const char* name, NativeFn fn, uint8_t flags = kDontEnum);
// A native constructor named `name` on `holder` (when not null) with `proto` as its prototype:
// `call` runs for a call, `construct` for `new` (null: `new` makes an object with `proto` and
// calls `call` on it).
Function* makeClass(Vm& vm, Object* holder, const char* name, NativeFn call, NativeFn construct, Object* proto);
// A property computed by native code, as the built-in classes have them on their prototypes.
// `minVersion`: the property exists only for movies of that SWF version or later.
void accessor(Vm& vm, Object* o, const char* name, NativeFn get, NativeFn set, uint8_t flags = kDontEnum,
              uint8_t minVersion = 0);

// The object a native method runs on, when it is of `kind`.
inline Object* selfOf(Value& self, Kind kind) {
  return self.isObject() && self.obj->kind == kind ? self.obj : nullptr;
}

void installStrings(Vm& vm, Object* global);      // strings.cpp
void installFilters(Vm& vm, Object* global);      // filters.cpp: flash.filters, filters of clips
void installNativeTables(Vm& vm, Object* global); // asnative.cpp: ASnative, ASSetNative...
void installBitmapData(Vm& vm, Object* global);   // bitmap_data.cpp: flash.display.BitmapData
void installSharedObject(Vm& vm, Object* global); // shared_object.cpp: SharedObject.getLocal
void installSound(Vm& vm, Object* global);        // sound.cpp: Sound
// A flash.filters object as the core's filter (false for anything else, and for the displacement
// map, which the core does not draw), and back.
bool toCoreFilter(const Value& v, Filter* out);
Value fromCoreFilter(Vm& vm, const Filter& f);

}  // namespace vorlo::player::avm1
