#include "stdlib/portable_classes.h"

#include "stdlib/array.h"
#include "stdlib/builtins.h"
#include "stdlib/date.h"
#include "stdlib/globals.h"
#include "stdlib/math.h"
#include "stdlib/regexp.h"
#include "stdlib/struct_class.h"

namespace vorlo {

namespace {

using Registration = void (*)(ScriptVM* vm);

constexpr Registration kLanguageClasses[] = {
    registerMath,    registerRegExp, registerArray,  registerBoolean,
    registerFunction, registerNumber, registerString, registerObject,
};

// The order of the full list (host/class_list.cpp) with the host classes left out; a later binding
// of the same name would win.
constexpr Registration kPortableClasses[] = {
    registerGlobals,
    registerDate,
    registerLanguageClasses,
    registerUriFunctions,
    registerStruct,  // Struct, StructArray
};

}  // namespace

void registerLanguageClasses(ScriptVM* vm) {
  for (Registration r : kLanguageClasses) r(vm);
}

void registerPortableClasses(ScriptVM* vm) {
  for (Registration r : kPortableClasses) r(vm);
}

Engine* createPortableEngine(const VMOptions* options) { return createEngine(options, registerPortableClasses); }

}  // namespace vorlo
