#include "stdlib/binding.h"

#include <vector>

#include "engine/convert.h"
#include "engine/pin.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/vm.h"
#include "util/platform.h"
#include "util/text.h"

namespace vorlo {
namespace {

// Class data of a class registered here: its member Atoms, parallel to its member table.
struct ClassData {
  std::vector<Atom> atoms;
  std::span<const Member> members;
  ScriptValue classObject;  // pinned for the life of the machine
  TypeKey dataType = nullptr;
};

const Member* findMember(const NativeClass* cls, Atom name) {
  auto* data = static_cast<const ClassData*>(cls->classData);
  if (!data) return nullptr;
  for (size_t i = 0; i < data->atoms.size(); ++i) {
    if (data->atoms[i] == name) return &data->members[i];
  }
  return nullptr;
}

int tableMethod(ScriptVM* vm, NativeClass* cls, void* self, Atom name, ScriptValue* result, const ScriptValue* args) {
  const Member* m = findMember(cls, name);
  if (!m || !m->method || (m->instanceOnly && !self)) return 0;
  MemberCall call{vm, cls, self, result, args};
  m->method(call);
  return 1;
}

int tableProperty(ScriptVM* vm, NativeClass* cls, void* self, Atom name, int isWrite, ScriptValue* value) {
  const Member* m = findMember(cls, name);
  if (!m || m->method || (m->instanceOnly && !self)) return 0;
  if (isWrite) {
    // A read-only property takes the write and keeps its value.
    if (m->set) m->set(vm, self, *value);
    return 1;
  }
  if (!m->get) return 0;
  m->get(vm, self, value);
  return 1;
}

void releaseClassData(void* data) { delete static_cast<ClassData*>(data); }

}  // namespace

NativeClass* registerClass(ScriptVM* vm, const ClassDef& def) {
  auto* data = new ClassData;
  data->members = def.members;
  data->dataType = def.data;
  for (const Member& m : def.members) data->atoms.push_back(intern(vm, m.name));
  NativeClass* cls;
  try {
    cls = newNativeClass(vm);
  } catch (...) {
    delete data;
    throw;
  }
  cls->classData = data;
  cls->classDataRelease = releaseClassData;
  cls->call = def.call;
  cls->construct = def.construct;
  cls->finalize = def.finalize;
  cls->mark = def.mark;
  bool hasMethods = false, hasProperties = false;
  for (const Member& m : def.members) (m.method ? hasMethods : hasProperties) = true;
  if (hasMethods) cls->method = tableMethod;
  if (hasProperties) cls->property = tableProperty;
  for (uint32_t kind = 0; kind < kKindCount; ++kind) {
    if (def.servesKinds & kindBit(kind)) vm->kindClasses[kind] = cls;
  }
  if (def.name) {
    ScriptValue classObject;
    makeInstance(vm, cls, nullptr, &classObject);
    pinValue(vm, classObject);
    data->classObject = classObject;
    setGlobal(vm, intern(vm, def.name), classObject);
  }
  return cls;
}

void registerGlobalFunctions(ScriptVM* vm, std::span<const GlobalFunction> functions) {
  for (const GlobalFunction& f : functions) {
    NativeClass* cls = newNativeClass(vm);
    cls->call = f.call;
    ScriptValue classObject;
    makeInstance(vm, cls, nullptr, &classObject);
    setGlobal(vm, intern(vm, f.name), classObject);
  }
}

void makeInstance(ScriptVM* vm, NativeClass* cls, void* data, ScriptValue* result) {
  *result = ScriptValue::native(newNativeObject(vm, cls, data));
}

ScriptValue classObjectOf(const NativeClass* cls) {
  if (cls->classDataRelease != releaseClassData) return ScriptValue::undefined();
  return static_cast<const ClassData*>(cls->classData)->classObject;
}

TypeKey classDataType(const NativeClass* cls) {
  if (!cls || cls->classDataRelease != releaseClassData) return nullptr;
  return static_cast<const ClassData*>(cls->classData)->dataType;
}

std::span<const Atom> memberAtoms(const NativeClass* cls) {
  if (cls->classDataRelease != releaseClassData) return {};
  return static_cast<const ClassData*>(cls->classData)->atoms;
}

std::string toAnsiText(ScriptVM* vm, const ScriptValue& value) {
  ScriptValue s = value.isString() ? value : toStringValue(vm, value);
  return stringToAnsi(s.asString());
}

void setStringFromAnsi(ScriptVM* vm, ScriptValue* result, const char* text, size_t length) {
  *result = ScriptValue::string(newStringFromAnsi(vm, text, text ? length : 0));
}

void setString(ScriptVM* vm, ScriptValue* result, const char16_t* chars, size_t length) {
  *result = ScriptValue::string(newOwnedString(vm, chars, length));
}

void setText(ScriptVM* vm, ScriptValue* result, std::string_view ascii) {
  ScriptString* s = newStringBuffer(vm, ascii.size());
  char16_t* chars = mutableChars(s);
  for (size_t i = 0; i < ascii.size(); i++) chars[i] = static_cast<unsigned char>(ascii[i]);
  *result = ScriptValue::string(s);
}

void setText(ScriptVM* vm, ScriptValue* result, std::u16string_view text) {
  *result = ScriptValue::string(newOwnedString(vm, text.data(), text.size()));
}

void setStaticString(ScriptVM* vm, ScriptValue* result, const char16_t* chars, size_t length) {
  *result = ScriptValue::string(newStaticString(vm, chars, length));
}

void setClassText(const MemberCall& call, std::u16string_view text) {
  setStaticString(call.vm, call.result, text.data(), text.size());
}

void addClassState(ScriptVM* vm, const ClassStateSlot& slot) {
  try {
    vm->classStates.push_back(slot);
  } catch (const std::bad_alloc&) {
    slot.release(slot.state);
    raiseOutOfMemory(vm);
  }
}

void osFailure(const MemberCall& call, uint32_t code, const ScriptValue& neutral) {
  *call.result = neutral;
  LastOsError* last = classState<LastOsError>(call.vm);
  if (!last) last = &installClassState(call.vm, std::make_unique<LastOsError>());
  last->code = code;
  last->text = utf8ToUtf16(os::errorText(code));
}

LastOsError lastOsError(const ScriptVM* vm) {
  const LastOsError* last = classState<LastOsError>(vm);
  return last ? *last : LastOsError{};
}
}  // namespace vorlo
