// SharedObject.getLocal: a movie's local data kept in files under a folder the host chooses
// (Vm::sharedObjectFolder; without one, objects live only as long as the movie). The data is
// stored as one external-call XML value. Names may hold letters, digits, '_', '-', '.' and '/'
// between segments; anything else (and ".." segments) is refused, so a name never leaves its folder.
#include "player/avm1/host_api.h"
#include "player/avm1/natives.h"
#include "util/file.h"

namespace vorlo::player::avm1 {

namespace {

constexpr size_t kMaxNameLength = 256;
constexpr uint64_t kMaxFileSize = 1 << 20;  // a larger file is not read back

bool validName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameLength || name.front() == '/' || name.back() == '/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t slash = name.find('/', start);
    std::string segment = name.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (segment.empty() || segment == "." || segment == "..") return false;
    for (unsigned char c : segment)
      if (!std::isalnum(c) && c != '_' && c != '-' && c != '.') return false;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return true;
}

// "a/b" is stored as "a%b.sol.xml" in the one folder: no sub-folders to make or escape.
std::string fileOf(Vm& vm, const std::string& name) {
  std::string flat = name;
  for (char& c : flat)
    if (c == '/') c = '%';
  return vm.sharedObjectFolder + "/" + flat + ".sol.xml";
}

std::string nameOf(Vm& vm, const Value& self) {
  return self.isObject() ? vm.toString(vm.get(self.obj, "__name")) : std::string();
}

std::string encodedData(Vm& vm, const Value& self) {
  Value data = self.isObject() ? vm.get(self.obj, "data") : Value();
  return encodeExternalValue(vm, data);
}

Value flush(Vm& vm, Value& self, std::vector<Value>&) {
  std::string name = nameOf(vm, self);
  if (vm.sharedObjectFolder.empty() || !validName(name)) return Value(false);
  std::string text = encodedData(vm, self);
  File f;
  if (!f.open(fileOf(vm, name), File::Mode::Create) || !f.write(text.data(), text.size())) return Value(false);
  return Value(true);
}

Value clear(Vm& vm, Value& self, std::vector<Value>&) {
  if (self.isObject()) vm.set(self.obj, "data", Value(vm.newObject()));
  return {};
}

Value getSize(Vm& vm, Value& self, std::vector<Value>&) { return Value(double(encodedData(vm, self).size())); }

Value getLocal(Vm& vm, Value&, std::vector<Value>& args) {
  std::string name = vm.toString(arg(args, 0));
  if (!validName(name)) return Value::null();
  if (!vm.hostState) vm.hostState = vm.newObject();
  Value cache = vm.get(vm.hostState, "sharedObjects");
  if (!cache.isObject()) {
    cache = Value(vm.newObject());
    vm.set(vm.hostState, "sharedObjects", cache);
  }
  Value known = vm.get(cache.obj, name);
  if (known.isObject()) return known;
  Value ctor = vm.get(vm.global(), "SharedObject");
  Value proto = ctor.isObject() ? vm.get(ctor.obj, "prototype") : Value();
  Object* so = vm.newObject(proto.isObject() ? proto.obj : nullptr);
  vm.defineOwn(so, "__name", Value(name), kDontEnum);
  Value data = Value(vm.newObject());
  File f;
  if (!vm.sharedObjectFolder.empty() && f.open(fileOf(vm, name), File::Mode::Read) && f.size() <= kMaxFileSize) {
    std::string text(size_t(f.size()), '\0');
    if (f.readExact(text.data(), text.size())) {
      Value stored = decodeExternalResponse(vm, text);
      if (stored.isObject()) data = stored;
    }
  }
  vm.defineOwn(so, "data", data);
  vm.set(cache.obj, name, Value(so));
  return Value(so);
}

Value noConstructor(Vm&, Value&, std::vector<Value>&) { return {}; }

}  // namespace

void installSharedObject(Vm& vm, Object* global) {
  Object* proto = vm.newObject();
  Function* ctor = makeClass(vm, global, "SharedObject", noConstructor, nullptr, proto);
  method(vm, ctor, "getLocal", getLocal);
  method(vm, proto, "flush", flush);
  method(vm, proto, "clear", clear);
  method(vm, proto, "getSize", getSize);
}

}  // namespace vorlo::player::avm1
