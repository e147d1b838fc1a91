// LocalConnection between the movies of one player: connect(name) makes an object the receiver of
// a name, send(name, method, args...) asks for a call of that method on the receiver, delivered
// with the other loads on a later frame, and the sender's onStatus hears {level: "status"} or
// {level: "error"} (no receiver). Names are compared without case; a name that does not start with
// '_' belongs to the movie's domain ("localhost:name"). Arguments travel as copies (through the
// external-call encoding), as they did between players.
#include "player/avm1/host_api.h"
#include "player/avm1/natives.h"

namespace vorlo::player::avm1 {

namespace {

constexpr size_t kMaxPending = 1000;      // sends waiting for the next frame
constexpr size_t kMaxArguments = 40'000;  // encoded bytes of one send's arguments

// Methods of LocalConnection itself that a sender may not call.
constexpr const char* kReserved[] = {"send", "connect", "close", "domain", "allowDomain", "allowInsecureDomain",
                                     "onStatus"};

Object* state(Vm& vm, const char* what) {
  if (!vm.hostState) vm.hostState = vm.newObject();
  Value v = vm.get(vm.hostState, what);
  if (v.isObject()) return v.obj;
  Object* o = std::string(what) == "lcPending" ? static_cast<Object*>(vm.newArray()) : vm.newObject();
  vm.set(vm.hostState, what, Value(o));
  return o;
}

// The full connection name, lower-cased: "" when the name is not usable.
std::string fullName(Vm& vm, const Value& v) {
  if (!v.isString()) return "";
  std::string name = v.str;
  if (name.empty() || name.size() > 256 || name.find(':') != std::string::npos) return "";
  if (name[0] != '_') name = "localhost:" + name;
  for (char& c : name)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return name;
}

std::string connectedName(Vm& vm, const Value& self) {
  if (!self.isObject()) return "";
  Value n = vm.get(self.obj, "__lcName");
  return n.isString() ? n.str : "";
}

Value connect(Vm& vm, Value& self, std::vector<Value>& args) {
  std::string name = fullName(vm, arg(args, 0));
  if (!self.isObject() || name.empty() || !connectedName(vm, self).empty()) return Value(false);
  Object* names = state(vm, "lcNames");
  if (vm.get(names, name).isObject()) return Value(false);  // another receiver has the name
  vm.set(names, name, self);
  vm.defineOwn(self.obj, "__lcName", Value(name), kDontEnum);
  return Value(true);
}

Value close(Vm& vm, Value& self, std::vector<Value>&) {
  std::string name = connectedName(vm, self);
  if (name.empty()) return {};
  Object* names = state(vm, "lcNames");
  Value holder = vm.get(names, name);
  if (holder.isObject() && holder.obj == self.obj) vm.remove(names, name);
  vm.remove(self.obj, "__lcName");
  return {};
}

Value send(Vm& vm, Value& self, std::vector<Value>& args) {
  std::string name = fullName(vm, arg(args, 0));
  const Value& method = arg(args, 1);
  if (!self.isObject() || name.empty() || !method.isString() || method.str.empty()) return Value(false);
  for (const char* r : kReserved)
    if (vm.key(method.str) == vm.key(r)) return Value(false);
  std::vector<Value> rest(args.begin() + 2, args.end());
  std::string encoded = externalRequest(vm, method.str, rest);
  if (encoded.size() > kMaxArguments) return Value(false);
  auto* pending = static_cast<ArrayObject*>(state(vm, "lcPending"));
  if (pending->items.size() >= kMaxPending) return Value(false);
  Object* item = vm.newObject();
  vm.set(item, "sender", self);
  vm.set(item, "name", Value(name));
  vm.set(item, "request", Value(encoded));
  pending->items.push_back(Value(item));
  return Value(true);
}

Value domain(Vm&, Value&, std::vector<Value>&) { return Value("localhost"); }

Value construct(Vm&, Value&, std::vector<Value>&) { return {}; }

void status(Vm& vm, const Value& sender, const char* level) {
  if (!sender.isObject()) return;
  Value fn = vm.get(sender.obj, "onStatus");
  if (!fn.isObject() || fn.obj->kind != Kind::Function) return;
  Object* info = vm.newObject();
  vm.set(info, "level", Value(level));
  vm.call(fn, sender, {Value(info)});
}

}  // namespace

void runLocalConnections(Vm& vm) {
  if (!vm.hostState || !vm.get(vm.hostState, "lcPending").isObject()) return;
  auto* pending = static_cast<ArrayObject*>(state(vm, "lcPending"));
  std::vector<Value> sends = std::move(pending->items);
  pending->items.clear();
  Object* names = state(vm, "lcNames");
  for (const Value& s : sends) {
    if (!s.isObject()) continue;
    Value sender = vm.get(s.obj, "sender");
    Value receiver = vm.get(names, vm.toString(vm.get(s.obj, "name")));
    try {
      if (!receiver.isObject()) {
        status(vm, sender, "error");
        continue;
      }
      // The request names the method and carries the arguments as copies.
      invokeMethod(vm, receiver, vm.toString(vm.get(s.obj, "request")));
      status(vm, sender, "status");
    } catch (ScriptThrow&) {
    } catch (ScriptAbort& abort) {
      vm.warn(abort.reason);
    }
  }
}

void installLocalConnection(Vm& vm, Object* global) {
  Object* proto = vm.newObject();
  makeClass(vm, global, "LocalConnection", construct, nullptr, proto);
  method(vm, proto, "connect", connect);
  method(vm, proto, "close", close);
  method(vm, proto, "send", send);
  method(vm, proto, "domain", domain);
}

}  // namespace vorlo::player::avm1
