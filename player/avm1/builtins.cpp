// The built-in objects and global functions of the SWF 5-8 players that movies rely on: Object,
// Function, Array, String, Number, Boolean, Math, a minimal Date, MovieClip methods, the timers
// and the global conversion functions.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <cstdlib>
#include <limits>

#include "player/avm1/geom.h"
#include "player/avm1/host_api.h"
#include "player/avm1/loading.h"
#include "player/avm1/natives.h"
#include "player/avm1/text.h"
#include "player/avm1/vm.h"

namespace vorlo::player::avm1 {

void installXml(Vm& vm, Object* global);  // xml.cpp

Function* method(Vm& vm, Object* o, const char* name, NativeFn fn, uint8_t flags) {
  Function* f = vm.newNative(fn);
  vm.defineOwn(o, name, Value(static_cast<Object*>(f)), flags);
  return f;
}

Function* makeClass(Vm& vm, Object* holder, const char* name, NativeFn call, NativeFn construct, Object* proto) {
  Function* f = vm.newNative(call, proto);
  f->nativeConstruct = construct;
  if (holder) vm.defineOwn(holder, name, Value(static_cast<Object*>(f)), kDontEnum);
  return f;
}

void accessor(Vm& vm, Object* o, const char* name, NativeFn get, NativeFn set, uint8_t flags, uint8_t minVersion) {
  std::string k = vm.key(name);
  Object* getter = vm.newNative(get);
  Object* setter = set ? vm.newNative(set) : nullptr;
  if (Property* p = o->own(k)) {
    *p = Property{name, Value(), getter, setter, flags, minVersion};
    return;
  }
  o->index.emplace(k, uint32_t(o->props.size()));
  o->props.push_back(Property{name, Value(), getter, setter, flags, minVersion});
}
void installText(Vm& vm, Object* global);  // text_field.cpp

namespace {

// ---- Global functions ----

Value fnParseInt(Vm& vm, Value&, std::vector<Value>& args) {
  std::string s = vm.toString(arg(args, 0));
  int radix = args.size() > 1 && !arg(args, 1).isUndefined() ? int(toInt32(vm.toNumber(arg(args, 1)))) : 0;
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  if (radix == 0) {
    if (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0) {
      radix = 16;
      i += 2;
    } else if (i + 1 < s.size() && s[i] == '0' && s.find_first_not_of("01234567", i) == std::string::npos) {
      radix = 8;  // a leading zero with only octal digits reads as octal
    } else {
      radix = 10;
    }
  } else if (radix == 16 && (s.compare(i, 2, "0x") == 0 || s.compare(i, 2, "0X") == 0)) {
    i += 2;
  }
  if (radix < 2 || radix > 36) return Value(kNaN);
  double v = 0;
  size_t digits = 0;
  for (; i < s.size(); ++i) {
    char c = s[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : c >= 'A' && c <= 'Z' ? c - 'A' + 10 : 99;
    if (d >= radix) break;
    v = v * radix + d;
    ++digits;
  }
  if (!digits) return Value(kNaN);
  return Value(negative ? -v : v);
}

Value fnParseFloat(Vm& vm, Value&, std::vector<Value>& args) {
  std::string s = vm.toString(arg(args, 0));
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\n' || s[i] == '\r')) ++i;
  size_t j = i;
  if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
  size_t digits = 0;
  while (j < s.size() && isdigit(static_cast<unsigned char>(s[j]))) ++j, ++digits;
  if (j < s.size() && s[j] == '.') {
    ++j;
    while (j < s.size() && isdigit(static_cast<unsigned char>(s[j]))) ++j, ++digits;
  }
  if (!digits) return Value(kNaN);
  if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
    size_t k = j + 1;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    size_t e = 0;
    while (k < s.size() && isdigit(static_cast<unsigned char>(s[k]))) ++k, ++e;
    if (e) j = k;
  }
  return Value(std::strtod(s.substr(i, j - i).c_str(), nullptr));
}

// Without an argument nothing is a number (not even undefined, which is 0 before SWF 7).
Value fnIsNaN(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(args.empty() || bool(std::isnan(vm.toNumber(args[0]))));
}
Value fnIsFinite(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(!args.empty() && bool(std::isfinite(vm.toNumber(args[0]))));
}

Value fnEscape(Vm& vm, Value&, std::vector<Value>& args) {
  std::string s = vm.toString(arg(args, 0)), out;
  for (unsigned char c : s) {
    if (isalnum(c)) out += char(c);
    else {
      static const char* hex = "0123456789ABCDEF";
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return Value(out);
}

Value fnUnescape(Vm& vm, Value&, std::vector<Value>& args) {
  std::string s = vm.toString(arg(args, 0)), out;
  auto hexv = [](char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
  };
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && hexv(s[i + 1]) >= 0 && hexv(s[i + 2]) >= 0) {
      out += char(hexv(s[i + 1]) * 16 + hexv(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return Value(out);
}

Value fnGetTimer(Vm& vm, Value&, std::vector<Value>&) { return Value(vm.clock ? std::floor(vm.clock()) : 0.0); }

Value addTimer(Vm& vm, std::vector<Value>& args, bool repeat) {
  Vm::Timer t;
  t.repeat = repeat;
  size_t next = 1;
  if (arg(args, 0).isObject() && arg(args, 0).obj->kind == Kind::Function) {
    t.target = args[0];
  } else if (arg(args, 0).isObject() && args.size() >= 2) {
    t.target = args[0];
    t.method = vm.toString(args[1]);
    next = 2;
  } else {
    return {};
  }
  double interval = vm.toNumber(arg(args, next));
  t.interval = std::isfinite(interval) && interval > 0 ? interval : 0;
  for (size_t i = next + 1; i < args.size(); ++i) t.args.push_back(args[i]);
  double now = vm.clock ? vm.clock() : 0;
  t.due = now + std::max(t.interval, 1.0);
  t.id = vm.nextTimerId++;
  vm.timers.push_back(t);
  return Value(double(t.id));
}

Value fnSetInterval(Vm& vm, Value&, std::vector<Value>& args) { return addTimer(vm, args, true); }
Value fnSetTimeout(Vm& vm, Value&, std::vector<Value>& args) { return addTimer(vm, args, false); }
Value fnClearInterval(Vm& vm, Value&, std::vector<Value>& args) {
  double id = vm.toNumber(arg(args, 0));
  std::erase_if(vm.timers, [&](const Vm::Timer& t) { return t.id == id; });
  return {};
}

// ASSetPropFlags(object, names, set, clear): names null for all, a comma list or an array.
Value fnSetPropFlags(Vm& vm, Value&, std::vector<Value>& args) {
  if (!arg(args, 0).isObject()) return {};
  Object* o = args[0].obj;
  uint32_t set = toUint32(vm.toNumber(arg(args, 2)));
  uint32_t clear = args.size() > 3 ? toUint32(vm.toNumber(args[3])) : 0;
  std::vector<std::string> names;
  bool all = arg(args, 1).isNullish();
  if (!all) {
    if (args[1].isObject() && args[1].obj->kind == Kind::Array) {
      for (const Value& v : static_cast<ArrayObject*>(args[1].obj)->items) names.push_back(vm.toString(v));
    } else {
      std::string s = vm.toString(args[1]);
      size_t start = 0;
      while (start <= s.size()) {
        size_t comma = s.find(',', start);
        if (comma == std::string::npos) comma = s.size();
        names.push_back(s.substr(start, comma - start));
        start = comma + 1;
      }
    }
  }
  auto apply = [&](Property& p) {
    uint32_t f = (uint32_t(p.flags) & ~clear) | set;
    p.flags = uint16_t(f);
    // Version bits: 128 hides from movies before SWF 6, 1024 before 7, 4096 before 8, 8192
    // before 9 and 16384 before 10.
    p.minVersion = f & 16384 ? 10 : f & 8192 ? 9 : f & 4096 ? 8 : f & 1024 ? 7 : f & 128 ? 6 : 0;
  };
  if (all) {
    for (Property& p : o->props) apply(p);
  } else {
    for (const std::string& n : names)
      if (Property* p = o->own(vm.key(n))) apply(*p);
  }
  return {};
}

// ---- Object ----

Value objectCall(Vm& vm, Value&, std::vector<Value>& args) {
  if (!args.empty() && !args[0].isNullish()) return Value(vm.toObject(args[0]));
  return Value(vm.newObject());
}
Value objectConstruct(Vm& vm, Value& self, std::vector<Value>& args) { return objectCall(vm, self, args); }

Value objHasOwnProperty(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || args.empty()) return Value(false);
  std::string name = vm.toString(args[0]);
  return Value(!name.empty() && vm.hasOwn(self.obj, name));
}
Value objIsPropertyEnumerable(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || args.empty()) return Value(false);
  Property* p = self.obj->own(vm.key(vm.toString(args[0])));
  return Value(p && !(p->flags & kDontEnum));
}
Value objIsPrototypeOf(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || !arg(args, 0).isObject()) return Value(false);
  int depth = 0;
  for (Object* o = args[0].obj->proto; o && depth < 256; o = o->proto, ++depth)
    if (o == self.obj) return Value(true);
  return Value(false);
}
Value objToString(Vm& vm, Value& self, std::vector<Value>&) {
  if (self.isObject() && self.obj->kind == Kind::Function) return Value("[type Function]");
  return Value("[object Object]");
}
Value objValueOf(Vm&, Value& self, std::vector<Value>&) { return self; }
Value objAddProperty(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || args.size() < 3) return Value(false);
  std::string name = vm.toString(args[0]);
  if (name.empty()) return Value(false);
  Object* getter = args[1].isObject() && args[1].obj->kind == Kind::Function ? args[1].obj : nullptr;
  Object* setter = args[2].isObject() && args[2].obj->kind == Kind::Function ? args[2].obj : nullptr;
  if (!getter) return Value(false);
  Object* o = self.obj;
  std::string k = vm.key(name);
  auto it = o->index.find(k);
  if (it == o->index.end()) {
    o->index.emplace(k, uint32_t(o->props.size()));
    o->props.push_back(Property{name, Value(), getter, setter, 0, 0});
  } else {
    Property& p = o->props[it->second];
    p.getter = getter;
    p.setter = setter;
    p.value = Value();
  }
  return Value(true);
}
Value objWatch(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || args.size() < 2) return Value(false);
  if (!args[1].isObject() || args[1].obj->kind != Kind::Function) return Value(false);
  self.obj->watches[vm.key(vm.toString(args[0]))] = Object::Watch{args[1].obj, arg(args, 2)};
  return Value(true);
}
Value objUnwatch(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || args.empty()) return Value(false);
  return Value(self.obj->watches.erase(vm.key(vm.toString(args[0]))) > 0);
}
Value objRegisterClass(Vm& vm, Value&, std::vector<Value>& args) {
  if (args.size() < 2) return Value(false);
  const Value& ctor = args[1];
  std::string name = vm.key(vm.toString(args[0]));
  if (ctor.isNullish()) {
    vm.registeredClasses.erase(name);
    return Value(true);
  }
  if (!ctor.isObject() || ctor.obj->kind != Kind::Function) return Value(false);
  vm.registeredClasses[name] = ctor.obj;
  return Value(true);
}

// ---- Function ----

Value functionCall(Vm&, Value&, std::vector<Value>&) { return {}; }
Value fnCall(Vm& vm, Value& self, std::vector<Value>& args) {
  Value thisArg = arg(args, 0);
  std::vector<Value> rest;
  if (args.size() > 1) rest.assign(args.begin() + 1, args.end());
  return vm.call(self, thisArg, std::move(rest));
}
Value fnApply(Vm& vm, Value& self, std::vector<Value>& args) {
  Value thisArg = arg(args, 0);
  std::vector<Value> rest;
  if (arg(args, 1).isObject()) {
    Object* a = args[1].obj;
    double n = vm.toNumber(vm.get(a, "length"));
    size_t count = std::isfinite(n) && n > 0 ? size_t(std::min(n, 65536.0)) : 0;
    for (size_t i = 0; i < count; ++i) rest.push_back(vm.get(a, std::to_string(i)));
  }
  return vm.call(self, thisArg, std::move(rest));
}

// ---- Array ----

ArrayObject* selfArray(Value& self) {
  return self.isObject() && self.obj->kind == Kind::Array ? static_cast<ArrayObject*>(self.obj) : nullptr;
}

Value arrayMake(Vm& vm, Value&, std::vector<Value>& args) {
  if (args.size() == 1 && args[0].isNumber()) {
    double n = args[0].num;
    ArrayObject* a = vm.newArray();
    if (std::isfinite(n) && n >= 0 && n < double(Vm::kMaxString)) a->items.resize(size_t(n));
    return Value(static_cast<Object*>(a));
  }
  return Value(static_cast<Object*>(vm.newArray(args)));
}

// The elements an Array method sees: an array's own, or for any other object its "length" and
// the values stored under index names on the object itself (inherited and addProperty elements
// are not seen, as in the reference player).
std::vector<Value> elementsOf(Vm& vm, Value& self) {
  if (ArrayObject* a = selfArray(self)) return a->items;
  std::vector<Value> out;
  if (!self.isObject()) return out;
  double n = vm.toNumber(vm.get(self.obj, "length"));
  if (!(n > 0)) return out;
  if (n >= double(Vm::kMaxString)) throw ScriptAbort{"an array grew beyond its limit"};
  out.resize(size_t(n));
  for (size_t i = 0; i < out.size(); ++i) {
    Property* p = self.obj->own(std::to_string(i));
    if (p && !p->getter && p->minVersion <= vm.version) out[i] = p->value;
  }
  return out;
}

std::string joinValues(Vm& vm, const std::vector<Value>& items, const std::string& sep) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i) out += sep;
    const Value& v = items[i];
    if (!v.isUndefined()) out += vm.toString(v);
    else if (vm.version >= 7) out += "undefined";
    if (out.size() > Vm::kMaxString) throw ScriptAbort{"a string grew beyond its limit"};
  }
  return out;
}

Value arrayJoin(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject()) return {};
  std::string sep = arg(args, 0).isUndefined() ? "," : vm.toString(args[0]);
  return Value(joinValues(vm, elementsOf(vm, self), sep));
}
Value arrayToString(Vm& vm, Value& self, std::vector<Value>&) {
  if (!self.isObject()) return {};
  return Value(joinValues(vm, elementsOf(vm, self), ","));
}
Value arrayPush(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* a = selfArray(self);
  if (!a) return {};
  for (Value& v : args) a->items.push_back(v);
  return Value(double(a->items.size()));
}
Value arrayPop(Vm&, Value& self, std::vector<Value>&) {
  ArrayObject* a = selfArray(self);
  if (!a || a->items.empty()) return {};
  Value v = a->items.back();
  a->items.pop_back();
  return v;
}
Value arrayShift(Vm&, Value& self, std::vector<Value>&) {
  ArrayObject* a = selfArray(self);
  if (!a || a->items.empty()) return {};
  Value v = a->items.front();
  a->items.erase(a->items.begin());
  return v;
}
Value arrayUnshift(Vm&, Value& self, std::vector<Value>& args) {
  ArrayObject* a = selfArray(self);
  if (!a) return {};
  a->items.insert(a->items.begin(), args.begin(), args.end());
  return Value(double(a->items.size()));
}
Value arrayReverse(Vm&, Value& self, std::vector<Value>&) {
  ArrayObject* a = selfArray(self);
  if (a) std::reverse(a->items.begin(), a->items.end());
  return self;
}
Value arrayConcat(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* a = selfArray(self);
  ArrayObject* out = vm.newArray(a ? a->items : std::vector<Value>{});
  for (Value& v : args) {
    if (v.isObject() && v.obj->kind == Kind::Array) {
      auto& items = static_cast<ArrayObject*>(v.obj)->items;
      out->items.insert(out->items.end(), items.begin(), items.end());
    } else {
      out->items.push_back(v);
    }
  }
  return Value(static_cast<Object*>(out));
}
size_t clampIndex(Vm& vm, const Value& v, size_t size, size_t dflt) {
  if (v.isUndefined()) return dflt;
  double n = vm.toNumber(v);
  if (std::isnan(n)) return 0;
  n = std::trunc(n);
  if (n < 0) n = std::max(0.0, double(size) + n);
  return size_t(std::min(n, double(size)));
}
Value arraySlice(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* a = selfArray(self);
  if (!a) return {};
  size_t n = a->items.size();
  size_t s = clampIndex(vm, arg(args, 0), n, 0), e = clampIndex(vm, arg(args, 1), n, n);
  std::vector<Value> items;
  if (s < e) items.assign(a->items.begin() + long(s), a->items.begin() + long(e));
  return Value(static_cast<Object*>(vm.newArray(std::move(items))));
}
Value arraySplice(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* a = selfArray(self);
  if (!a || args.empty()) return {};
  size_t n = a->items.size();
  size_t s = clampIndex(vm, args[0], n, 0);
  size_t count = n - s;
  if (args.size() > 1) {
    double c = vm.toNumber(args[1]);
    count = std::isnan(c) || c < 0 ? 0 : size_t(std::min(c, double(n - s)));
  }
  std::vector<Value> removed(a->items.begin() + long(s), a->items.begin() + long(s + count));
  a->items.erase(a->items.begin() + long(s), a->items.begin() + long(s + count));
  if (args.size() > 2) a->items.insert(a->items.begin() + long(s), args.begin() + 2, args.end());
  return Value(static_cast<Object*>(vm.newArray(std::move(removed))));
}

// Array.sort and sortOn options.
enum : uint32_t { kCaseInsensitive = 1, kDescending = 2, kUniqueSort = 4, kReturnIndexedArray = 8, kNumeric = 16 };

int compareValues(Vm& vm, const Value& x, const Value& y, uint32_t options, const Value& comparator) {
  if (comparator.isObject()) {
    double r = vm.toNumber(vm.call(comparator, Value(), {x, y}));
    return r < 0 ? -1 : r > 0 ? 1 : 0;
  }
  if (options & kNumeric) {
    double a = vm.toNumber(x), b = vm.toNumber(y);
    return a < b ? -1 : a > b ? 1 : 0;
  }
  std::string a = vm.toString(x), b = vm.toString(y);
  if (options & kCaseInsensitive) {
    for (char& c : a) c = char(std::tolower(static_cast<unsigned char>(c)));
    for (char& c : b) c = char(std::tolower(static_cast<unsigned char>(c)));
  }
  return a < b ? -1 : a > b ? 1 : 0;
}

Value sortItems(Vm& vm, ArrayObject* a, Value& self, const std::function<int(const Value&, const Value&)>& cmp,
                uint32_t options) {
  std::vector<size_t> order(a->items.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  bool equalSeen = false;
  std::stable_sort(order.begin(), order.end(), [&](size_t i, size_t j) {
    int c = cmp(a->items[i], a->items[j]);
    if (c == 0) equalSeen = true;
    if (options & kDescending) c = -c;
    return c < 0;
  });
  if ((options & kUniqueSort) && equalSeen) return Value(0.0);
  if (options & kReturnIndexedArray) {
    std::vector<Value> idx;
    for (size_t i : order) idx.push_back(Value(double(i)));
    return Value(static_cast<Object*>(vm.newArray(std::move(idx))));
  }
  std::vector<Value> sorted;
  for (size_t i : order) sorted.push_back(a->items[i]);
  a->items = std::move(sorted);
  return self;
}

Value arraySort(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* a = selfArray(self);
  if (!a) return {};
  Value comparator;
  uint32_t options = 0;
  size_t next = 0;
  if (arg(args, 0).isObject() && args[0].obj->kind == Kind::Function) {
    comparator = args[0];
    next = 1;
  }
  if (next < args.size()) options = toUint32(vm.toNumber(args[next]));
  return sortItems(vm, a, self,
                   [&](const Value& x, const Value& y) { return compareValues(vm, x, y, options, comparator); },
                   options);
}

Value arraySortOn(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* a = selfArray(self);
  if (!a || args.empty()) return {};
  std::vector<std::string> fields;
  if (args[0].isObject() && args[0].obj->kind == Kind::Array) {
    for (const Value& v : static_cast<ArrayObject*>(args[0].obj)->items) fields.push_back(vm.toString(v));
  } else {
    fields.push_back(vm.toString(args[0]));
  }
  uint32_t options = args.size() > 1 ? toUint32(vm.toNumber(args[1])) : 0;
  return sortItems(
      vm, a, self,
      [&](const Value& x, const Value& y) {
        for (const std::string& f : fields) {
          int c = compareValues(vm, vm.getValue(x, f), vm.getValue(y, f), options, Value());
          if (c) return c;
        }
        return 0;
      },
      options);
}

// ---- Number and Boolean ----

Value numberCall(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(args.empty() ? 0.0 : vm.toNumber(args[0]));
}
Value numberConstruct(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(vm.toObject(Value(args.empty() ? 0.0 : vm.toNumber(args[0]))));
}
double thisNumber(Vm& vm, Value& self) {
  if (self.isObject()) return self.obj->kind == Kind::Number ? self.obj->primitive.num : kNaN;
  return vm.toNumber(self);
}
Value numberToStringFn(Vm& vm, Value& self, std::vector<Value>& args) {
  double n = thisNumber(vm, self);
  int radix = arg(args, 0).isUndefined() ? 10 : int(toInt32(vm.toNumber(args[0])));
  return Value(numberToRadix(n, radix));
}
Value numberValueOf(Vm& vm, Value& self, std::vector<Value>&) { return Value(thisNumber(vm, self)); }
Value booleanCall(Vm& vm, Value&, std::vector<Value>& args) {
  if (args.empty()) return {};  // Boolean() called bare gives undefined
  return Value(vm.toBool(args[0]));
}
Value booleanConstruct(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(vm.toObject(Value(args.empty() ? false : vm.toBool(args[0]))));
}
bool thisBool(Vm& vm, Value& self) {
  if (self.isObject()) return self.obj->kind == Kind::Boolean && self.obj->primitive.boolean();
  return vm.toBool(self);
}
Value booleanToString(Vm& vm, Value& self, std::vector<Value>&) {
  return Value(thisBool(vm, self) ? "true" : "false");
}
Value booleanValueOf(Vm& vm, Value& self, std::vector<Value>&) { return Value(thisBool(vm, self)); }

// ---- Math ----

template <double (*F)(double)>
Value math1(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(F(vm.toNumber(arg(args, 0))));
}
double roundHalfUp(double x) { return std::floor(x + 0.5); }
double absD(double x) { return std::fabs(x); }
Value mathPow(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(std::pow(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1))));
}
Value mathAtan2(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(std::atan2(vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1))));
}
Value mathMin(Vm& vm, Value&, std::vector<Value>& args) {
  if (args.empty()) return Value(std::numeric_limits<double>::infinity());
  double r = std::numeric_limits<double>::infinity();
  for (Value& v : args) {
    double n = vm.toNumber(v);
    if (std::isnan(n)) return Value(kNaN);
    r = std::min(r, n);
  }
  return Value(r);
}
Value mathMax(Vm& vm, Value&, std::vector<Value>& args) {
  if (args.empty()) return Value(-std::numeric_limits<double>::infinity());
  double r = -std::numeric_limits<double>::infinity();
  for (Value& v : args) {
    double n = vm.toNumber(v);
    if (std::isnan(n)) return Value(kNaN);
    r = std::max(r, n);
  }
  return Value(r);
}
Value mathRandom(Vm&, Value&, std::vector<Value>&) { return Value(double(std::rand()) / (double(RAND_MAX) + 1)); }

// ---- Date (the clock and the parts scripts read most) ----

Value dateCall(Vm& vm, Value&, std::vector<Value>&) {
  return Value(std::string("Thu Jan 1 00:00:00 GMT+0000 1970"));
}
Value dateConstruct(Vm& vm, Value&, std::vector<Value>& args) {
  Object* o = vm.newObject(vm.dateProto);
  o->kind = Kind::Date;
  double t;
  if (args.empty()) {
    t = double(std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::system_clock::now().time_since_epoch())
                   .count());
  } else {
    t = vm.toNumber(args[0]);
  }
  o->primitive = Value(t);
  return Value(o);
}
Value dateGetTime(Vm&, Value& self, std::vector<Value>&) {
  if (self.isObject() && self.obj->kind == Kind::Date) return self.obj->primitive;
  return Value(kNaN);
}

// ---- MovieClip ----

MovieClip* selfClip(Value& self) {
  if (!self.isObject() || self.obj->kind != Kind::Clip) return nullptr;
  return static_cast<ClipObject*>(self.obj)->clip();
}
ClipObject* selfClipObject(Value& self) {
  if (!self.isObject() || self.obj->kind != Kind::Clip) return nullptr;
  auto* c = static_cast<ClipObject*>(self.obj);
  return c->display ? c : nullptr;
}

int frameArg(Vm& vm, MovieClip& c, const Value& v) {
  if (v.isString()) {
    double n = stringToNumber(v.str, 5);
    if (!std::isnan(n)) return int(n);
    return c.frameOfLabel(v.str);
  }
  double n = vm.toNumber(v);
  return std::isfinite(n) ? int(n) : 0;
}

Value clipPlay(Vm&, Value& self, std::vector<Value>&) {
  if (MovieClip* c = selfClip(self)) c->play();
  return {};
}
Value clipStop(Vm&, Value& self, std::vector<Value>&) {
  if (MovieClip* c = selfClip(self)) c->stop();
  return {};
}
Value clipGotoAndPlay(Vm& vm, Value& self, std::vector<Value>& args) {
  if (MovieClip* c = selfClip(self)) {
    int f = frameArg(vm, *c, arg(args, 0));
    if (f > 0) vm.gotoFrame(*c, f);
    c->play();
  }
  return {};
}
Value clipGotoAndStop(Vm& vm, Value& self, std::vector<Value>& args) {
  if (MovieClip* c = selfClip(self)) {
    int f = frameArg(vm, *c, arg(args, 0));
    if (f > 0) vm.gotoFrame(*c, f);
    c->stop();
  }
  return {};
}
Value clipNextFrame(Vm& vm, Value& self, std::vector<Value>&) {
  if (MovieClip* c = selfClip(self)) {
    vm.gotoFrame(*c, c->currentFrame() + 1);
    c->stop();
  }
  return {};
}
Value clipPrevFrame(Vm& vm, Value& self, std::vector<Value>&) {
  if (MovieClip* c = selfClip(self)) {
    vm.gotoFrame(*c, c->currentFrame() - 1);
    c->stop();
  }
  return {};
}
Value clipGetDepth(Vm& vm, Value& self, std::vector<Value>&) {
  ClipObject* c = selfClipObject(self);
  if (!c) return {};
  int depth = 0;
  if (!vm.parentOf(*c->display, &depth)) return Value(-16384.0);
  return Value(double(depth - 16384));
}

const Timeline& emptyTimeline() {
  static const Timeline t{std::vector<Frame>(1)};
  return t;
}

Value attachNew(Vm& vm, MovieClip& parent, std::unique_ptr<DisplayObject> object, const std::string& name,
                double depth) {
  if (!object || !std::isfinite(depth)) return {};
  int d = int(depth) + 16384;
  object->name = name;
  DisplayObject* raw = object.get();
  parent.mutableChildren()[d] = std::move(object);
  if (auto* mc = dynamic_cast<MovieClip*>(raw)) mc->enterFirstFrame();
  return Value(static_cast<Object*>(vm.clipObject(*raw)));
}

Value clipCreateEmpty(Vm& vm, Value& self, std::vector<Value>& args) {
  MovieClip* c = selfClip(self);
  if (!c || args.size() < 2) return {};
  auto made = std::make_unique<MovieClip>(vm.stage(), 0, emptyTimeline(), c->nesting() + 1);
  return attachNew(vm, *c, std::move(made), vm.toString(args[0]), vm.toNumber(args[1]));
}

void copyInit(Vm& vm, Value clip, const Value& init) {
  if (!clip.isObject() || !init.isObject()) return;
  for (const std::string& k : vm.enumerate(init.obj)) vm.set(clip.obj, k, vm.get(init.obj, k));
}

Value clipAttachMovie(Vm& vm, Value& self, std::vector<Value>& args) {
  MovieClip* c = selfClip(self);
  if (!c || args.size() < 3 || !vm.stage().movie) return {};
  std::string id = vm.toString(args[0]);
  const Movie& movie = *vm.stage().movie;
  uint16_t character = 0;
  for (auto& [name, ch] : movie.exports)
    if (vm.key(name) == vm.key(id)) character = ch;
  if (!character) return {};
  if (c->nesting() + 1 > StageContext::kMaxNesting) return {};
  Value made = attachNew(vm, *c, instantiate(vm.stage(), character, c->nesting() + 1), vm.toString(args[1]),
                         vm.toNumber(args[2]));
  copyInit(vm, made, arg(args, 3));
  if (made.isObject()) {
    auto* clip = static_cast<ClipObject*>(made.obj);
    clip->initialized = true;
    vm.applyRegisteredClass(clip);
  }
  return made;
}

Value clipDuplicate(Vm& vm, Value& self, std::vector<Value>& args) {
  ClipObject* c = selfClipObject(self);
  if (!c || args.size() < 2) return {};
  DisplayObject* parent = vm.parentOf(*c->display);
  auto* parentClip = dynamic_cast<MovieClip*>(parent);
  if (!parentClip) return {};
  auto* source = c->clip();
  std::unique_ptr<DisplayObject> made;
  if (source && source->characterId() == 0) {
    made = std::make_unique<MovieClip>(vm.stage(), 0, source->timeline(), source->nesting());
  } else {
    made = instantiate(vm.stage(), c->display->characterId(), parentClip->nesting() + 1);
  }
  if (!made) return {};
  made->matrix = c->display->matrix;
  made->colorTransform = c->display->colorTransform;
  made->visible = c->display->visible;
  Value out = attachNew(vm, *parentClip, std::move(made), vm.toString(args[0]), vm.toNumber(args[1]));
  copyInit(vm, out, arg(args, 2));
  return out;
}

Value clipRemove(Vm& vm, Value& self, std::vector<Value>&) {
  ClipObject* c = selfClipObject(self);
  if (!c) return {};
  int depth = 0;
  DisplayObject* parent = vm.parentOf(*c->display, &depth);
  auto* parentClip = dynamic_cast<MovieClip*>(parent);
  // Only clips at script depths (0 and above) can be removed by scripts.
  if (!parentClip || depth < 0 || depth >= 16384 + 1048576) return {};
  parentClip->mutableChildren().erase(depth);
  return {};
}

Value clipSwapDepths(Vm& vm, Value& self, std::vector<Value>& args) {
  ClipObject* c = selfClipObject(self);
  if (!c || args.empty()) return {};
  int depth = 0;
  auto* parent = dynamic_cast<MovieClip*>(vm.parentOf(*c->display, &depth));
  if (!parent) return {};
  int other = 0;
  if (args[0].isObject() && args[0].obj->kind == Kind::Clip) {
    auto* oc = static_cast<ClipObject*>(args[0].obj);
    if (!oc->display || vm.parentOf(*oc->display, &other) != parent) return {};
  } else {
    double n = vm.toNumber(args[0]);
    if (!std::isfinite(n)) return {};
    other = int(n) + 16384;
  }
  auto& list = parent->mutableChildren();
  auto mine = list.find(depth);
  auto theirs = list.find(other);
  std::unique_ptr<DisplayObject> a = std::move(mine->second);
  list.erase(mine);
  if (theirs != list.end()) {
    list[depth] = std::move(theirs->second);
    list.erase(other);
  }
  list[other] = std::move(a);
  return {};
}

Value clipNextHighestDepth(Vm&, Value& self, std::vector<Value>&) {
  MovieClip* c = selfClip(self);
  if (!c) return {};
  int highest = -1;
  for (auto& [d, child] : *c->children()) highest = std::max(highest, d - 16384);
  return Value(double(highest + 1));
}

Value clipGetInstanceAtDepth(Vm& vm, Value& self, std::vector<Value>& args) {
  MovieClip* c = selfClip(self);
  if (!c || args.empty()) return {};
  double n = vm.toNumber(args[0]);
  if (!std::isfinite(n)) return {};
  auto it = c->children()->find(int(n) + 16384);
  if (it == c->children()->end()) return {};
  return Value(static_cast<Object*>(vm.clipObject(*it->second)));
}

Value clipBytes(Vm& vm, Value& self, std::vector<Value>&) {
  if (!selfClip(self) || !vm.stage().movie) return {};
  return Value(double(vm.stage().movie->header.fileLength));
}

Value clipGetBounds(Vm& vm, Value& self, std::vector<Value>& args) {
  ClipObject* c = selfClipObject(self);
  if (!c) return {};
  Rect b = c->display->bounds();
  Object* o = vm.newObject();
  if (b.empty()) b = Rect{6710886.35 * 20, 6710886.35 * 20, 6710886.35 * 20, 6710886.35 * 20};
  vm.set(o, "xMin", Value(b.xMin / 20));
  vm.set(o, "xMax", Value(b.xMax / 20));
  vm.set(o, "yMin", Value(b.yMin / 20));
  vm.set(o, "yMax", Value(b.yMax / 20));
  return Value(o);
}

Value clipHitTest(Vm&, Value&, std::vector<Value>&) { return Value(false); }
Value nothing(Vm&, Value&, std::vector<Value>&) { return {}; }

Value clipToString(Vm& vm, Value& self, std::vector<Value>&) {
  ClipObject* c = selfClipObject(self);
  if (!c) return Value("");
  return Value(vm.targetPath(*c->display));
}

Value fnTargetPath(Vm& vm, Value&, std::vector<Value>& args) {
  if (!arg(args, 0).isObject() || args[0].obj->kind != Kind::Clip) return {};
  auto* c = static_cast<ClipObject*>(args[0].obj);
  if (!c->display) return {};
  return Value(vm.targetPath(*c->display));
}

// ---- Listeners (AsBroadcaster) and the stage's global objects ----

ArrayObject* listenersOf(Vm& vm, Value& self) {
  if (!self.isObject()) return nullptr;
  Value l = vm.get(self.obj, "_listeners");
  if (!l.isObject() || l.obj->kind != Kind::Array) return nullptr;
  return static_cast<ArrayObject*>(l.obj);
}

Value addListener(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* list = listenersOf(vm, self);
  if (!list) return Value(false);
  Value l = arg(args, 0);
  for (const Value& v : list->items)
    if (vm.strictEquals(v, l)) return Value(true);
  list->items.push_back(l);
  return Value(true);
}

Value removeListener(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* list = listenersOf(vm, self);
  if (!list) return Value(false);
  Value l = arg(args, 0);
  for (size_t i = 0; i < list->items.size(); ++i)
    if (vm.strictEquals(list->items[i], l)) {
      list->items.erase(list->items.begin() + long(i));
      return Value(true);
    }
  return Value(false);
}

Value broadcastMessage(Vm& vm, Value& self, std::vector<Value>& args) {
  ArrayObject* list = listenersOf(vm, self);
  if (!list || args.empty()) return {};
  std::string name = vm.toString(args[0]);
  std::vector<Value> rest(args.begin() + 1, args.end());
  std::vector<Value> listeners = list->items;  // listeners may change the list while it runs
  for (const Value& l : listeners) vm.callMethod(l, name, rest);
  return Value(!listeners.empty());
}

void makeBroadcaster(Vm& vm, Object* o) {
  vm.defineOwn(o, "_listeners", Value(static_cast<Object*>(vm.newArray())), kDontEnum);
  vm.defineOwn(o, "addListener", Value(static_cast<Object*>(vm.newNative(addListener))), kDontEnum);
  vm.defineOwn(o, "removeListener", Value(static_cast<Object*>(vm.newNative(removeListener))), kDontEnum);
  vm.defineOwn(o, "broadcastMessage", Value(static_cast<Object*>(vm.newNative(broadcastMessage))), kDontEnum);
}

Value broadcasterInitialize(Vm& vm, Value&, std::vector<Value>& args) {
  if (arg(args, 0).isObject()) makeBroadcaster(vm, args[0].obj);
  return {};
}

Value returnFalse(Vm&, Value&, std::vector<Value>&) { return Value(false); }
Value returnZero(Vm&, Value&, std::vector<Value>&) { return Value(0.0); }
Value returnNull(Vm&, Value&, std::vector<Value>&) { return Value::null(); }
Value returnMinusOne(Vm&, Value&, std::vector<Value>&) { return Value(-1.0); }

Value stageWidth(Vm& vm, Value&, std::vector<Value>&) {
  const Movie* m = vm.stage().movie;
  return Value(m ? (m->header.frameSize.xMax - m->header.frameSize.xMin) / 20 : 0.0);
}
Value stageHeight(Vm& vm, Value&, std::vector<Value>&) {
  const Movie* m = vm.stage().movie;
  return Value(m ? (m->header.frameSize.yMax - m->header.frameSize.yMin) / 20 : 0.0);
}

}  // namespace

Vm::Vm(MovieClip& root, StageContext& stage, int v) : version(v), root_(root), stage_(stage) {
  installBuiltins();
}

Vm::~Vm() {
  for (ClipObject* c : clips_)
    if (c->display) c->display->scriptPeer = nullptr;
  for (Object* o : heap_) {
    if (o->kind == Kind::Clip) {
      auto* c = static_cast<ClipObject*>(o);
      if (c->display) c->display->scriptPeer = nullptr;
      c->display = nullptr;
    }
    delete o;
  }
}

void Vm::runTimers(double now) {
  // Each due timer runs once per call; those set up while running wait for the next.
  std::vector<int> due;
  for (const Timer& t : timers)
    if (t.due <= now) due.push_back(t.id);
  for (int id : due) {
    auto it = std::find_if(timers.begin(), timers.end(), [&](const Timer& t) { return t.id == id; });
    if (it == timers.end()) continue;
    Timer t = *it;
    if (t.repeat) it->due = now + std::max(t.interval, 1.0);
    else timers.erase(it);
    try {
      if (t.method.empty()) call(t.target, Value(), t.args);
      else callMethod(t.target, t.method, t.args);
    } catch (ScriptThrow&) {
    } catch (ScriptAbort& abort) {
      warn(abort.reason);
    }
  }
}

void Vm::installBuiltins() {
  objectProto = make<Object>();
  functionProto = make<Object>();
  functionProto->proto = objectProto;
  global_ = make<Object>();  // bare: no prototype, so no toString or valueOf

  Function* objectCtor = makeClass(*this, global_, "Object", objectCall, objectConstruct, objectProto);
  method(*this, objectProto, "hasOwnProperty", objHasOwnProperty);
  method(*this, objectProto, "isPropertyEnumerable", objIsPropertyEnumerable);
  method(*this, objectProto, "isPrototypeOf", objIsPrototypeOf);
  method(*this, objectProto, "toString", objToString);
  method(*this, objectProto, "toLocaleString", objToString);
  method(*this, objectProto, "valueOf", objValueOf);
  method(*this, objectProto, "addProperty", objAddProperty);
  method(*this, objectProto, "watch", objWatch);
  method(*this, objectProto, "unwatch", objUnwatch);
  method(*this, objectCtor, "registerClass", objRegisterClass);

  Function* functionCtor = makeClass(*this, global_, "Function", functionCall, nullptr, functionProto);
  (void)functionCtor;
  method(*this, functionProto, "call", fnCall);
  method(*this, functionProto, "apply", fnApply);

  arrayProto = newObject();
  Function* arrayCtor = makeClass(*this, global_, "Array", arrayMake, arrayMake, arrayProto);
  defineOwn(arrayCtor, "CASEINSENSITIVE", Value(1.0), kDontEnum | kDontDelete | kReadOnly);
  defineOwn(arrayCtor, "DESCENDING", Value(2.0), kDontEnum | kDontDelete | kReadOnly);
  defineOwn(arrayCtor, "UNIQUESORT", Value(4.0), kDontEnum | kDontDelete | kReadOnly);
  defineOwn(arrayCtor, "RETURNINDEXEDARRAY", Value(8.0), kDontEnum | kDontDelete | kReadOnly);
  defineOwn(arrayCtor, "NUMERIC", Value(16.0), kDontEnum | kDontDelete | kReadOnly);
  method(*this, arrayProto, "join", arrayJoin);
  method(*this, arrayProto, "toString", arrayToString);
  method(*this, arrayProto, "push", arrayPush);
  method(*this, arrayProto, "pop", arrayPop);
  method(*this, arrayProto, "shift", arrayShift);
  method(*this, arrayProto, "unshift", arrayUnshift);
  method(*this, arrayProto, "reverse", arrayReverse);
  method(*this, arrayProto, "concat", arrayConcat);
  method(*this, arrayProto, "slice", arraySlice);
  method(*this, arrayProto, "splice", arraySplice);
  method(*this, arrayProto, "sort", arraySort);
  method(*this, arrayProto, "sortOn", arraySortOn);

  installStrings(*this, global_);

  numberProto = newObject();
  Function* numberCtor = makeClass(*this, global_, "Number", numberCall, numberConstruct, numberProto);
  method(*this, numberProto, "toString", numberToStringFn);
  method(*this, numberProto, "valueOf", numberValueOf);
  uint8_t constant = kDontEnum | kDontDelete | kReadOnly;
  defineOwn(numberCtor, "MAX_VALUE", Value(std::numeric_limits<double>::max()), constant);
  defineOwn(numberCtor, "MIN_VALUE", Value(std::numeric_limits<double>::denorm_min()), constant);
  defineOwn(numberCtor, "NaN", Value(kNaN), constant);
  defineOwn(numberCtor, "POSITIVE_INFINITY", Value(std::numeric_limits<double>::infinity()), constant);
  defineOwn(numberCtor, "NEGATIVE_INFINITY", Value(-std::numeric_limits<double>::infinity()), constant);

  booleanProto = newObject();
  makeClass(*this, global_, "Boolean", booleanCall, booleanConstruct, booleanProto);
  method(*this, booleanProto, "toString", booleanToString);
  method(*this, booleanProto, "valueOf", booleanValueOf);

  dateProto = newObject();
  makeClass(*this, global_, "Date", dateCall, dateConstruct, dateProto);
  method(*this, dateProto, "getTime", dateGetTime);
  method(*this, dateProto, "valueOf", dateGetTime);

  Object* math = newObject();
  defineOwn(global_, "Math", Value(math), kDontEnum);
  method(*this, math, "abs", math1<absD>);
  method(*this, math, "acos", math1<std::acos>);
  method(*this, math, "asin", math1<std::asin>);
  method(*this, math, "atan", math1<std::atan>);
  method(*this, math, "ceil", math1<std::ceil>);
  method(*this, math, "cos", math1<std::cos>);
  method(*this, math, "exp", math1<std::exp>);
  method(*this, math, "floor", math1<std::floor>);
  method(*this, math, "log", math1<std::log>);
  method(*this, math, "round", math1<roundHalfUp>);
  method(*this, math, "sin", math1<std::sin>);
  method(*this, math, "sqrt", math1<std::sqrt>);
  method(*this, math, "tan", math1<std::tan>);
  method(*this, math, "pow", mathPow);
  method(*this, math, "atan2", mathAtan2);
  method(*this, math, "min", mathMin);
  method(*this, math, "max", mathMax);
  method(*this, math, "random", mathRandom);
  defineOwn(math, "PI", Value(std::numbers::pi), constant);
  defineOwn(math, "E", Value(std::numbers::e), constant);
  defineOwn(math, "LN2", Value(std::numbers::ln2), constant);
  defineOwn(math, "LN10", Value(std::numbers::ln10), constant);
  defineOwn(math, "LOG2E", Value(std::numbers::log2e), constant);
  defineOwn(math, "LOG10E", Value(std::numbers::log10e), constant);
  defineOwn(math, "SQRT2", Value(std::numbers::sqrt2), constant);
  defineOwn(math, "SQRT1_2", Value(std::numbers::sqrt2 / 2), constant);

  errorProto = newObject();
  defineOwn(errorProto, "message", Value("Error"));
  defineOwn(errorProto, "name", Value("Error"));

  clipProto = newObject();
  makeClass(*this, global_, "MovieClip", functionCall, nullptr, clipProto);
  method(*this, clipProto, "play", clipPlay);
  method(*this, clipProto, "stop", clipStop);
  method(*this, clipProto, "gotoAndPlay", clipGotoAndPlay);
  method(*this, clipProto, "gotoAndStop", clipGotoAndStop);
  method(*this, clipProto, "nextFrame", clipNextFrame);
  method(*this, clipProto, "prevFrame", clipPrevFrame);
  method(*this, clipProto, "getDepth", clipGetDepth);
  method(*this, clipProto, "createEmptyMovieClip", clipCreateEmpty);
  method(*this, clipProto, "attachMovie", clipAttachMovie);
  method(*this, clipProto, "duplicateMovieClip", clipDuplicate);
  method(*this, clipProto, "removeMovieClip", clipRemove);
  method(*this, clipProto, "swapDepths", clipSwapDepths);
  method(*this, clipProto, "getNextHighestDepth", clipNextHighestDepth);
  method(*this, clipProto, "getInstanceAtDepth", clipGetInstanceAtDepth);
  method(*this, clipProto, "getBytesLoaded", clipBytes);
  method(*this, clipProto, "getBytesTotal", clipBytes);
  method(*this, clipProto, "getBounds", clipGetBounds);
  method(*this, clipProto, "getRect", clipGetBounds);
  method(*this, clipProto, "hitTest", clipHitTest);
  method(*this, clipProto, "startDrag", nothing);
  method(*this, clipProto, "stopDrag", nothing);
  method(*this, clipProto, "toString", clipToString);
  buttonProto = newObject();
  makeClass(*this, global_, "Button", functionCall, nullptr, buttonProto);
  textFieldProto = newObject();
  makeClass(*this, global_, "TextField", functionCall, nullptr, textFieldProto);

  installXml(*this, global_);

  // Input and stage objects: there is no pointer or keyboard here, so they answer as if idle.
  Function* broadcaster = newNative(functionCall);
  defineOwn(global_, "AsBroadcaster", Value(static_cast<Object*>(broadcaster)), kDontEnum);
  method(*this, broadcaster, "initialize", broadcasterInitialize);
  Object* mouse = newObject();
  defineOwn(global_, "Mouse", Value(mouse), kDontEnum);
  makeBroadcaster(*this, mouse);
  method(*this, mouse, "show", returnZero);
  method(*this, mouse, "hide", returnZero);
  Object* keyObj = newObject();
  defineOwn(global_, "Key", Value(keyObj), kDontEnum);
  makeBroadcaster(*this, keyObj);
  method(*this, keyObj, "isDown", returnFalse);
  method(*this, keyObj, "isToggled", returnFalse);
  method(*this, keyObj, "getCode", returnZero);
  method(*this, keyObj, "getAscii", returnZero);
  const std::pair<const char*, double> keys[] = {
      {"BACKSPACE", 8}, {"TAB", 9},   {"ENTER", 13},   {"SHIFT", 16}, {"CONTROL", 17}, {"CAPSLOCK", 20},
      {"ESCAPE", 27},   {"SPACE", 32}, {"PGUP", 33},   {"PGDN", 34},  {"END", 35},     {"HOME", 36},
      {"LEFT", 37},     {"UP", 38},    {"RIGHT", 39},  {"DOWN", 40},  {"INSERT", 45},  {"DELETEKEY", 46}};
  for (auto& [name, code] : keys) defineOwn(keyObj, name, Value(code), constant);
  Object* stageObj = newObject();
  defineOwn(global_, "Stage", Value(stageObj), kDontEnum);
  makeBroadcaster(*this, stageObj);
  {
    Object* props = stageObj;
    props->props.push_back(Property{"width", Value(), newNative(stageWidth), nullptr, kDontEnum, 0});
    props->index.emplace(key("width"), uint32_t(props->props.size() - 1));
    props->props.push_back(Property{"height", Value(), newNative(stageHeight), nullptr, kDontEnum, 0});
    props->index.emplace(key("height"), uint32_t(props->props.size() - 1));
  }
  defineOwn(stageObj, "scaleMode", Value("showAll"), kDontEnum);
  defineOwn(stageObj, "align", Value(""), kDontEnum);
  defineOwn(stageObj, "showMenu", Value(true), kDontEnum);
  Object* selection = newObject();
  defineOwn(global_, "Selection", Value(selection), kDontEnum);
  makeBroadcaster(*this, selection);
  method(*this, selection, "getFocus", returnNull);
  method(*this, selection, "setFocus", returnFalse);
  method(*this, selection, "getBeginIndex", returnMinusOne);
  method(*this, selection, "getEndIndex", returnMinusOne);
  method(*this, selection, "getCaretIndex", returnMinusOne);
  Object* system = newObject();
  defineOwn(global_, "System", Value(system), kDontEnum);
  Object* security = newObject();
  defineOwn(system, "security", Value(security), kDontEnum);
  defineOwn(security, "sandboxType", Value("localWithFile"), kDontEnum);
  method(*this, security, "allowDomain", returnFalse);
  Object* capabilities = newObject();
  defineOwn(system, "capabilities", Value(capabilities), kDontEnum);
  defineOwn(capabilities, "version", Value("WIN 8,0,0,0"), kDontEnum);
  defineOwn(capabilities, "os", Value("Windows XP"), kDontEnum);
  defineOwn(capabilities, "playerType", Value("StandAlone"), kDontEnum);
  defineOwn(capabilities, "language", Value("en"), kDontEnum);
  defineOwn(system, "useCodepage", Value(false), kDontEnum);

  auto global = [&](const char* name, NativeFn fn) { method(*this, global_, name, fn); };
  global("parseInt", fnParseInt);
  global("parseFloat", fnParseFloat);
  global("isNaN", fnIsNaN);
  global("isFinite", fnIsFinite);
  global("escape", fnEscape);
  global("unescape", fnUnescape);
  global("getTimer", fnGetTimer);
  global("setInterval", fnSetInterval);
  global("clearInterval", fnClearInterval);
  global("setTimeout", fnSetTimeout);
  global("clearTimeout", fnClearInterval);
  global("ASSetPropFlags", fnSetPropFlags);
  global("targetPath", fnTargetPath);
  global("updateAfterEvent", nothing);
  defineOwn(global_, "NaN", Value(kNaN), kDontEnum);
  defineOwn(global_, "Infinity", Value(std::numeric_limits<double>::infinity()), kDontEnum);
  installText(*this, global_);
  installFilters(*this, global_);
  installGeom(*this, global_);
  installBitmapData(*this, global_);
  installNativeTables(*this, global_);
  installExternalInterface(*this, global_);
  installLoading(*this, global_);
  installSharedObject(*this, global_);
  installLocalConnection(*this, global_);
  installSound(*this, global_);
}

}  // namespace vorlo::player::avm1
