// Object, Function and Boolean: the classes of plain objects, function values and booleans.
#include <string>

#include "engine/convert.h"
#include "engine/embed.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/vm.h"
#include "stdlib/binding.h"
#include "stdlib/builtins.h"

namespace vorlo {
namespace {

void valueOf(MemberCall& call) {
  const ScriptValue* self = selfValue(call);
  *call.result = self ? *self : classObjectOf(call.cls);
}

// --- Object ---

bool isAbsent(const ScriptValue& v) { return v.kind == KindUndefined || v.kind == KindNull; }

void objectCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  int64_t n = argCount(args);
  if (n == 0 || (n == 1 && isAbsent(args[1]))) *result = ScriptValue::object(newObject(vm));
  else *result = toObject(vm, args[1]);
}

void objectConstruct(ScriptVM* vm, NativeClass*, const ScriptValue* args, ScriptValue* result) {
  if (argCount(args) < 1 || isAbsent(args[1])) *result = ScriptValue::object(newObject(vm));
  else if (args[1].isString()) *result = toObject(vm, args[1]);
  else *result = args[1];
}

void objectToString(MemberCall& call) {
  setClassText(call, selfValue(call) ? u"[object Object]" : u"[type Function]");
}

void objectToSource(MemberCall& call) {
  if (selfValue(call)) *call.result = ScriptValue::undefined();
  else setClassText(call, u"new Object()");
}

constexpr Member kObjectMembers[] = {
    {"toString", objectToString},
    {"toSource", objectToSource},
    {"valueOf", valueOf},
};

// --- Function ---

// new Function(p1, ..., pn, body): compiles "function (p1, ..., pn) {body}"; null when it does not
// compile.
void functionConstruct(ScriptVM* vm, NativeClass*, const ScriptValue* args, ScriptValue* result) {
  int64_t n = argCount(args);
  std::string text = "function (";
  for (int64_t i = 0; i + 1 < n; i++) {
    if (!args[1 + i].isString()) continue;
    text += stringToAnsi(args[1 + i].asString());
    if (i + 2 < n) text += ", ";
  }
  text += ") {";
  if (n >= 1 && args[n].isString()) text += stringToAnsi(args[n].asString());
  text += "}";
  uint32_t counter = vm->exec.anonymousCounter;
  *result = ScriptValue::null();
  ScriptValue saved = vm->result;
  if (runTextInMachine(vm, text.data(), text.size()) == 1) {
    std::string name = "@F_" + std::to_string(counter);
    ScriptValue f = getGlobal(vm, intern(vm, name.c_str()));
    if (f.kind == KindFunction) *result = f;
  }
  vm->result = saved;
}

void functionToString(MemberCall& call) { setClassText(call, u"[object Function]"); }

constexpr Member kFunctionMembers[] = {
    {"toString", functionToString},
    {"valueOf", valueOf},
};

// --- Boolean ---

void booleanCall(ScriptVM*, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  *result = ScriptValue::boolean(argCount(args) >= 1 && toBoolean(args[1]));
}

void booleanConstruct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  booleanCall(vm, cls, nullptr, result, args);
}

void booleanToString(MemberCall& call) {
  const ScriptValue* self = selfValue(call);
  if (!self) setClassText(call, u"[type Function]");
  else setClassText(call, self->asBool() ? u"true" : u"false");
}

constexpr Member kBooleanMembers[] = {
    {"toString", booleanToString},
    {"valueOf", valueOf},
};

}  // namespace

void registerBoolean(ScriptVM* vm) {
  registerClass(vm, ClassDef{.name = "Boolean",
                             .members = kBooleanMembers,
                             .call = booleanCall,
                             .construct = booleanConstruct,
                             .servesKinds = kindBit(KindBoolean)});
}

void registerFunction(ScriptVM* vm) {
  registerClass(vm, ClassDef{.name = "Function",
                             .members = kFunctionMembers,
                             .construct = functionConstruct,
                             .servesKinds = kindBit(KindFunction)});
}

void registerObject(ScriptVM* vm) {
  registerClass(vm, ClassDef{.name = "Object",
                             .members = kObjectMembers,
                             .call = objectCall,
                             .construct = objectConstruct,
                             .servesKinds = kindBit(KindObject)});
}

}  // namespace vorlo
