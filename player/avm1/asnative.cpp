// ASnative(table, index) and the two functions the reference player's own class library is built
// with: ASSetNative(object, table, "names", first) and ASSetNativeAccessor(object, table, "names",
// first). The numbered tables name built-ins we already have: a method table lists the methods of
// an object in index order; an accessor table has the constructor at index 0 and a getter/setter
// pair per field from index 1 on.
#include <cmath>

#include "player/avm1/natives.h"

namespace vorlo::player::avm1 {

namespace {

enum class TableKind : uint8_t { Methods, Accessors };

struct NativeTable {
  int number;
  TableKind kind;
  const char* holder;  // dotted path from the global object
  const char* names;   // comma list in index order
};

constexpr NativeTable kTables[] = {
    {200, TableKind::Methods, "Math",
     "abs,min,max,sin,cos,atan2,tan,exp,log,sqrt,round,random,floor,ceil,atan,asin,acos,pow"},
    {1109, TableKind::Accessors, "flash.filters.ConvolutionFilter",
     "matrixX,matrixY,matrix,divisor,bias,preserveAlpha,clamp,color,alpha"},
};

std::vector<std::string> split(const std::string& list, char separator) {
  std::vector<std::string> out;
  size_t start = 0;
  for (;;) {
    size_t at = list.find(separator, start);
    out.push_back(list.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return out;
    start = at + 1;
  }
}

Object* holderOf(Vm& vm, const char* path) {
  Value v(vm.global());
  for (const std::string& part : split(path, '.')) {
    if (!v.isObject()) return nullptr;
    v = vm.get(v.obj, part);
  }
  return v.isObject() ? v.obj : nullptr;
}

// The native function at (table, index), or undefined.
Value nativeAt(Vm& vm, double table, double index) {
  if (!std::isfinite(table) || !std::isfinite(index) || index < 0) return {};
  for (const NativeTable& t : kTables) {
    if (t.number != int(table)) continue;
    Object* holder = holderOf(vm, t.holder);
    if (!holder) return {};
    std::vector<std::string> names = split(t.names, ',');
    size_t i = size_t(index);
    if (t.kind == TableKind::Methods) {
      if (i >= names.size()) return {};
      Value fn = vm.get(holder, names[i]);
      return fn.isObject() && fn.obj->kind == Kind::Function ? fn : Value();
    }
    if (i == 0) return Value(holder);
    size_t field = (i - 1) / 2;
    if (field >= names.size()) return {};
    Value proto = vm.get(holder, "prototype");
    Property* p = proto.isObject() ? proto.obj->own(vm.key(names[field])) : nullptr;
    if (!p) return {};
    Object* fn = (i - 1) % 2 == 0 ? p->getter : p->setter;
    return fn ? Value(fn) : Value();
  }
  return {};
}

Value fnASnative(Vm& vm, Value&, std::vector<Value>& args) {
  return nativeAt(vm, vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)));
}

// A name of the list may start with the version from which it exists: "6name" to "9name" and
// "10name"; a leading "1" otherwise is dropped and leaves the name for every version.
std::string versionedName(const std::string& entry, uint8_t* minVersion) {
  *minVersion = 0;
  if (entry.size() > 1 && entry[0] == '1' && entry[1] == '0') {
    *minVersion = 10;
    return entry.substr(2);
  }
  if (!entry.empty() && entry[0] >= '6' && entry[0] <= '9') {
    *minVersion = uint8_t(entry[0] - '0');
    return entry.substr(1);
  }
  if (!entry.empty() && entry[0] == '1') return entry.substr(1);
  return entry;
}

struct NativeList {
  Object* target = nullptr;
  double table = 0;
  std::vector<std::string> names;
  double first = 0;
};

// The arguments the two setters share; false when there is nothing to do. The first index is read
// last, so that its valueOf runs (and may throw) as in the reference player.
bool readList(Vm& vm, std::vector<Value>& args, NativeList* out) {
  if (args.size() < 3 || !args[0].isObject()) return false;
  out->target = args[0].obj;
  out->table = vm.toNumber(args[1]);
  out->names = split(vm.toString(args[2]), ',');
  double first = args.size() > 3 ? vm.toNumber(args[3]) : 0;
  out->first = std::isfinite(first) ? std::trunc(first) : 0;
  return true;
}

Value fnASSetNative(Vm& vm, Value&, std::vector<Value>& args) {
  NativeList list;
  if (!readList(vm, args, &list)) return {};
  for (size_t i = 0; i < list.names.size(); ++i) {
    uint8_t minVersion;
    std::string name = versionedName(list.names[i], &minVersion);
    if (name.empty()) continue;
    Value fn = nativeAt(vm, list.table, list.first + double(i));
    if (Property* p = list.target->own(vm.key(name))) {
      p->value = fn;  // an existing slot keeps its attributes
      p->getter = p->setter = nullptr;
      continue;
    }
    list.target->index.emplace(vm.key(name), uint32_t(list.target->props.size()));
    list.target->props.push_back(Property{name, fn, nullptr, nullptr, 0, minVersion});
  }
  return {};
}

Value fnASSetNativeAccessor(Vm& vm, Value&, std::vector<Value>& args) {
  NativeList list;
  if (!readList(vm, args, &list)) return {};
  for (size_t i = 0; i < list.names.size(); ++i) {
    uint8_t minVersion;
    std::string name = versionedName(list.names[i], &minVersion);
    if (name.empty()) continue;
    double index = list.first + 2 * double(i);
    Value get = nativeAt(vm, list.table, index), set = nativeAt(vm, list.table, index + 1);
    if (!get.isObject()) continue;
    Property p{name, Value(), get.obj, set.isObject() ? set.obj : nullptr, 0, minVersion};
    if (Property* old = list.target->own(vm.key(name))) {
      *old = p;
      continue;
    }
    list.target->index.emplace(vm.key(name), uint32_t(list.target->props.size()));
    list.target->props.push_back(p);
  }
  return {};
}

}  // namespace

void installNativeTables(Vm& vm, Object* global) {
  method(vm, global, "ASnative", fnASnative);
  method(vm, global, "ASSetNative", fnASSetNative);
  method(vm, global, "ASSetNativeAccessor", fnASSetNativeAccessor);
}

}  // namespace vorlo::player::avm1
