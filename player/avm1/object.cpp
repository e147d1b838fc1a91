// The object model: property lookup through prototypes, getters and setters, watches, calls,
// the conversions that need objects, equality, and the collector.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "player/avm1/text.h"
#include "player/avm1/vm.h"

namespace vorlo::player::avm1 {

namespace {
constexpr int kMaxProtoDepth = 256;

bool arrayIndex(const std::string& name, uint32_t* out) {
  if (name.empty() || name.size() > 10) return false;
  uint64_t v = 0;
  for (char c : name) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + uint64_t(c - '0');
  }
  if (name.size() > 1 && name[0] == '0') return false;
  if (v >= 0xFFFFFFFFull) return false;
  *out = uint32_t(v);
  return true;
}
}  // namespace

namespace {

// The key of `name` without a copy when names keep their case (SWF 7 on); `scratch` holds the
// lower-cased copy otherwise.
const std::string& keyOf(const Vm& vm, const std::string& name, std::string& scratch) {
  if (vm.caseSensitive()) return name;
  bool upper = false;
  for (char c : name) upper |= c >= 'A' && c <= 'Z';
  if (!upper) return name;
  scratch = vm.key(name);
  return scratch;
}

bool isProtoKey(const std::string& k) { return k.size() == 9 && k == "__proto__"; }

}  // namespace

std::string Vm::key(const std::string& name) const {
  if (caseSensitive()) return name;
  std::string k = name;
  for (char& c : k)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return k;
}

void Vm::warn(const std::string& text) {
  if (onWarning) onWarning(text);
}

Object* Vm::newObject(Object* proto) {
  Object* o = make<Object>();
  o->proto = proto ? proto : objectProto;
  return o;
}

ArrayObject* Vm::newArray(std::vector<Value> items) {
  ArrayObject* a = make<ArrayObject>();
  a->proto = arrayProto;
  a->items = std::move(items);
  return a;
}

Function* Vm::newNative(NativeFn fn, Object* proto) {
  Function* f = make<Function>();
  f->proto = functionProto;
  f->native = fn;
  if (proto) {
    defineOwn(f, "prototype", Value(proto), kDontEnum);
    defineOwn(proto, "constructor", Value(static_cast<Object*>(f)), kDontEnum);
  }
  return f;
}

// ---- Arrays ----

bool ArrayObject::getSpecial(Vm& vm, const std::string& name, Value& out) {
  uint32_t i;
  if (arrayIndex(name, &i)) {
    if (i < items.size()) {
      out = items[i];
      return true;
    }
    return false;
  }
  if (vm.key(name) == "length") {
    out = Value(double(items.size()));
    return true;
  }
  return false;
}

bool ArrayObject::setSpecial(Vm& vm, const std::string& name, const Value& v) {
  uint32_t i;
  if (arrayIndex(name, &i)) {
    if (i >= Vm::kMaxString) throw ScriptAbort{"an array grew beyond its limit"};
    if (i >= items.size()) items.resize(size_t(i) + 1);
    items[i] = v;
    return true;
  }
  if (vm.key(name) == "length") {
    double n = vm.toNumber(v);
    if (std::isfinite(n) && n >= 0) {
      if (n >= double(Vm::kMaxString)) throw ScriptAbort{"an array grew beyond its limit"};
      items.resize(size_t(n));
    }
    return true;
  }
  return false;
}

bool ArrayObject::hasSpecial(Vm& vm, const std::string& name) {
  uint32_t i;
  if (arrayIndex(name, &i)) return i < items.size();
  return vm.key(name) == "length";
}

void ArrayObject::specialKeys(Vm&, std::vector<std::string>& out) {
  for (size_t i = 0; i < items.size(); ++i) out.push_back(std::to_string(i));
}

void ArrayObject::markChildren(Vm& vm) {
  for (const Value& v : items)
    if (v.type == Type::Object) markObject(vm, v.obj);
}

void Function::markChildren(Vm& vm) {
  for (Object* o : scope) markObject(vm, o);
  if (clip) markObject(vm, clip);
}

void SuperObject::markChildren(Vm& vm) {
  markObject(vm, self);
  markObject(vm, home);
}

// ---- Properties ----

Value Vm::lookup(Object* o, const std::string& name, bool* found, Object** holder, const Value& self) {
  *found = false;
  if (!o) return {};
  std::string scratch;
  const std::string& k = keyOf(*this, name, scratch);
  if (isProtoKey(k)) {
    *found = o->proto != nullptr;
    if (holder) *holder = o;
    return o->proto ? Value(o->proto) : Value();
  }
  if (o->kind == Kind::Super) {
    auto* s = static_cast<SuperObject*>(o);
    Object* start = s->home ? s->home->proto : nullptr;
    return lookup(start, name, found, holder, Value(s->self));
  }
  Object* cur = o;
  for (int depth = 0; cur; ++depth, cur = cur->proto) {
    // A prototype chain that loops (or is absurdly long) ends the script, as in the reference player.
    if (depth >= kMaxProtoDepth) throw ScriptAbort{"a prototype chain is too long"};
    auto it = cur->index.find(k);
    if (it != cur->index.end() && cur->props[it->second].minVersion <= version) {
      Property& p = cur->props[it->second];
      *found = true;
      if (holder) *holder = cur;
      if (p.getter) return callAccessor(cur, p.getter, self, {}, p.value);
      return p.value;
    }
    Value out;
    if (cur->getSpecial(*this, name, out)) {
      *found = true;
      if (holder) *holder = cur;
      return out;
    }
  }
  return {};
}

Value Vm::get(Object* o, const std::string& name) {
  bool found;
  return lookup(o, name, &found, nullptr, Value(o));
}

Value Vm::getValue(const Value& v, const std::string& name) {
  switch (v.type) {
    case Type::Object: {
      bool found;
      Value out = lookup(v.obj, name, &found, nullptr, v);
      if (found || v.obj->kind == Kind::Super) return out;
      // A missing member asks the object's __resolve, when it has one.
      if (key(name) == "__resolve") return out;
      // The chain is searched for a __resolve that is an object: a function is called, any
      // other object ends the search; values that are not objects (and clips) are passed over.
      int depth = 0;
      for (Object* cur = v.obj; cur && depth < kMaxProtoDepth; cur = cur->proto, ++depth) {
        Property* p = cur->own(key("__resolve"));
        if (!p) continue;
        if (p->getter) continue;  // only a stored __resolve counts, not one made by addProperty
        const Value& r = p->value;
        if (!r.isObject() || r.obj->kind == Kind::Clip) continue;
        if (r.obj->kind == Kind::Function) return call(r, v, {Value(name)});
        break;
      }
      return out;
    }
    case Type::String: {
      if (key(name) == "length") {
        // Length in UTF-16 units, as scripts count characters.
        double n = 0;
        for (unsigned char c : v.str)
          if ((c & 0xC0) != 0x80) n += c >= 0xF0 ? 2 : 1;
        return Value(n);
      }
      bool found;
      return lookup(stringProto, name, &found, nullptr, v);
    }
    case Type::Number: {
      bool found;
      return lookup(numberProto, name, &found, nullptr, v);
    }
    case Type::Boolean: {
      bool found;
      return lookup(booleanProto, name, &found, nullptr, v);
    }
    default: return {};
  }
}

void Vm::defineOwn(Object* o, const std::string& name, const Value& v, uint8_t flags) {
  std::string k = key(name);
  auto it = o->index.find(k);
  if (it != o->index.end()) {
    Property& p = o->props[it->second];
    p.value = v;
    p.getter = p.setter = nullptr;
    p.flags = flags;
    return;
  }
  o->index.emplace(k, uint32_t(o->props.size()));
  o->props.push_back(Property{name, v, nullptr, nullptr, flags, 0});
}

void Vm::set(Object* o, const std::string& name, const Value& v) {
  if (!o) return;
  std::string scratch;
  const std::string& k = keyOf(*this, name, scratch);
  if (isProtoKey(k)) {
    if (v.type == Type::Object) o->proto = v.obj;
    else if (v.type == Type::Null || v.type == Type::Undefined) o->proto = nullptr;
    return;
  }
  if (o->kind == Kind::Super) {
    auto* s = static_cast<SuperObject*>(o);
    set(s->self, name, v);
    return;
  }
  Value value = v;
  if (!o->watches.empty()) {
    auto w = o->watches.find(k);
    if (w != o->watches.end() && w->second.callback) {
      Object::Watch watch = w->second;
      // Built-in properties that native code computes (a text field's text) show no old value.
      Property* native = nullptr;
      int hops = 0;
      for (Object* cur = o; cur && !native && hops < kMaxProtoDepth; cur = cur->proto, ++hops)
        if (Property* p = cur->own(k)) native = p;
      bool computed = native && native->getter && static_cast<Function*>(native->getter)->native;
      Value old = computed ? Value() : get(o, name);
      // A watcher that assigns the same property again is not called for its own assignment.
      o->watches.erase(w);
      try {
        value = call(Value(watch.callback), Value(o), {Value(name), old, v, watch.userData});
      } catch (...) {
        o->watches[k] = watch;
        throw;
      }
      o->watches[k] = watch;
    }
  }
  if (o->setSpecial(*this, name, value)) return;
  auto it = o->index.find(k);
  if (it != o->index.end()) {
    Property& p = o->props[it->second];
    if (p.minVersion <= version) {
      if (p.setter || p.getter) {
        if (p.setter) setThroughAccessor(o, k, p.setter, Value(o), value);
        return;
      }
      if (p.flags & kReadOnly) return;
      p.value = value;
      return;
    }
  }
  // A setter inherited from a prototype takes the assignment.
  int depth = 0;
  for (Object* cur = o->proto; cur && depth < kMaxProtoDepth; cur = cur->proto, ++depth) {
    auto pit = cur->index.find(k);
    if (pit == cur->index.end()) continue;
    Property& p = cur->props[pit->second];
    if (p.minVersion > version) continue;
    if (p.setter) {
      setThroughAccessor(cur, k, p.setter, Value(o), value);
      return;
    }
    if (p.getter) return;
    break;
  }
  if (it != o->index.end()) {  // a slot hidden by its version: replace it
    Property& p = o->props[it->second];
    p = Property{name, value, nullptr, nullptr, 0, 0};
    return;
  }
  o->index.emplace(k, uint32_t(o->props.size()));
  o->props.push_back(Property{name, value, nullptr, nullptr, 0, 0});
}

void Vm::setThroughAccessor(Object* holder, const std::string& k, Object* setter, const Value& self,
                            const Value& value) {
  auto slot = [&]() -> Property* {
    auto it = holder->index.find(k);
    return it == holder->index.end() ? nullptr : &holder->props[it->second];
  };
  callAccessor(holder, setter, self, {value}, slot()->value);
  // A script's accessor property keeps the value assigned last to finish: what a getter skipped
  // for depth reads. Built-in accessors compute their values and keep nothing.
  auto* fn = static_cast<Function*>(setter);
  if (fn->native || fn->bound) return;
  if (Property* p = slot(); p && p->setter == setter) p->value = value;
}

Value Vm::callAccessor(Object* holder, Object* fn, const Value& self, std::vector<Value> args, Value& slot) {
  int& depth = accessorDepth_[{holder, fn}];
  if (depth >= kMaxAccessorDepth) {
    if (args.empty()) return slot;
    slot = args[0];
    return {};
  }
  ++depth;
  struct Leave {
    Vm& vm;
    std::pair<const Object*, const Object*> key;
    ~Leave() {
      auto it = vm.accessorDepth_.find(key);
      if (it != vm.accessorDepth_.end() && --it->second <= 0) vm.accessorDepth_.erase(it);
    }
  } leave{*this, {holder, fn}};
  return call(Value(fn), self, std::move(args));
}

bool Vm::hasOwn(Object* o, const std::string& name) {
  if (!o) return false;
  if (key(name) == "__proto__") return o->proto != nullptr;
  if (o->hasSpecial(*this, name)) return true;
  Property* p = o->own(key(name));
  return p && p->minVersion <= version;
}

bool Vm::has(Object* o, const std::string& name) {
  int depth = 0;
  for (Object* cur = o; cur && depth < kMaxProtoDepth; cur = cur->proto, ++depth)
    if (hasOwn(cur, name)) return true;
  return false;
}

bool Vm::remove(Object* o, const std::string& name) {
  if (!o) return false;
  std::string k = key(name);
  auto it = o->index.find(k);
  if (it == o->index.end()) {
    uint32_t i;
    if (o->kind == Kind::Array && arrayIndex(name, &i)) {
      auto* a = static_cast<ArrayObject*>(o);
      if (i < a->items.size()) {
        a->items[i] = Value();
        return true;
      }
    }
    return false;
  }
  if (o->props[it->second].flags & kDontDelete) return false;
  uint32_t slot = it->second;
  // A property made again is a new one: its accessors start from no calls.
  accessorDepth_.erase({o, o->props[slot].getter});
  accessorDepth_.erase({o, o->props[slot].setter});
  o->props.erase(o->props.begin() + slot);
  o->index.erase(it);
  for (auto& [name2, s] : o->index)
    if (s > slot) --s;
  return true;
}

std::vector<std::string> Vm::enumerate(Object* o) {
  // The reference player pushes the names of the object and then of each prototype, each in
  // creation order, and for..in takes them off the top: the newest names of the last prototype
  // come first. Names hidden from this version are listed too, as the reference player lists them.
  std::vector<std::string> pushed;
  std::unordered_set<std::string> seen;
  int depth = 0;
  for (Object* cur = o; cur && depth < kMaxProtoDepth; cur = cur->proto, ++depth) {
    for (const Property& p : cur->props) {
      if (!seen.insert(key(p.name)).second) continue;
      if (p.flags & kDontEnum) continue;
      pushed.push_back(p.name);
    }
    std::vector<std::string> special;
    cur->specialKeys(*this, special);
    for (const std::string& name : special)
      if (seen.insert(key(name)).second) pushed.push_back(name);
  }
  return std::vector<std::string>(pushed.rbegin(), pushed.rend());
}

// ---- Conversions ----

Value Vm::toPrimitive(const Value& v, bool preferString) {
  if (v.type != Type::Object) return v;
  // The reference player asks valueOf only (toString for dates from SWF 6 on, and where a string
  // is wanted): an object without one is undefined, and one that answers with an object stays
  // the object it was (which then counts as NaN, or as its text where a string is wanted).
  Object* o = v.obj;
  if (o->kind == Kind::Clip && !preferString) return v;
  bool viaString = preferString || (o->kind == Kind::Date && version >= 6);
  Value fn = get(o, viaString ? "toString" : "valueOf");
  if (fn.type != Type::Object || fn.obj->kind != Kind::Function) return {};
  Value r = call(fn, v, {});
  return r.type == Type::Object ? v : r;
}

double Vm::toNumber(const Value& v) {
  if (v.type != Type::Object) return primitiveToNumber(v, version);
  Value p = toPrimitive(v, false);
  if (p.type == Type::Object) return std::numeric_limits<double>::quiet_NaN();
  return primitiveToNumber(p, version);
}

std::string Vm::toString(const Value& v) {
  if (v.type != Type::Object) return primitiveToString(v, version);
  if (v.obj->kind == Kind::Clip) {
    auto* c = static_cast<ClipObject*>(v.obj);
    if (!c->display) return "";
    Value fn = get(v.obj, "toString");
    if (fn.type == Type::Object && fn.obj->kind == Kind::Function &&
        static_cast<Function*>(fn.obj)->native == nullptr)
      return toString(call(fn, v, {}));
    return targetPath(*c->display);
  }
  Value p = toPrimitive(v, true);
  // A toString that answers with anything but a string does not count.
  if (p.type != Type::String) return v.obj->kind == Kind::Function ? "[type Function]" : "[type Object]";
  return p.str;
}

Object* Vm::toObject(const Value& v) {
  switch (v.type) {
    case Type::Object: return v.obj;
    case Type::String: {
      Object* o = newObject(stringProto);
      o->kind = Kind::String;
      o->primitive = v;
      return o;
    }
    case Type::Number: {
      Object* o = newObject(numberProto);
      o->kind = Kind::Number;
      o->primitive = v;
      return o;
    }
    case Type::Boolean: {
      Object* o = newObject(booleanProto);
      o->kind = Kind::Boolean;
      o->primitive = v;
      return o;
    }
    default: return nullptr;
  }
}

std::string Vm::typeOf(const Value& v) {
  if (v.type != Type::Object) return primitiveTypeName(v.type);
  switch (v.obj->kind) {
    case Kind::Function: return "function";
    case Kind::Clip: {
      auto* c = static_cast<ClipObject*>(v.obj);
      if (c->display && !dynamic_cast<MovieClip*>(c->display)) {
        // Buttons and text fields are objects to typeof.
        return "object";
      }
      return "movieclip";
    }
    default: return "object";
  }
}

bool Vm::instanceOf(Object* o, Object* ctor) {
  if (!o || !ctor) return false;
  Value protoV = get(ctor, "prototype");
  if (protoV.type != Type::Object) return false;
  Object* proto = protoV.obj;
  int depth = 0;
  for (Object* cur = o->proto; cur && depth < kMaxProtoDepth; cur = cur->proto, ++depth) {
    if (cur == proto) return true;
    // Interfaces the classes along the chain implement.
    Value c = get(cur, "constructor");
    std::vector<Object*> pending;
    if (c.type == Type::Object) pending.push_back(c.obj);
    Value c2 = get(cur, "__constructor__");
    if (c2.type == Type::Object) pending.push_back(c2.obj);
    for (size_t i = 0; i < pending.size() && i < 64; ++i) {
      for (Object* iface : pending[i]->interfaces) {
        if (iface == ctor) return true;
        pending.push_back(iface);
      }
    }
  }
  return false;
}

bool Vm::strictEquals(const Value& a, const Value& b) {
  if (a.type != b.type) return false;
  switch (a.type) {
    case Type::Undefined:
    case Type::Null: return true;
    case Type::Boolean: return a.num == b.num;
    case Type::Number: return a.num == b.num || (std::isnan(a.num) && std::isnan(b.num));
    case Type::String: return a.str == b.str;
    case Type::Object: return a.obj == b.obj;
  }
  return false;
}

bool Vm::looseEquals(const Value& a, const Value& b) {
  if (a.type == b.type) return strictEquals(a, b);
  if (a.isNullish() && b.isNullish()) return true;
  // An object without valueOf (the bare _global) is undefined when compared.
  if (a.isNullish() && b.type == Type::Object) return toPrimitive(b).isNullish();
  if (b.isNullish() && a.type == Type::Object) return toPrimitive(a).isNullish();
  if (a.isNullish() || b.isNullish()) return false;
  if (a.type == Type::Number && b.type == Type::String) return a.num == stringToNumber(b.str, version);
  if (a.type == Type::String && b.type == Type::Number) return stringToNumber(a.str, version) == b.num;
  if (a.type == Type::Boolean) return looseEquals(Value(a.num), b);
  if (b.type == Type::Boolean) return looseEquals(a, Value(b.num));
  if (b.type == Type::Object && (a.type == Type::Number || a.type == Type::String)) {
    Value p = toPrimitive(b);
    if (p.type == Type::Object) return false;
    return looseEquals(a, p);
  }
  if (a.type == Type::Object && (b.type == Type::Number || b.type == Type::String)) {
    Value p = toPrimitive(a);
    if (p.type == Type::Object) return false;
    return looseEquals(p, b);
  }
  return false;
}

Value Vm::lessThan(const Value& a, const Value& b) {
  // valueOf of the left side first; an object that stays an object (not a clip) makes the
  // answer false at once, before the right side is asked.
  auto primitive = [&](const Value& v) {
    if (v.type != Type::Object || v.obj->kind == Kind::Clip) return v;
    Value fn = get(v.obj, "valueOf");
    return fn.type == Type::Object && fn.obj->kind == Kind::Function ? call(fn, v, {}) : Value();
  };
  auto plainObject = [](const Value& v) { return v.type == Type::Object && v.obj->kind != Kind::Clip; };
  Value pa = primitive(a);
  if (plainObject(pa)) return Value(false);
  Value pb = primitive(b);
  if (plainObject(pb)) return Value(false);
  if (pa.type == Type::String && pb.type == Type::String) return Value(lessByCodePoints(pa.str, pb.str));
  double x = primitiveToNumber(pa, version), y = primitiveToNumber(pb, version);
  if (std::isnan(x) || std::isnan(y)) return {};
  return Value(x < y);
}

// ---- Calls ----

namespace {

bool sameWord(const std::string& name, const char* word, bool caseSensitive) {
  size_t n = std::strlen(word);
  if (name.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = name[i];
    if (!caseSensitive && c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

// The locals of a call. `arguments` and `super` are made when a script first names them (most
// calls never do); `make` builds one and defines it as a local.
class CallLocals : public Object {
 public:
  CallLocals() : Object(Kind::Activation) {}
  bool pendingArguments = false, pendingSuper = false;
  Object* (*make)(void* context, bool arguments) = nullptr;
  void* context = nullptr;
  bool getSpecial(Vm& vm, const std::string& name, Value& out) override {
    bool arguments = pendingArguments && sameWord(name, "arguments", vm.caseSensitive());
    bool super = !arguments && pendingSuper && sameWord(name, "super", vm.caseSensitive());
    if (!arguments && !super) return false;
    out = Value(materialize(arguments));
    return true;
  }
  bool hasSpecial(Vm& vm, const std::string& name) override {
    return (pendingArguments && sameWord(name, "arguments", vm.caseSensitive())) ||
           (pendingSuper && sameWord(name, "super", vm.caseSensitive()));
  }
  Object* materialize(bool arguments) {
    (arguments ? pendingArguments : pendingSuper) = false;
    return make(context, arguments);
  }
};

}  // namespace

Value Vm::call(const Value& fnv, const Value& self, std::vector<Value> args, Object* home, bool bareThis) {
  if (fnv.type != Type::Object || fnv.obj->kind != Kind::Function) return {};
  auto* fn = static_cast<Function*>(fnv.obj);
  if (callDepth >= kMaxCallDepth) throw ScriptAbort{"256 levels of recursion were exceeded"};
  // The count alone does not bound the stack: a level's frames grow with what the call passes
  // through (getters, conversions, instrumented builds). The host's thread may have 1 MB.
  const char here = 0;
  if (callDepth == 0) {
    stackBase_ = &here;
  } else if (stackBase_) {
    const std::ptrdiff_t used = stackBase_ > &here ? stackBase_ - &here : &here - stackBase_;
    if (size_t(used) > kMaxStackBytes) throw ScriptAbort{"recursion used too much of the stack and was stopped"};
  }
  struct Depth {
    int& d;
    explicit Depth(int& x) : d(x) { ++d; }
    ~Depth() { --d; }
  } depthGuard(callDepth);
  if (fn->native) {
    Value s = self;
    return fn->native(*this, s, args);
  }
  if (fn->bound) {
    Value s = self;
    return fn->bound(*this, *fn, s, args);
  }
  Activation a(*this);
  a.callee = fn;
  a.pool = fn->pool;
  a.base = fn->clip;
  a.target = fn->clip;
  a.frameScope = false;
  a.home = home;
  a.self = self.isNullish() && !bareThis ? Value(global_) : self;
  if (version < 6) {
    // SWF 5 functions close over nothing: they run on the timeline of `this` when it is a clip,
    // or of their caller.
    ClipObject* base = self.isObject() && self.obj->kind == Kind::Clip ? static_cast<ClipObject*>(self.obj)
                                                                        : runningBase;
    if (base) {
      a.base = a.target = base;
    }
  }
  // The call's own objects (locals, arguments, super) stay outside the collected heap while it runs
  // and are freed when it returns, unless a script may still reach them: a function defined inside
  // captured the scope, or the script read `arguments` or `super` (Activation::escaped). Calls
  // in a loop then take no memory that only the next collection between frames would give back.
  struct CallObjects {
    Vm& vm;
    Activation& a;
    std::vector<Object*> owned;
    ~CallObjects() {
      for (Object* o : owned) {
        if (a.escaped) vm.heap_.push_back(o);
        else delete o;
      }
    }
  } callObjects{*this, a, {}};
  auto own = [&](Object* o) {
    callObjects.owned.push_back(o);
    return o;
  };
  auto* localsObj = static_cast<CallLocals*>(own(new CallLocals()));
  a.locals = localsObj;
  if (version < 6) {
    if (a.base) a.scope.push_back(a.base);
  } else {
    a.scope = fn->scope;
  }
  a.scope.push_back(localsObj);
  auto makeArguments = [&]() -> Object* {
    if (a.arguments) return a.arguments;
    auto* list = static_cast<ArrayObject*>(own(new ArrayObject()));
    list->proto = arrayProto;
    list->items = args;
    defineOwn(list, "callee", Value(static_cast<Object*>(fn)), kDontEnum);
    defineOwn(list, "caller", Value::null(), kDontEnum);
    a.arguments = list;
    return list;
  };
  auto makeSuper = [&]() -> Object* {
    if (a.superObject) return a.superObject;
    auto* s = static_cast<SuperObject*>(own(new SuperObject()));
    s->self = self.type == Type::Object ? self.obj : nullptr;
    s->home = home ? home : (s->self ? s->self->proto : nullptr);
    a.superObject = s;
    return s;
  };
  // `arguments` and `super` as locals: made on first use, unless a parameter has their name.
  bool lazy = true;
  for (const Function::Param& p : fn->params)
    if (sameWord(p.name, "arguments", caseSensitive()) || sameWord(p.name, "super", caseSensitive())) lazy = false;
  auto makeLocal = [&](bool arguments) {
    Object* made = arguments ? makeArguments() : makeSuper();
    defineOwn(localsObj, arguments ? "arguments" : "super", Value(made));
    return made;
  };
  localsObj->context = &makeLocal;
  localsObj->make = [](void* context, bool arguments) { return (*static_cast<decltype(makeLocal)*>(context))(arguments); };
  auto local = [&](bool arguments) {
    if (lazy) (arguments ? localsObj->pendingArguments : localsObj->pendingSuper) = true;
    else localsObj->materialize(arguments);
  };
  // Locals that outlive the call get what is still pending while the call's values exist.
  struct Settle {
    Activation& a;
    CallLocals* locals;
    ~Settle() {
      if (!a.escaped) return;
      if (locals->pendingArguments) locals->materialize(true);
      if (locals->pendingSuper) locals->materialize(false);
    }
  } settle{a, localsObj};
  if (!fn->v2) {
    defineOwn(localsObj, "this", a.self);
    for (size_t i = 0; i < fn->params.size(); ++i)
      defineOwn(localsObj, fn->params[i].name, i < args.size() ? args[i] : Value());
    local(true);
    local(false);
  } else {
    a.regs.resize(size_t(fn->regCount) + 1);
    uint16_t f = fn->flags2;
    size_t r = 1;
    auto reg = [&](const Value& v) {
      if (r < a.regs.size()) a.regs[r] = v;
      ++r;
    };
    if (f & 0x01) reg(a.self);
    if (!(f & 0x02) && !(f & 0x01)) defineOwn(localsObj, "this", a.self);
    if (f & 0x04) {
      reg(Value(makeArguments()));
      a.escaped = true;  // registers are read without a name
    } else if (!(f & 0x08)) {
      local(true);
    }
    if (f & 0x10) {
      reg(Value(makeSuper()));
      a.escaped = true;
    } else if (!(f & 0x20)) {
      local(false);
    }
    if (f & 0x40) reg(Value(static_cast<Object*>(clipObject(root_))));
    if (f & 0x80) {
      DisplayObject* p = fn->clip && fn->clip->display ? parentOf(*fn->clip->display) : nullptr;
      reg(p ? Value(static_cast<Object*>(clipObject(*p))) : Value());
    }
    if (f & 0x100) reg(Value(global_));
    for (size_t i = 0; i < fn->params.size(); ++i) {
      Value v = i < args.size() ? args[i] : Value();
      if (fn->params[i].reg && fn->params[i].reg < a.regs.size()) a.regs[fn->params[i].reg] = v;
      else defineOwn(localsObj, fn->params[i].name, v);
    }
  }
  if (a.regs.size() < 4) a.regs.resize(4);
  return execute(a, fn->code);
}

Value Vm::construct(const Value& fnv, std::vector<Value> args) {
  if (fnv.type != Type::Object || fnv.obj->kind != Kind::Function) return {};
  auto* fn = static_cast<Function*>(fnv.obj);
  if (fn->nativeConstruct) {
    Value self;
    return fn->nativeConstruct(*this, self, args);
  }
  Object* o = make<Object>();
  Value protoV = get(fn, "prototype");
  o->proto = protoV.type == Type::Object ? protoV.obj : objectProto;
  defineOwn(o, "__constructor__", fnv, kDontEnum);
  if (version < 6) defineOwn(o, "constructor", fnv, kDontEnum);
  call(fnv, Value(o), std::move(args), o->proto);
  return Value(o);
}

Value Vm::callMethod(const Value& target, const std::string& name, std::vector<Value> args) {
  Value fn;
  Object* holder = nullptr;
  if (target.type == Type::Object) {
    bool found;
    fn = lookup(target.obj, name, &found, &holder, target);
    if (!found) fn = getValue(target, name);  // __resolve
  } else {
    fn = getValue(target, name);
  }
  return call(fn, target, std::move(args), holder);
}

// ---- Collection ----

void markObject(Vm& vm, Object* o) {
  if (!o || o->marked) return;
  o->marked = true;
  vm.markStack_.push_back(o);
}

void Vm::mark(Object* o) { markObject(*this, o); }

void Vm::collectGarbage() {
  for (Object* o : heap_) o->marked = false;
  mark(global_);
  for (Object* p : {objectProto, functionProto, arrayProto, stringProto, numberProto, booleanProto, dateProto,
                    clipProto, buttonProto, textFieldProto, errorProto, xmlNodeProto, xmlProto, textState, hostState})
    mark(p);
  for (ClipObject* c : clips_)
    if (c->display) mark(c);
  for (const PendingLoad& load : pendingLoads) markValue(load.target);
  for (const Timer& t : timers) {
    markValue(t.target);
    for (const Value& v : t.args) markValue(v);
  }
  while (!markStack_.empty()) {
    Object* o = markStack_.back();
    markStack_.pop_back();
    mark(o->proto);
    markValue(o->primitive);
    for (const Property& p : o->props) {
      markValue(p.value);
      mark(p.getter);
      mark(p.setter);
    }
    for (auto& [k, w] : o->watches) {
      mark(w.callback);
      markValue(w.userData);
    }
    for (Object* i : o->interfaces) mark(i);
    o->markChildren(*this);
  }
  size_t kept = 0;
  for (Object* o : heap_) {
    if (o->marked) heap_[kept++] = o;
    else delete o;
  }
  heap_.resize(kept);
}

}  // namespace vorlo::player::avm1
