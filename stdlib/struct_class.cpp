#include "stdlib/struct_class.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "engine/gc.h"
#include "engine/properties.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/vm.h"
#include "stdlib/binding.h"

namespace vorlo {

namespace {

// The packing of new layouts: one for the process, as scripts expect of Struct.align.
uint32_t gPacking = 8;

// The memory of a structure, shared by the Struct and StructArray views on it and released with the
// last. Pointer members keep the value they stand for here, by their offset in the block.
struct StructMemory {
  std::vector<uint8_t> bytes;
  std::map<uint32_t, ScriptValue> pointed;
};

struct StructData {
  std::shared_ptr<StructMemory> memory;
  std::shared_ptr<const StructLayout> root;  // keeps `layout` alive when it is a nested one
  const StructLayout* layout;
  uint32_t base;  // where this view's structure starts in the block
};

struct StructArrayData {
  std::shared_ptr<StructMemory> memory;
  std::shared_ptr<const StructLayout> root;
  const StructMember* member;
  uint32_t base;  // where the structure holding the member starts
};

struct StructClasses {
  NativeClass* structClass = nullptr;
  NativeClass* arrayClass = nullptr;
  NativePropertyFn tableProperty = nullptr;  // the member table's own dispatch (align, structSize)
};

StructClasses& classes(ScriptVM* vm) { return *classState<StructClasses>(vm); }

std::u16string widened(std::string_view name) { return std::u16string(name.begin(), name.end()); }

std::optional<std::u16string> descriptorOf(ScriptVM* vm, std::u16string_view name) {
  std::string ansi(name.begin(), name.end());
  ScriptValue value = getGlobal(vm, intern(vm, ansi.c_str()));
  if (!value.isString()) return std::nullopt;
  return std::u16string(stringView(value.asString()));
}

std::shared_ptr<const StructLayout> layOut(ScriptVM* vm, std::u16string_view descriptor) {
  return layOutStructure(descriptor, gPacking, nativeStructTarget(),
                         [vm](std::u16string_view name) { return descriptorOf(vm, name); });
}

ScriptValue makeStruct(ScriptVM* vm, std::shared_ptr<StructMemory> memory, std::shared_ptr<const StructLayout> root,
                       const StructLayout* layout, uint32_t base) {
  auto data = std::make_unique<StructData>(StructData{std::move(memory), std::move(root), layout, base});
  return makeInstance(vm, classes(vm).structClass, std::move(data));
}

// --- scalar members ---

template <typename T>
T load(const uint8_t* at) {
  T v;
  std::memcpy(&v, at, sizeof v);
  return v;
}
template <typename T>
void store(uint8_t* at, T v) {
  std::memcpy(at, &v, sizeof v);
}

ScriptValue readScalar(uint32_t code, const uint8_t* at) {
  switch (code) {
    case kStructBoolean: return ScriptValue::boolean(load<uint32_t>(at) != 0);
    case kStructChar: return ScriptValue::integer(load<int8_t>(at));
    case kStructUnsignedChar: return ScriptValue::integer(load<uint8_t>(at));
    case kStructShort: return ScriptValue::integer(load<int16_t>(at));
    case kStructUnsignedShort: return ScriptValue::integer(load<uint16_t>(at));
    case kStructInt: return ScriptValue::integer(load<int32_t>(at));
    case kStructUnsignedInt: return ScriptValue::integer(load<uint32_t>(at));
    case kStructInt64:
    case kStructUnsignedInt64: return ScriptValue::integer(load<int64_t>(at));
    case kStructFloat: return ScriptValue::number(load<float>(at));
    case kStructDouble: return ScriptValue::number(load<double>(at));
    default: return ScriptValue::undefined();
  }
}

void writeScalar(ScriptVM* vm, uint32_t code, uint8_t* at, const ScriptValue& value) {
  ScriptValue n = toNumber(vm, value);
  if (code == kStructFloat || code == kStructDouble) {
    double d;
    if (n.kind == KindInteger) d = double(n.asInt());
    else if (n.kind == KindFloat) d = n.asFloat();
    else if (n.kind == KindBoolean) d = n.asBool() ? 1 : 0;
    else return;
    if (code == kStructFloat) store(at, float(d));
    else store(at, d);
    return;
  }
  // Integer widths keep the low bytes of an integer or boolean; a float or NaN stores nothing.
  int64_t i;
  if (n.kind == KindInteger) i = n.asInt();
  else if (n.kind == KindBoolean) i = n.asBool() ? 1 : 0;
  else return;
  switch (code) {
    case kStructBoolean: store<uint32_t>(at, i != 0 ? 1 : 0); break;
    case kStructChar:
    case kStructUnsignedChar: store<uint8_t>(at, uint8_t(i)); break;
    case kStructShort:
    case kStructUnsignedShort: store<uint16_t>(at, uint16_t(i)); break;
    case kStructInt:
    case kStructUnsignedInt: store<uint32_t>(at, uint32_t(i)); break;
    case kStructInt64:
    case kStructUnsignedInt64: store<int64_t>(at, i); break;
    default: break;
  }
}

// Which values a pointer member takes, by what it points to.
bool pointerAccepts(ScriptVM* vm, uint32_t code, const ScriptValue& value) {
  uint32_t base = code == kStructPointer ? code : (code & ~uint32_t(kStructPointerFlag));
  switch (base) {
    case kStructPointer: return true;
    case kStructBoolean: return value.kind == KindBoolean;
    case kStructFloat:
    case kStructDouble: return value.kind == KindFloat;
    case kStructNested:
      return value.kind == KindNative && value.asNative()->cls == classes(vm).structClass;
    default:  // char, short, int and int64 kinds and String
      return value.kind == KindBoolean || value.kind == KindInteger || value.isString() ||
             value.kind == KindNative;
  }
}

// --- one element of a member ---

ScriptValue readElement(ScriptVM* vm, const std::shared_ptr<StructMemory>& memory,
                        const std::shared_ptr<const StructLayout>& root, const StructMember& m, uint32_t base,
                        uint32_t index) {
  uint32_t at = base + m.offset + index * m.elementSize;
  if (m.isPointer()) {
    auto found = memory->pointed.find(at);
    return found == memory->pointed.end() ? ScriptValue::undefined() : found->second;
  }
  if (m.code == kStructNested) return makeStruct(vm, memory, root, m.nested.get(), at);
  return readScalar(m.code, memory->bytes.data() + at);
}

void writeElement(ScriptVM* vm, StructMemory& memory, const StructMember& m, uint32_t base, uint32_t index,
                  const ScriptValue& value) {
  uint32_t at = base + m.offset + index * m.elementSize;
  if (m.isPointer()) {
    if (pointerAccepts(vm, m.code, value)) memory.pointed[at] = value;
    return;
  }
  if (m.code == kStructNested) return;  // a nested structure is written through its own members
  writeScalar(vm, m.code, memory.bytes.data() + at, value);
}

// --- Struct ---

int structProperty(ScriptVM* vm, NativeClass* cls, void* self, Atom name, int isWrite, ScriptValue* value) {
  if (self && classDataType(cls) == typeKey<StructData>()) {
    auto* d = static_cast<StructData*>(self);
    if (const StructMember* m = d->layout->find(widened(atomName(vm, name)))) {
      if (isWrite) {
        if (!m->isArray()) writeElement(vm, *d->memory, *m, d->base, 0, *value);
      } else if (m->isArray()) {
        auto data = std::make_unique<StructArrayData>(StructArrayData{d->memory, d->root, m, d->base});
        *value = makeInstance(vm, classes(vm).arrayClass, std::move(data));
      } else {
        *value = readElement(vm, d->memory, d->root, *m, d->base, 0);
      }
      return 1;
    }
  }
  return classes(vm).tableProperty(vm, cls, self, name, isWrite, value);
}

void markStruct(ScriptVM* vm, NativeClass*, void* self) {
  for (auto& [offset, value] : static_cast<StructData*>(self)->memory->pointed) markValue(vm, value);
}
void markStructArray(ScriptVM* vm, NativeClass*, void* self) {
  for (auto& [offset, value] : static_cast<StructArrayData*>(self)->memory->pointed) markValue(vm, value);
}

void constructStruct(ScriptVM* vm, NativeClass*, const ScriptValue* args, ScriptValue* result) {
  *result = ScriptValue::null();
  if (argCount(args) < 1 || !args[1].isString()) return;
  std::shared_ptr<const StructLayout> layout = layOut(vm, stringView(args[1].asString()));
  if (!layout) return;
  auto memory = std::make_shared<StructMemory>();
  memory->bytes.assign(layout->size, 0);
  const StructLayout* raw = layout.get();
  *result = makeStruct(vm, std::move(memory), std::move(layout), raw, 0);
}

void callStruct(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  constructStruct(vm, cls, args, result);
}

void getAlign(ScriptVM*, void*, ScriptValue* value) { *value = ScriptValue::integer(gPacking); }
void setAlign(ScriptVM*, void*, const ScriptValue& value) {
  if (value.kind == KindInteger && validStructPacking(value.asInt())) gPacking = uint32_t(value.asInt());
}
void getStructSize(ScriptVM*, void* self, ScriptValue* value) {
  *value = ScriptValue::integer(static_cast<StructData*>(self)->layout->size);
}
void structText(MemberCall& c) { setClassText(c, u"[object Struct]"); }

constexpr Member kStructMembers[] = {
    {"align", nullptr, getAlign, setAlign},
    instanceProperty("structSize", getStructSize),
    {"toString", structText},
};

// --- StructArray ---

bool arrayGet(ScriptVM* vm, void* self, int64_t index, ScriptValue* out) {
  auto* d = static_cast<StructArrayData*>(self);
  if (!d || index < 0 || index >= d->member->count) return false;
  *out = readElement(vm, d->memory, d->root, *d->member, d->base, uint32_t(index));
  return true;
}

void arraySet(ScriptVM* vm, void* self, int64_t index, const ScriptValue& value) {
  auto* d = static_cast<StructArrayData*>(self);
  if (!d || index < 0 || index >= d->member->count) return;
  writeElement(vm, *d->memory, *d->member, d->base, uint32_t(index), value);
}

// On an instance: the member's bytes as ANSI text, up to the first zero byte or its end.
void arrayText(MemberCall& c) {
  StructArrayData* d = dataOf<StructArrayData>(c);
  if (!d) return setClassText(c, u"[object StructArray]");
  const uint8_t* at = d->memory->bytes.data() + d->base + d->member->offset;
  size_t n = 0;
  while (n < d->member->size && at[n]) n++;
  setStringFromAnsi(c.vm, c.result, reinterpret_cast<const char*>(at), n);
}

void constructNothing(ScriptVM*, NativeClass*, const ScriptValue*, ScriptValue* result) { *result = ScriptValue::null(); }

constexpr Member kArrayMembers[] = {{"toString", arrayText}};

void storeAddress(uint8_t* at, uintptr_t address) { std::memcpy(at, &address, sizeof address); }
uintptr_t loadAddress(const uint8_t* at) {
  uintptr_t address;
  std::memcpy(&address, at, sizeof address);
  return address;
}

// The buffer a pointer member's held value stands for, in the width of what it points to.
bool pointedBytes(ScriptVM* vm, uint32_t base, const ScriptValue& value, std::vector<uint8_t>* out) {
  if (value.isString()) {
    if (base == kStructShort || base == kStructUnsignedShort) {
      std::u16string_view text = stringView(value.asString());
      out->resize((text.size() + 1) * 2, 0);
      std::memcpy(out->data(), text.data(), text.size() * 2);
    } else {
      std::string text = stringToAnsi(value.asString());
      out->assign(text.begin(), text.end());
      out->push_back(0);
    }
    return true;
  }
  if (value.kind == KindFloat) {
    if (base == kStructFloat) out->resize(4), store(out->data(), float(value.asFloat()));
    else out->resize(8), store(out->data(), value.asFloat());
    return true;
  }
  if (value.kind == KindInteger || value.kind == KindBoolean) {
    int64_t i = value.kind == KindInteger ? value.asInt() : (value.asBool() ? 1 : 0);
    uint32_t width = 4;
    if (base == kStructChar || base == kStructUnsignedChar || base == kStructString) width = 1;
    else if (base == kStructShort || base == kStructUnsignedShort) width = 2;
    else if (base == kStructInt64 || base == kStructUnsignedInt64) width = 8;
    out->resize(width);
    std::memcpy(out->data(), &i, width);
    return true;
  }
  return false;
}

bool copyForNative(ScriptVM* vm, const ScriptValue& value, NativeStructCopy* copy, int depth);

// Pointer members of one structure view, nested structures included; copies of pointed structures
// are bounded by the nesting of layouts, one per member element.
void preparePointers(ScriptVM* vm, const StructMemory& memory, const StructLayout& layout, uint32_t base,
                     NativeStructCopy* copy, uint8_t* bytes, int depth) {
  for (const StructMember& m : layout.members) {
    for (uint32_t i = 0; i < m.elements(); i++) {
      uint32_t at = base + m.offset + i * m.elementSize;
      if (m.code == kStructNested && m.nested) {
        preparePointers(vm, memory, *m.nested, at, copy, bytes, depth);
        continue;
      }
      if (!m.isPointer()) continue;
      auto held = memory.pointed.find(at);
      if (held == memory.pointed.end()) continue;
      const ScriptValue& value = held->second;
      if (m.code == kStructPointer && value.kind == KindInteger) {
        storeAddress(bytes + at, uintptr_t(value.asInt()));
        continue;
      }
      std::vector<uint8_t> buffer;
      if (value.kind == KindNative) {
        // A structure that points to itself (directly or through others) is copied to a bounded depth.
        NativeStructCopy inner;
        if (depth >= kMaxStructNesting || !copyForNative(vm, value, &inner, depth + 1)) continue;
        buffer = std::move(inner.bytes);
        for (auto& b : inner.buffers) copy->buffers.push_back(std::move(b));
      } else if (!pointedBytes(vm, m.baseCode(), value, &buffer)) {
        continue;
      }
      if (buffer.empty()) buffer.push_back(0);
      copy->buffers.push_back(std::move(buffer));
      storeAddress(bytes + at, reinterpret_cast<uintptr_t>(copy->buffers.back().data()));
    }
  }
}

void readBackPointers(ScriptVM* vm, StructMemory& memory, const StructLayout& layout, uint32_t base,
                      const StructMemory* old, const NativeStructCopy* copy) {
  for (const StructMember& m : layout.members) {
    for (uint32_t i = 0; i < m.elements(); i++) {
      uint32_t at = base + m.offset + i * m.elementSize;
      if (m.code == kStructNested && m.nested) {
        readBackPointers(vm, memory, *m.nested, at, old, copy);
        continue;
      }
      if (!m.isPointer()) continue;
      uintptr_t address = loadAddress(memory.bytes.data() + at);
      ScriptValue value = address ? ScriptValue::integer(int64_t(intptr_t(address))) : ScriptValue::null();
      auto held = old ? old->pointed.find(at) : std::map<uint32_t, ScriptValue>::const_iterator{};
      if (address && old && held != old->pointed.end() && held->second.isString() && copy) {
        // Texts come back from our own buffers only, never past their end.
        for (const std::vector<uint8_t>& b : copy->buffers) {
          if (reinterpret_cast<uintptr_t>(b.data()) != address) continue;
          uint32_t pointee = m.baseCode();
          if (pointee == kStructShort || pointee == kStructUnsignedShort) {
            size_t n = 0;
            while (n + 1 < b.size() && (b[n] | b[n + 1])) n += 2;
            std::u16string text(n / 2, u'\0');
            std::memcpy(text.data(), b.data(), n);
            value = ownedString(vm, text);
          } else {
            size_t n = 0;
            while (n < b.size() && b[n]) n++;
            value = ScriptValue::string(newStringFromAnsi(vm, reinterpret_cast<const char*>(b.data()), n));
          }
        }
      }
      memory.pointed[at] = value;
    }
  }
}

bool copyForNative(ScriptVM* vm, const ScriptValue& value, NativeStructCopy* copy, int depth) {
  StructData* d = dataOf<StructData>(value, classes(vm).structClass);
  if (!d) return false;
  const uint8_t* from = d->memory->bytes.data() + d->base;
  copy->bytes.assign(from, from + d->layout->size);
  // Held values are kept by their offset in the whole block; this view may start inside it.
  StructMemory view;
  for (auto& [offset, v] : d->memory->pointed)
    if (offset >= d->base && offset - d->base < d->layout->size) view.pointed[offset - d->base] = v;
  preparePointers(vm, view, *d->layout, 0, copy, copy->bytes.data(), depth);
  return true;
}

}  // namespace

bool copyStructForNative(ScriptVM* vm, const ScriptValue& value, NativeStructCopy* copy) {
  return copyForNative(vm, value, copy, 0);
}

ScriptValue structFromNative(ScriptVM* vm, const ScriptValue& templateValue, const std::vector<uint8_t>& bytes,
                             const NativeStructCopy* copy) {
  StructData* d = dataOf<StructData>(templateValue, classes(vm).structClass);
  if (!d || bytes.size() != d->layout->size) return ScriptValue::undefined();
  StructMemory old;
  for (auto& [offset, v] : d->memory->pointed)
    if (offset >= d->base && offset < d->base + d->layout->size) old.pointed[offset - d->base] = v;
  auto memory = std::make_shared<StructMemory>();
  memory->bytes = bytes;
  readBackPointers(vm, *memory, *d->layout, 0, &old, copy);
  return makeStruct(vm, std::move(memory), d->root, d->layout, 0);
}

ScriptValue structFromNativeByName(ScriptVM* vm, std::u16string_view name, const std::vector<uint8_t>& bytes) {
  std::optional<std::u16string> descriptor = descriptorOf(vm, name);
  if (!descriptor) return ScriptValue::undefined();
  std::shared_ptr<const StructLayout> layout = layOut(vm, *descriptor);
  if (!layout || layout->size != bytes.size()) return ScriptValue::undefined();
  auto memory = std::make_shared<StructMemory>();
  memory->bytes = bytes;
  readBackPointers(vm, *memory, *layout, 0, nullptr, nullptr);
  const StructLayout* raw = layout.get();
  return makeStruct(vm, std::move(memory), std::move(layout), raw, 0);
}

StructTarget nativeStructTarget() { return StructTarget{uint32_t(sizeof(void*))}; }

uint32_t structTypeSize(ScriptVM* vm, std::u16string_view name) {
  std::optional<std::u16string> descriptor = descriptorOf(vm, name);
  if (!descriptor) return 0;
  std::shared_ptr<const StructLayout> layout = layOut(vm, *descriptor);
  return layout ? layout->size : 0;
}

void registerStruct(ScriptVM* vm) {
  StructClasses& state = installClassState(vm, std::make_unique<StructClasses>());
  state.structClass = registerClass(vm, ClassDef{.name = "Struct",
                                                 .members = kStructMembers,
                                                 .call = callStruct,
                                                 .construct = constructStruct,
                                                 .finalize = finalizeData<StructData>,
                                                 .mark = markStruct,
                                                 .data = typeKey<StructData>()});
  state.tableProperty = state.structClass->property;
  state.structClass->property = structProperty;
  state.arrayClass = registerClass(vm, ClassDef{.name = "StructArray",
                                                .members = kArrayMembers,
                                                .construct = constructNothing,
                                                .finalize = finalizeData<StructArrayData>,
                                                .mark = markStructArray,
                                                .data = typeKey<StructArrayData>()});
  IndexClasses index = vm->indexClasses;
  index.structArray = state.arrayClass;
  index.structArrayGet = arrayGet;
  index.structArraySet = arraySet;
  setIndexClasses(vm, index);
}

}  // namespace vorlo
