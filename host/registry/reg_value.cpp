#include "host/registry/reg_value.h"

#include <cstring>
#include <memory>

#include "engine/array.h"
#include "host/host_support.h"
#include "host/registry/registry_rules.h"
#include "stdlib/array.h"
#include "stdlib/array_store.h"

namespace vorlo {
namespace {

struct RegValueClass {
  NativeClass* cls = nullptr;
};

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  *result = makeInstance(vm, cls, std::make_unique<RegValueData>());
}

void toText(MemberCall& c) { setClassText(c, u"[object RegValue]"); }

RegValueData* valueOf(void* self) { return static_cast<RegValueData*>(self); }

void getName(ScriptVM* vm, void* self, ScriptValue* v) {
  RegValueData* d = valueOf(self);
  if (d->name) setText(vm, v, *d->name);
}
void setName(ScriptVM*, void* self, const ScriptValue& v) {
  if (v.isString()) valueOf(self)->name = std::u16string(stringView(v.asString()));
}
void getType(ScriptVM*, void* self, ScriptValue* v) { *v = ScriptValue::integer(valueOf(self)->type); }
void setType(ScriptVM*, void* self, const ScriptValue& v) {
  if (std::optional<int64_t> n = wholeNumber(v)) valueOf(self)->type = static_cast<uint32_t>(*n);
}

void getData(ScriptVM* vm, void* self, ScriptValue* v) {
  const RegValueData* d = valueOf(self);
  const uint8_t* bytes = d->data.data();
  size_t n = d->data.size();
  switch (d->type) {
    case kRegNone:
    case kRegBinary:
    case kRegLink:
      if (n) setStringFromAnsi(vm, v, reinterpret_cast<const char*>(bytes), n);
      break;
    case kRegDword:
      if (n >= 4) *v = ScriptValue::integer(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
      break;
    case kRegDwordBigEndian:
      if (n >= 4) *v = ScriptValue::integer(static_cast<int32_t>(uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24));
      break;
    case kRegMultiSz: {
      std::vector<std::u16string> strings = dataStrings(bytes, n);
      if (strings.empty()) break;
      ScriptValue list = newArrayValue(vm, 0);
      for (const std::u16string& s : strings) arrayAppend(vm, list.asArray(), ownedString(vm, s));
      *v = list;
      break;
    }
    default:
      if (d->type <= kRegResourceList) setText(vm, v, dataText(bytes, n));
      break;
  }
}

void appendUnits(std::vector<uint8_t>& out, std::u16string_view text, bool terminate) {
  for (char16_t u : text) out.insert(out.end(), {uint8_t(u & 0xFF), uint8_t(u >> 8)});
  if (terminate) out.insert(out.end(), {0, 0});
}
// Integers as 4 bytes, floats as 8, strings as UTF-16; with `inList` strings keep their terminator.
bool appendValue(std::vector<uint8_t>& out, const ScriptValue& v, bool inList) {
  if (v.kind == KindInteger) {
    uint32_t x = static_cast<uint32_t>(v.asInt());
    out.insert(out.end(), {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)});
  } else if (v.kind == KindFloat) {
    uint8_t b[8];
    double f = v.asFloat();
    std::memcpy(b, &f, 8);
    out.insert(out.end(), b, b + 8);
  } else if (v.isString()) {
    appendUnits(out, stringView(v.asString()), inList);
  } else {
    return false;
  }
  return true;
}
void setData(ScriptVM*, void* self, const ScriptValue& v) {
  std::vector<uint8_t> bytes;
  if (v.kind == KindArray) {
    for (const auto& [index, element] : storeElements(v.asArray())) appendValue(bytes, element, true);
  } else if (!appendValue(bytes, v, false)) {
    return;
  }
  valueOf(self)->data = std::move(bytes);
}

constexpr Member kMembers[] = {
    {"toString", toText},
    instanceProperty("name", getName, setName),
    instanceProperty("type", getType, setType),
    instanceProperty("data", getData, setData),
};

constexpr ClassDef kRegValue{.name = "RegValue", .members = kMembers, .construct = construct,
                             .finalize = finalizeData<RegValueData>, .data = typeKey<RegValueData>()};

}  // namespace

ScriptValue makeRegValue(ScriptVM* vm, RegValueData value) {
  return makeInstance(vm, classState<RegValueClass>(vm)->cls, std::make_unique<RegValueData>(std::move(value)));
}

RegValueData* regValueOf(ScriptVM* vm, const ScriptValue& value) {
  RegValueClass* state = classState<RegValueClass>(vm);
  return state ? dataOf<RegValueData>(value, state->cls) : nullptr;
}

void registerRegValue(ScriptVM* vm) {
  NativeClass* cls = registerClass(vm, kRegValue);
  installClassState(vm, std::make_unique<RegValueClass>(RegValueClass{cls}));
}

}  // namespace vorlo
