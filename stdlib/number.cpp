// Number: the class of integer, float and NaN values, and the engine's number-to-text conversion
// (its "toString").
#include <cmath>
#include <limits>

#include "engine/convert.h"
#include "engine/string.h"
#include "engine/vm.h"
#include "stdlib/binding.h"
#include "stdlib/builtins.h"
#include "stdlib/number_text.h"

namespace vorlo {
namespace {

void numberCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  *result = argCount(args) < 1 ? ScriptValue::integer(0) : toNumber(vm, args[1]);
}

void numberConstruct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  numberCall(vm, cls, nullptr, result, args);
}

void getMax(ScriptVM*, void*, ScriptValue* v) { *v = ScriptValue::number(std::numeric_limits<double>::max()); }
void getMin(ScriptVM*, void*, ScriptValue* v) { *v = ScriptValue::number(std::numeric_limits<double>::min()); }
void getNaN(ScriptVM*, void*, ScriptValue* v) { *v = ScriptValue::nan(); }
void getNegativeInfinity(ScriptVM*, void*, ScriptValue* v) {
  *v = ScriptValue::number(-std::numeric_limits<double>::infinity());
}
void getPositiveInfinity(ScriptVM*, void*, ScriptValue* v) {
  *v = ScriptValue::number(std::numeric_limits<double>::infinity());
}

void format(MemberCall& call) {
  const ScriptValue* self = selfValue(call);
  ScriptValue spec = call.arg(0);
  if (self->kind == KindNaN) {
    setText(call.vm, call.result, std::string_view("NaN"));
  } else if (!spec.isString()) {
    *call.result = toStringValue(call.vm, *self);
  } else {
    FormatArgument a{self->kind == KindInteger, self->asInt(), self->asFloat()};
    setText(call.vm, call.result, std::u16string_view(formatNumber(stringView(spec.asString()), a)));
  }
}

void toInteger(MemberCall& call) {
  const ScriptValue* self = selfValue(call);
  if (!self || self->kind == KindNaN) {
    *call.result = ScriptValue::nan();
  } else if (self->kind == KindInteger) {
    *call.result = *self;
  } else {
    // Beyond the 64-bit range the result saturates; a not-a-number pattern gives NaN.
    double d = std::trunc(self->asFloat());
    if (std::isnan(d)) *call.result = ScriptValue::nan();
    else if (d >= 9223372036854775808.0) *call.result = ScriptValue::integer(std::numeric_limits<int64_t>::max());
    else if (d < -9223372036854775808.0) *call.result = ScriptValue::integer(std::numeric_limits<int64_t>::min());
    else *call.result = ScriptValue::integer(static_cast<int64_t>(d));
  }
}

void toString(MemberCall& call) {
  const ScriptValue* self = selfValue(call);
  if (!self) {
    setClassText(call, u"[type Function]");
    return;
  }
  switch (self->kind) {
    case KindInteger: {
      ScriptValue radix = call.arg(0);
      int r = isInteger(radix) && radix.asInt() >= 2 && radix.asInt() <= 36 ? static_cast<int>(radix.asInt()) : 10;
      setText(call.vm, call.result, std::string_view(integerText(self->asInt(), r)));
      break;
    }
    case KindFloat: setText(call.vm, call.result, std::string_view(floatText(self->asFloat()))); break;
    default: setStaticString(call.vm, call.result, u"NaN", 3); break;
  }
}

void valueOf(MemberCall& call) {
  const ScriptValue* self = selfValue(call);
  *call.result = self ? *self : classObjectOf(call.cls);
}

constexpr Member kMembers[] = {
    {"MAX_VALUE", nullptr, getMax},
    {"MIN_VALUE", nullptr, getMin},
    {"NaN", nullptr, getNaN},
    {"NEGATIVE_INFINITY", nullptr, getNegativeInfinity},
    {"POSITIVE_INFINITY", nullptr, getPositiveInfinity},
    instanceMethod("format", format),  // not a member of the class object
    {"toInteger", toInteger},
    {"toString", toString},
    {"valueOf", valueOf},
};

}  // namespace

void registerNumber(ScriptVM* vm) {
  registerClass(vm, ClassDef{.name = "Number",
                             .members = kMembers,
                             .call = numberCall,
                             .construct = numberConstruct,
                             .servesKinds = kindBit(KindInteger) | kindBit(KindFloat) | kindBit(KindNaN)});
}

}  // namespace vorlo
