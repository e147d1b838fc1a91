// Dll and DllParam: functions of any DLL registered as script functions (`Dll.registerFunction`, and
// `dllimport` declarations, which compile to it), their arguments marshalled into argument bytes and
// temporary buffers, out-values written back into object arguments, and raw reads at addresses.
#include "host/dll/dll_class.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "engine/object.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "host/dll/native_call.h"
#include "host/streams/string_stream.h"
#include "stdlib/binding.h"
#include "stdlib/struct_class.h"
#include "util/text.h"

namespace vorlo {

namespace {

enum BaseType : uint32_t {
  kVoid = 0, kChar = 1, kByte = 2, kShort = 3, kUShort = 4, kLong = 5, kULong = 6,
  kInt64 = 7, kFloat = 8, kDouble = 9, kPointer = 10, kBuffer = 11,
};

constexpr uint32_t kPointerSize = sizeof(void*);
constexpr uint32_t kMaxParamSize = 64 * 1024;  // DllParam sizes and structure arguments

struct ParamType {
  bool byRef = false;
  uint32_t base = kVoid;
  uint32_t size = 0;
  std::u16string structName;
};

struct TypeName {
  const char* name;
  bool byRef;
  uint32_t base;
  uint32_t size;  // 0: the pointer size
};

// Names compared without regard to case.
constexpr TypeName kTypeNames[] = {
    {"void", false, kVoid, 0},          {"void*", false, kPointer, 0},    {"char", false, kChar, 1},
    {"char*", true, kChar, 0},          {"string", true, kChar, 0},       {"byte", false, kByte, 1},
    {"byte*", true, kByte, 0},          {"short", false, kShort, 2},      {"short*", true, kShort, 0},
    {"widestring", true, kShort, 0},    {"ushort", false, kUShort, 2},    {"ushort*", true, kUShort, 0},
    {"long", false, kLong, 4},          {"long*", true, kLong, 0},        {"ulong", false, kULong, 4},
    {"ulong*", true, kULong, 0},        {"longlong", false, kInt64, 8},   {"float", false, kFloat, 4},
    {"float*", true, kFloat, 0},        {"double", false, kDouble, 8},    {"double*", true, kDouble, 0},
    {"unsigned char", false, kByte, 1}, {"unsigned char*", true, kByte, 0}, {"unsigned short", false, kUShort, 2},
    {"unsigned short*", true, kUShort, 0}, {"int", false, kLong, 4},      {"int*", true, kLong, 0},
    {"unsigned int", false, kULong, 4}, {"unsigned int*", true, kULong, 0}, {"int64", false, kInt64, 8},
    {"int64*", true, kInt64, 0},        {"unsigned int64", false, kInt64, 8}, {"unsigned int64*", true, kInt64, 0},
    {"String*", false, kPointer, 0},    {"pointer", false, kPointer, 0},  {"pointer*", false, kPointer, 0},
    {"Boolean", false, kLong, 4},       {"Boolean*", true, kLong, 0},
    // What dllimport declarations also write: unsigned long is the unsigned 32-bit type.
    {"unsigned long", false, kULong, 4}, {"unsigned long*", true, kULong, 0},
};

bool sameNoCase(std::u16string_view a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; i++) {
    char16_t x = a[i], y = char16_t(b[i]);
    if (x >= u'A' && x <= u'Z') x = char16_t(x - u'A' + u'a');
    if (y >= u'A' && y <= u'Z') y = char16_t(y - u'A' + u'a');
    if (x != y) return false;
  }
  return true;
}

// A type name through the table, else a structure name (a trailing "*" passes it by reference).
ParamType typeFromName(ScriptVM* vm, std::u16string_view name) {
  for (const TypeName& t : kTypeNames)
    if (sameNoCase(name, t.name)) return ParamType{t.byRef, t.base, t.size ? t.size : kPointerSize, {}};
  ParamType p;
  if (!name.empty() && name.back() == u'*') p.byRef = true, name.remove_suffix(1);
  uint32_t size = structTypeSize(vm, name);
  if (size < 1) return ParamType{};
  p.base = kBuffer;
  p.size = size;
  p.structName = std::u16string(name);
  return p;
}

// --- DllParam ---

struct DllParamData {
  ParamType type;
};

struct DllClasses {
  NativeClass* param = nullptr;
  NativeClass* dll = nullptr;
};

void constructParam(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  *result = ScriptValue::null();
  int64_t n = argCount(args);
  if (n < 2 || args[1].kind != KindInteger || args[2].kind != KindInteger) return;
  int64_t size = args[1].asInt();
  if (size < 1 || size > kMaxParamSize) return;
  auto data = std::make_unique<DllParamData>();
  data->type.byRef = args[2].asInt() != 0;
  data->type.base = kBuffer;
  data->type.size = uint32_t(size);
  if (n >= 3 && args[3].isString()) data->type.structName = std::u16string(stringView(args[3].asString()));
  *result = makeInstance(vm, cls, std::move(data));
}
void callParam(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  constructParam(vm, cls, args, result);
}
void paramText(MemberCall& c) { setClassText(c, u"[object DllParam]"); }
constexpr Member kParamMembers[] = {{"toString", paramText}};

// --- loaded libraries: one load per module, counted by the functions registered from it ---

std::map<HMODULE, uint32_t>& libraryUses() {
  static std::map<HMODULE, uint32_t> uses;  // process-wide, as modules are
  return uses;
}
void addLibraryUse(HMODULE module) {
  auto& uses = libraryUses();
  auto found = uses.find(module);
  if (found != uses.end()) {
    FreeLibrary(module);  // the extra load of a module already held
    found->second++;
  } else {
    uses[module] = 1;
  }
}
void releaseLibraryUse(HMODULE module) {
  auto& uses = libraryUses();
  auto found = uses.find(module);
  if (found == uses.end()) return;
  if (--found->second == 0) {
    uses.erase(found);
    FreeLibrary(module);
  }
}

// --- registered functions ---

struct NativeFunction {
  void* entry = nullptr;
  HMODULE module = nullptr;
  CallConvention convention = CallConvention::Stdcall;
  ParamType returns;
  std::vector<ParamType> params;
};

// One call's temporary memory: buffers by reference, structure copies, and what to write back.
struct CallBuffers {
  std::vector<std::vector<uint8_t>> buffers;
  std::vector<NativeStructCopy> copies;
};
struct OutValue {
  ScriptValue object;   // the object argument whose "value" is replaced
  ScriptValue old;      // its old "value"
  size_t buffer;        // index into CallBuffers::buffers, or the copy for a Struct
  bool isStruct;
  ParamType type;
};

uint32_t widthOf(uint32_t base) {
  switch (base) {
    case kChar: case kByte: return 1;
    case kShort: case kUShort: return 2;
    case kLong: case kULong: case kFloat: return 4;
    case kInt64: case kDouble: return 8;
    case kPointer: return kPointerSize;
    default: return 0;
  }
}

// A number in the width of a base code: integers truncated, floats and doubles converted.
bool numberBytes(const ScriptValue& v, uint32_t base, std::vector<uint8_t>* out) {
  double d;
  int64_t i;
  if (v.kind == KindInteger || v.kind == KindBoolean) {
    i = v.kind == KindInteger ? v.asInt() : (v.asBool() ? 1 : 0);
    d = double(i);
  } else if (v.kind == KindFloat) {
    d = v.asFloat();
    i = std::isnan(d) || std::isinf(d) ? 0 : truncateToInt64(d);
  } else if (v.isString() && v.asString()->length > 0) {
    i = v.asString()->chars[0];
    d = double(i);
  } else {
    return false;
  }
  uint32_t width = widthOf(base);
  if (width == 0) return false;
  out->assign(width, 0);
  if (base == kFloat) {
    float f = float(d);
    std::memcpy(out->data(), &f, 4);
  } else if (base == kDouble) {
    std::memcpy(out->data(), &d, 8);
  } else {
    std::memcpy(out->data(), &i, width);
  }
  return true;
}

ScriptValue valueProperty(ScriptVM* vm, const ScriptValue& object) {
  ScriptValue out;
  objectGet(vm, object.asObject(), intern(vm, "value"), &out);
  return out;
}

class Marshaller {
 public:
  Marshaller(ScriptVM* vm, CallBuffers& temp, std::vector<OutValue>& outs) : vm_(vm), temp_(temp), outs_(outs) {}

  // False when the argument cannot be marshalled.
  bool argument(const ScriptValue& given, const ParamType& type, NativeArgument* out) {
    ScriptValue v = given;
    ScriptValue object;
    if (v.kind == KindObject) {
      object = v;
      v = valueProperty(vm_, v);
      if (v.kind == KindObject) return false;
    }
    if (type.byRef) return byReference(v, object, type, out);
    return byValue(v, object, type, out);
  }

 private:
  NativeArgument address(const void* p) {
    NativeArgument a;
    uintptr_t bits = reinterpret_cast<uintptr_t>(p);
    a.bytes.resize(sizeof bits);
    std::memcpy(a.bytes.data(), &bits, sizeof bits);
    return a;
  }

  size_t keep(std::vector<uint8_t> bytes) {
    if (bytes.empty()) bytes.push_back(0);
    temp_.buffers.push_back(std::move(bytes));
    return temp_.buffers.size() - 1;
  }

  bool byValue(const ScriptValue& v, const ScriptValue& object, const ParamType& type, NativeArgument* out) {
    if (v.kind == KindNull) {
      if (type.base != kPointer) return false;
      *out = address(nullptr);
      return true;
    }
    if (MemoryStream* stream = stringStreamOf(vm_, v)) {
      if (type.base == kPointer) {
        size_t b = keep(stream->bytes());
        *out = address(temp_.buffers[b].data());
        if (object.kind == KindObject) outs_.push_back({object, v, b, false, ParamType{true, kBuffer, uint32_t(stream->length()), {}}});
        return true;
      }
      if (type.base != kBuffer) return false;
      out->kind = NativeKind::Aggregate;
      out->bytes.assign(type.size, 0);
      std::memcpy(out->bytes.data(), stream->bytes().data(), std::min<size_t>(type.size, stream->length()));
      return true;
    }
    NativeStructCopy copy;
    if (copyStructForNative(vm_, v, &copy)) {
      if (type.base == kPointer) {
        temp_.copies.push_back(std::move(copy));
        *out = address(temp_.copies.back().bytes.data());
        if (object.kind == KindObject) outs_.push_back({object, v, temp_.copies.size() - 1, true, type});
        return true;
      }
      if (type.base != kBuffer || copy.bytes.size() != type.size) return false;
      out->kind = NativeKind::Aggregate;
      out->bytes = copy.bytes;
      temp_.copies.push_back(std::move(copy));
      return true;
    }
    if (type.base < kChar || type.base > kPointer) return false;
    if (!numberBytes(v, type.base, &out->bytes)) return false;
    out->kind = type.base == kFloat ? NativeKind::Float : type.base == kDouble ? NativeKind::Double : NativeKind::Integer;
    return true;
  }

  bool byReference(const ScriptValue& v, const ScriptValue& object, const ParamType& type, NativeArgument* out) {
    if (v.kind == KindNull) {
      *out = address(nullptr);
      return true;
    }
    std::vector<uint8_t> bytes;
    if (MemoryStream* stream = stringStreamOf(vm_, v)) {
      if (type.base == kPointer) return false;
      bytes = stream->bytes();
      if (type.base == kBuffer) bytes.resize(type.size, 0);  // a short stream: zeros, never heap contents
    } else if (v.kind == KindNative) {
      NativeStructCopy copy;
      if (!copyStructForNative(vm_, v, &copy) || type.base == kPointer) return false;
      if (type.base == kBuffer && copy.bytes.size() != type.size) return false;
      temp_.copies.push_back(std::move(copy));
      *out = address(temp_.copies.back().bytes.data());
      if (object.kind == KindObject) outs_.push_back({object, v, temp_.copies.size() - 1, true, type});
      return true;
    } else if (v.isString() && (type.base == kChar || type.base == kByte)) {
      std::string text = stringToAnsi(v.asString());
      bytes.assign(text.begin(), text.end());
      bytes.push_back(0);
    } else if (v.isString() && (type.base == kShort || type.base == kUShort)) {
      std::u16string_view text = stringView(v.asString());
      bytes.assign((text.size() + 1) * 2, 0);
      std::memcpy(bytes.data(), text.data(), text.size() * 2);
    } else if (type.base >= kChar && type.base <= kDouble) {
      if (!numberBytes(v, type.base, &bytes)) return false;
    } else {
      return false;
    }
    size_t b = keep(std::move(bytes));
    *out = address(temp_.buffers[b].data());
    if (object.kind == KindObject) outs_.push_back({object, v, b, false, type});
    return true;
  }

  ScriptVM* vm_;
  CallBuffers& temp_;
  std::vector<OutValue>& outs_;
};

ScriptValue bytesAsStream(ScriptVM* vm, const std::vector<uint8_t>& bytes) {
  auto stream = std::make_unique<MemoryStream>();
  stream->write(bytes.data(), bytes.size());
  return makeStringStream(vm, std::move(stream));
}

ScriptValue outValue(ScriptVM* vm, const OutValue& o, const CallBuffers& temp) {
  if (o.isStruct) {
    const NativeStructCopy& copy = temp.copies[o.buffer];
    return structFromNative(vm, o.old, copy.bytes, &copy);
  }
  const std::vector<uint8_t>& b = temp.buffers[o.buffer];
  size_t s = b.size();
  auto text8 = [&] {
    size_t n = 0;
    while (n < s && b[n]) n++;
    return ScriptValue::string(newStringFromAnsi(vm, reinterpret_cast<const char*>(b.data()), n));
  };
  auto text16 = [&] {
    size_t n = 0;
    while (n + 1 < s && (b[n] | b[n + 1])) n += 2;
    std::u16string text(n / 2, u'\0');
    std::memcpy(text.data(), b.data(), n);
    return ownedString(vm, text);
  };
  int64_t i = 0;
  switch (o.type.base) {
    case kChar:
    case kByte:
      if (s < 2) return ScriptValue::integer(int8_t(b[0]));
      return o.old.isString() ? text8() : bytesAsStream(vm, b);
    case kShort:
    case kUShort:
      if (s < 3) { int16_t v = 0; std::memcpy(&v, b.data(), std::min<size_t>(s, 2)); return ScriptValue::integer(v); }
      return o.old.isString() ? text16() : bytesAsStream(vm, b);
    case kLong:
    case kULong:
      if (s <= 4) { int32_t v = 0; std::memcpy(&v, b.data(), s); return ScriptValue::integer(v); }
      return bytesAsStream(vm, b);
    case kInt64:
      if (s <= 8) { std::memcpy(&i, b.data(), s); return ScriptValue::integer(i); }
      return bytesAsStream(vm, b);
    case kFloat:
      if (s <= 4) { float f = 0; std::memcpy(&f, b.data(), s); return ScriptValue::number(f); }
      return bytesAsStream(vm, b);
    case kDouble:
      if (s <= 8) { double d = 0; std::memcpy(&d, b.data(), s); return ScriptValue::number(d); }
      return bytesAsStream(vm, b);
    default: return bytesAsStream(vm, b);
  }
}

ScriptValue returnValue(ScriptVM* vm, const ParamType& type, const NativeReturn& r) {
  if (type.byRef) return ScriptValue::integer(int64_t(intptr_t(r.integer)));
  switch (type.base) {
    case kChar: case kByte: return ScriptValue::integer(int8_t(r.integer));
    case kShort: case kUShort: return ScriptValue::integer(int16_t(r.integer));
    case kLong: case kULong: return ScriptValue::integer(int32_t(uint32_t(r.integer)));
    case kPointer: return ScriptValue::integer(int64_t(intptr_t(uintptr_t(r.integer))));
    case kInt64: return ScriptValue::integer(int64_t(r.integer));
    case kFloat: return ScriptValue::number(float(r.floating));
    case kDouble: return ScriptValue::number(r.floating);
    case kBuffer:
      if (!type.structName.empty()) return structFromNativeByName(vm, type.structName, r.aggregate);
      return bytesAsStream(vm, r.aggregate);
    default: return ScriptValue::undefined();
  }
}

void callFunction(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  *result = ScriptValue::undefined();
  auto* f = static_cast<NativeFunction*>(cls->classData);
  if (!f || !f->entry || argCount(args) < int64_t(f->params.size())) return;
  CallBuffers temp;
  temp.copies.reserve(f->params.size());
  std::vector<OutValue> outs;
  Marshaller marshal(vm, temp, outs);
  NativeCall call;
  call.entry = f->entry;
  call.convention = f->convention;
  for (size_t i = 0; i < f->params.size(); i++) {
    NativeArgument a;
    if (!marshal.argument(args[1 + i], f->params[i], &a)) return;
    call.arguments.push_back(std::move(a));
  }
  const ParamType& ret = f->returns;
  call.returnKind = ret.byRef ? NativeKind::Integer
                    : ret.base == kFloat ? NativeKind::Float
                    : ret.base == kDouble ? NativeKind::Double
                    : ret.base == kBuffer ? NativeKind::Aggregate
                                          : NativeKind::Integer;
  call.returnSize = ret.base == kBuffer ? ret.size : 4;
  NativeReturn r = callNative(call);
  for (const OutValue& o : outs) {
    ScriptValue value = outValue(vm, o, temp);
    objectSet(vm, o.object.asObject(), intern(vm, "value"), value);
  }
  *result = returnValue(vm, ret, r);
}

// --- Dll ---

void registerFunction(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  int64_t n = c.count();
  if (n < 2) return;
  for (int64_t i = 0; i < n && i < 4; i++)
    if (!c.arg(i).isString()) return;
  DllClasses* classes = classState<DllClasses>(c.vm);
  auto typeOf = [&](const ScriptValue& v, ParamType* t) {
    if (v.isString()) {
      *t = typeFromName(c.vm, stringView(v.asString()));
      return true;
    }
    if (DllParamData* p = dataOf<DllParamData>(v, classes->param)) {
      *t = p->type;
      return true;
    }
    return false;
  };
  auto f = std::make_unique<NativeFunction>();
  if (n >= 5 && !typeOf(c.arg(4), &f->returns)) return;
  for (int64_t i = 5; i < n; i++) {
    ParamType t;
    if (!typeOf(c.arg(i), &t) || t.base == kVoid) return;
    f->params.push_back(t);
  }
  std::u16string_view convention = n >= 4 ? stringView(c.arg(3).asString()) : u"";
  f->convention = sameNoCase(convention, "cdecl")      ? CallConvention::Cdecl
                  : sameNoCase(convention, "fastcall") ? CallConvention::Fastcall
                                                       : CallConvention::Stdcall;
  std::u16string library(stringView(c.arg(0).asString()));
  HMODULE module = LoadLibraryW(reinterpret_cast<const wchar_t*>(library.c_str()));
  if (!module) return;
  std::string entryName = stringToAnsi(c.arg(1).asString());
  f->entry = reinterpret_cast<void*>(GetProcAddress(module, entryName.c_str()));
  if (!f->entry) {
    FreeLibrary(module);
    return;
  }
  addLibraryUse(module);
  f->module = module;
  NativeClass* cls = newNativeClass(c.vm);
  cls->call = callFunction;
  // The library is released with the function's class, once nothing refers to the function.
  cls->classData = f.release();
  cls->classDataRelease = [](void* data) {
    auto* fn = static_cast<NativeFunction*>(data);
    if (fn->module) releaseLibraryUse(fn->module);
    delete fn;
  };
  std::string name = n >= 3 && c.arg(2).asString()->length ? stringToAnsi(c.arg(2).asString()) : entryName;
  setGlobal(c.vm, intern(c.vm, name.c_str()), ScriptValue::native(newNativeObject(c.vm, cls, nullptr)));
  *c.result = ScriptValue::boolean(true);
}

void unregisterFunction(MemberCall& c) {
  if (!c.arg(0).isString()) return;
  Atom name = intern(c.vm, stringToAnsi(c.arg(0).asString()).c_str());
  ScriptValue held = getGlobal(c.vm, name);
  if (held.kind == KindNative && held.asNative()->cls->call == callFunction) setGlobal(c.vm, name, ScriptValue::undefined());
}

void getPointerValue(MemberCall& c) {
  if (c.arg(0).kind != KindInteger || c.arg(1).kind != KindInteger) return;
  int64_t size = c.arg(1).asInt();
  if (size < 0 || size > int64_t(kMaxStringUnits)) return;  // a negative size reads nothing
  const auto* at = reinterpret_cast<const uint8_t*>(uintptr_t(c.arg(0).asInt()));
  std::vector<uint8_t> bytes(at, at + size);
  *c.result = bytesAsStream(c.vm, bytes);
}

void getPointerStringValue(MemberCall& c) {
  if (c.arg(0).kind != KindInteger) return;
  const char* at = reinterpret_cast<const char*>(uintptr_t(c.arg(0).asInt()));
  if (!at) return;
  setStringFromAnsi(c.vm, c.result, at, std::strlen(at));
}

void getPointerWideStringValue(MemberCall& c) {
  if (c.arg(0).kind != KindInteger) return;
  const char16_t* at = reinterpret_cast<const char16_t*>(uintptr_t(c.arg(0).asInt()));
  if (!at) return;
  setString(c.vm, c.result, at, std::char_traits<char16_t>::length(at));
}

void dllText(MemberCall& c) { setClassText(c, u"[object Dll]"); }

constexpr Member kDllMembers[] = {
    {"registerFunction", registerFunction},
    {"unregisterFunction", unregisterFunction},
    {"getPointerValue", getPointerValue},
    {"getPointerStringValue", getPointerStringValue},
    {"getPointerWideStringValue", getPointerWideStringValue},
    {"toString", dllText},
};

void constructDll(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  makeInstance(vm, cls, nullptr, result);
}

}  // namespace

void registerDll(ScriptVM* vm) {
  DllClasses& state = installClassState(vm, std::make_unique<DllClasses>());
  state.param = registerClass(vm, ClassDef{.name = "DllParam",
                                           .members = kParamMembers,
                                           .call = callParam,
                                           .construct = constructParam,
                                           .finalize = finalizeData<DllParamData>,
                                           .data = typeKey<DllParamData>()});
  state.dll = registerClass(vm, ClassDef{.name = "Dll", .members = kDllMembers, .construct = constructDll});
}

}  // namespace vorlo
