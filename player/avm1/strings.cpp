// String: the constructor, String.fromCharCode and the methods of String.prototype. Methods work
// on the text of any `this` (its toString); positions count UTF-16 units and are converted as
// 32-bit integers. A method that needs an argument and gets none answers undefined.
#include <cmath>

#include "player/avm1/natives.h"
#include "player/avm1/text.h"

namespace vorlo::player::avm1 {

namespace {

std::u16string thisText(Vm& vm, Value& self) {
  if (Object* o = selfOf(self, Kind::String)) return toUtf16(o->primitive.str);
  return toUtf16(vm.toString(self));
}

int32_t intArg(Vm& vm, const std::vector<Value>& args, size_t i) { return toInt32(vm.toNumber(arg(args, i))); }

// A position counted from the end when negative, within [0, len].
size_t wrappingIndex(int32_t i, size_t len) {
  if (i < 0) {
    uint32_t back = uint32_t(0) - uint32_t(i);
    return back >= len ? 0 : len - back;
  }
  return std::min(size_t(uint32_t(i)), len);
}
// A position within [0, len], negative ones taken as 0.
size_t clampedIndex(int32_t i, size_t len) { return i < 0 ? 0 : std::min(size_t(uint32_t(i)), len); }

Value text(std::u16string_view s) {
  return Value(toUtf8(s));
}

// Case mapping for the letters with a simple one-to-one mapping: ranges of upper-case letters,
// their distance to lower case, and whether only every other code is a letter of the range.
struct CaseRange {
  char16_t first, last;
  int16_t delta;
  bool alternating;
};
constexpr CaseRange kUpperRanges[] = {
    {u'A', u'Z', 32, false},       {0x00C0, 0x00D6, 32, false}, {0x00D8, 0x00DE, 32, false},
    {0x0100, 0x012E, 1, true},     {0x0132, 0x0136, 1, true},   {0x0139, 0x0147, 1, true},
    {0x014A, 0x0176, 1, true},     {0x0179, 0x017D, 1, true},   {0x0391, 0x03A1, 32, false},
    {0x03A3, 0x03AB, 32, false},   {0x0400, 0x040F, 80, false}, {0x0410, 0x042F, 32, false},
    {0x0460, 0x0480, 1, true},     {0x048A, 0x04BE, 1, true},   {0xFF21, 0xFF3A, 32, false},
};

char16_t caseMapped(char16_t c, bool toLower) {
  for (const CaseRange& r : kUpperRanges) {
    char16_t first = toLower ? r.first : char16_t(r.first + r.delta);
    char16_t last = toLower ? r.last : char16_t(r.last + r.delta);
    if (c < first || c > last) continue;
    if (r.alternating && (c - first) % 2) continue;
    return toLower ? char16_t(c + r.delta) : char16_t(c - r.delta);
  }
  return c;
}

Value stringCall(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(args.empty() ? std::string() : vm.toString(args[0]));
}
Value stringConstruct(Vm& vm, Value&, std::vector<Value>& args) {
  return Value(vm.toObject(Value(args.empty() ? std::string() : vm.toString(args[0]))));
}
Value stringValueOf(Vm& vm, Value& self, std::vector<Value>&) {
  if (Object* o = selfOf(self, Kind::String)) return o->primitive;
  if (self.isString()) return self;
  return {};
}
Value stringCharAt(Vm& vm, Value& self, std::vector<Value>& args) {
  std::u16string s = thisText(vm, self);
  int32_t i = intArg(vm, args, 0);
  if (i < 0 || size_t(i) >= s.size()) return Value("");
  return text(std::u16string_view(s).substr(size_t(i), 1));
}
Value stringCharCodeAt(Vm& vm, Value& self, std::vector<Value>& args) {
  std::u16string s = thisText(vm, self);
  int32_t i = intArg(vm, args, 0);
  if (i < 0) return Value(kNaN);
  if (size_t(i) >= s.size()) return Value(vm.version == 5 ? 0.0 : kNaN);  // SWF 5 answers 0 past the end
  return Value(double(s[size_t(i)]));
}
Value stringConcat(Vm& vm, Value& self, std::vector<Value>& args) {
  std::string s = toUtf8(thisText(vm, self));
  for (Value& v : args) {
    s += vm.toString(v);
    if (s.size() > Vm::kMaxString) throw ScriptAbort{"a string grew beyond its limit"};
  }
  return Value(std::move(s));
}
Value stringIndexOf(Vm& vm, Value& self, std::vector<Value>& args) {
  std::u16string s = thisText(vm, self);
  if (args.empty()) return {};
  std::u16string needle = toUtf16(vm.toString(args[0]));
  int32_t start = arg(args, 1).isUndefined() ? 0 : std::max(0, intArg(vm, args, 1));
  if (size_t(start) > s.size()) return Value(-1.0);
  size_t at = s.find(needle, size_t(start));
  return Value(at == std::u16string::npos ? -1.0 : double(at));
}
Value stringLastIndexOf(Vm& vm, Value& self, std::vector<Value>& args) {
  std::u16string s = thisText(vm, self);
  if (args.empty()) return {};
  std::u16string needle = toUtf16(vm.toString(args[0]));
  size_t end = s.size();  // the match must end before this
  if (!arg(args, 1).isUndefined()) {
    int32_t from = intArg(vm, args, 1);
    if (from < 0) return Value(-1.0);
    end = std::min(s.size(), size_t(uint32_t(from)) + needle.size());
  }
  size_t at = std::u16string_view(s).substr(0, end).rfind(needle);
  return Value(at == std::u16string::npos ? -1.0 : double(at));
}
Value stringSlice(Vm& vm, Value& self, std::vector<Value>& args) {
  if (args.empty()) return {};
  std::u16string s = thisText(vm, self);
  size_t a = wrappingIndex(intArg(vm, args, 0), s.size());
  size_t b = arg(args, 1).isUndefined() ? s.size() : wrappingIndex(intArg(vm, args, 1), s.size());
  return a < b ? text(std::u16string_view(s).substr(a, b - a)) : Value("");
}
Value stringSubstring(Vm& vm, Value& self, std::vector<Value>& args) {
  if (args.empty()) return {};
  std::u16string s = thisText(vm, self);
  size_t a = clampedIndex(intArg(vm, args, 0), s.size());
  size_t b = arg(args, 1).isUndefined() ? s.size() : clampedIndex(intArg(vm, args, 1), s.size());
  if (b < a) std::swap(a, b);
  return text(std::u16string_view(s).substr(a, b - a));
}
Value stringSubstr(Vm& vm, Value& self, std::vector<Value>& args) {
  if (args.empty()) return {};
  std::u16string s = thisText(vm, self);
  size_t start = wrappingIndex(intArg(vm, args, 0), s.size());
  int32_t length = arg(args, 1).isUndefined() ? int32_t(s.size()) : intArg(vm, args, 1);
  // The end is start + length, itself counted from the end when negative.
  size_t end = wrappingIndex(int32_t(uint32_t(start) + uint32_t(length)), s.size());
  return start < end ? text(std::u16string_view(s).substr(start, end - start)) : Value("");
}
Value stringSplit(Vm& vm, Value& self, std::vector<Value>& args) {
  std::u16string s = thisText(vm, self);
  size_t limit = arg(args, 1).isUndefined() ? SIZE_MAX : size_t(std::max(0, intArg(vm, args, 1)));
  ArrayObject* out = vm.newArray();
  // SWF 5 splits at commas when no separator is given, and takes an empty one as none.
  bool swf5 = vm.version == 5;
  bool haveSeparator = !arg(args, 0).isUndefined() || swf5;
  std::u16string sep = arg(args, 0).isUndefined() ? u"," : toUtf16(vm.toString(args[0]));
  if (swf5 && sep.empty()) haveSeparator = false;
  if (!haveSeparator) {
    out->items.push_back(text(s));
  } else if (sep.empty()) {
    for (size_t i = 0; i < s.size() && out->items.size() < limit; ++i) out->items.push_back(text(s.substr(i, 1)));
  } else {
    size_t start = 0;
    while (out->items.size() < limit) {
      size_t at = s.find(sep, start);
      if (at == std::u16string::npos) {
        out->items.push_back(text(std::u16string_view(s).substr(start)));
        break;
      }
      out->items.push_back(text(std::u16string_view(s).substr(start, at - start)));
      start = at + sep.size();
    }
  }
  return Value(static_cast<Object*>(out));
}
template <bool kLower>
Value stringCase(Vm& vm, Value& self, std::vector<Value>&) {
  std::u16string s = thisText(vm, self);
  for (char16_t& c : s) c = caseMapped(c, kLower);
  return text(s);
}
Value stringFromCharCode(Vm& vm, Value&, std::vector<Value>& args) {
  std::u16string s;
  for (Value& v : args) {
    char16_t c = char16_t(toUint32(vm.toNumber(v)) & 0xFFFF);
    if (c == 0) break;  // text ends at a NUL
    s += c;
  }
  return text(s);
}

}  // namespace

void installStrings(Vm& vm, Object* global) {
  vm.stringProto = vm.newObject();
  Object* proto = vm.stringProto;
  Function* ctor = makeClass(vm, global, "String", stringCall, stringConstruct, proto);
  method(vm, ctor, "fromCharCode", stringFromCharCode);
  const std::pair<const char*, NativeFn> methods[] = {
      {"toString", stringValueOf},       {"valueOf", stringValueOf},  {"charAt", stringCharAt},
      {"charCodeAt", stringCharCodeAt},  {"concat", stringConcat},    {"indexOf", stringIndexOf},
      {"lastIndexOf", stringLastIndexOf}, {"slice", stringSlice},     {"substring", stringSubstring},
      {"substr", stringSubstr},          {"split", stringSplit},      {"toLowerCase", stringCase<true>},
      {"toUpperCase", stringCase<false>},
  };
  for (auto& [name, fn] : methods) method(vm, proto, name, fn, kDontEnum | kDontDelete);
}

}  // namespace vorlo::player::avm1
