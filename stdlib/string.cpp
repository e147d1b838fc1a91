// String: the class of string values. Positions and lengths count UTF-16 units; every member that
// produces text makes a new string.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "engine/convert.h"
#include "engine/error.h"
#include "engine/number_reader.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/vm.h"
#include "stdlib/array.h"
#include "stdlib/binding.h"
#include "stdlib/builtins.h"
#include "stdlib/regexp.h"

namespace vorlo {
namespace {

using Text = std::u16string_view;

Text selfText(const MemberCall& call) { return stringView(selfValue(call)->asString()); }

ScriptValue textOf(ScriptVM* vm, const ScriptValue& v) { return v.isString() ? v : toStringValue(vm, v); }

// Text that grows piece by piece stops with "Out of memory" before it passes kMaxBuiltText.
void checkLength(ScriptVM* vm, size_t length) {
  if (length > kMaxBuiltText) raiseOutOfMemory(vm);
}

void setEmpty(MemberCall& call) { setStaticString(call.vm, call.result, u"", 0); }

// The text up to its first zero unit.
Text untilZero(Text t) { return t.substr(0, std::min(t.size(), t.find(u'\0'))); }

void stringCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  if (argCount(args) < 1) *result = staticString(vm, u"");
  else *result = toStringValue(vm, args[1]);
}

void stringConstruct(ScriptVM* vm, NativeClass*, const ScriptValue* args, ScriptValue* result) {
  ScriptValue text = argCount(args) < 1 ? staticString(vm, u"") : toStringValue(vm, args[1]);
  *result = ownedString(vm, stringView(text.asString()));
}

void getLength(ScriptVM*, void* self, ScriptValue* value) {
  *value = ScriptValue::integer(static_cast<const ScriptValue*>(self)->asString()->length);
}

void toString(MemberCall& call) {
  if (selfValue(call)) *call.result = *selfValue(call);
  else setClassText(call, u"[Object String]");
}

void valueOf(MemberCall& call) {
  *call.result = selfValue(call) ? *selfValue(call) : classObjectOf(call.cls);
}

void fromCharCode(MemberCall& call) {
  std::u16string out;
  for (int64_t i = 0; i < call.count(); i++) {
    ScriptValue v = call.arg(i);
    uint64_t code = 0;
    if (v.kind == KindInteger) code = static_cast<uint64_t>(v.asInt());
    else if (v.isString()) code = static_cast<uint64_t>(scanInteger(stringView(v.asString()), 10).value);
    else if (v.kind == KindFloat && std::isfinite(v.asFloat())) code = static_cast<uint64_t>(truncateToInt64(v.asFloat()));
    out += static_cast<char16_t>(code & 0xFFFF);
  }
  setText(call.vm, call.result, Text(out));
}

void charAt(MemberCall& call) {
  Text t = selfText(call);
  ScriptValue i = call.arg(0);
  if (isInteger(i) && static_cast<uint64_t>(i.asInt()) < t.size()) setText(call.vm, call.result, t.substr(i.asInt(), 1));
  else setEmpty(call);
}

void charCodeAt(MemberCall& call) {
  Text t = selfText(call);
  ScriptValue i = call.has(0) ? call.arg(0) : ScriptValue::integer(0);
  if (isInteger(i) && static_cast<uint64_t>(i.asInt()) < t.size()) *call.result = ScriptValue::integer(t[i.asInt()]);
  else *call.result = ScriptValue::nan();
}

void concat(MemberCall& call) {
  ValueRoots<1> parts(call.vm);
  std::u16string out(selfText(call));
  for (int64_t i = 0; i < call.count(); i++) {
    parts[0] = toStringValue(call.vm, call.arg(i));
    checkLength(call.vm, out.size() + parts[0].asString()->length);
    out.append(stringView(parts[0].asString()));
  }
  setText(call.vm, call.result, Text(out));
}

void indexOf(MemberCall& call) {
  *call.result = ScriptValue::integer(-1);
  if (!call.has(0)) return;
  Text t = selfText(call);
  ValueRoot search(call.vm, textOf(call.vm, call.arg(0)));
  Text s = stringView(search.value.asString());
  int64_t from = isInteger(call.arg(1)) ? call.arg(1).asInt() : 0;
  if (from < 0 || static_cast<uint64_t>(from) + s.size() > t.size()) return;
  size_t at = t.find(s, static_cast<size_t>(from));
  if (at != Text::npos) *call.result = ScriptValue::integer(static_cast<int64_t>(at));
}

void lastIndexOf(MemberCall& call) {
  *call.result = ScriptValue::integer(-1);
  if (!call.has(0)) return;
  Text t = selfText(call);
  ValueRoot search(call.vm, textOf(call.vm, call.arg(0)));
  Text s = stringView(search.value.asString());
  int64_t bound = static_cast<int64_t>(t.size()) - static_cast<int64_t>(s.size());
  int64_t from = isInteger(call.arg(1)) ? std::min(call.arg(1).asInt(), bound) : bound;
  if (from < 0) return;
  size_t at = t.rfind(s, static_cast<size_t>(from));
  if (at != Text::npos) *call.result = ScriptValue::integer(static_cast<int64_t>(at));
}

void match(MemberCall& call) {
  if (isRegExp(call.vm, call.arg(0))) regExpMatch(call.vm, *selfValue(call), call.arg(0), call.result);
  else *call.result = newArrayValue(call.vm, 0);
}

void replace(MemberCall& call) {
  ScriptValue search = call.arg(0), replacement = call.arg(1);
  if (call.count() < 2 || !replacement.isString() || !(search.isString() || isRegExp(call.vm, search))) {
    setEmpty(call);
    return;
  }
  if (!search.isString()) {
    regExpReplace(call.vm, *selfValue(call), search, replacement, call.result);
    return;
  }
  Text t = selfText(call), s = untilZero(stringView(search.asString()));
  Text r = untilZero(stringView(replacement.asString()));
  bool all = call.has(2) && toBoolean(call.arg(2));
  if (s.empty()) {
    *call.result = *selfValue(call);
    return;
  }
  std::u16string out;
  size_t from = 0;
  while (true) {
    size_t at = t.find(s, from);
    if (at == Text::npos) break;
    checkLength(call.vm, out.size() + (at - from) + r.size());
    out.append(t.substr(from, at - from)).append(r);
    from = at + s.size();
    if (!all) break;
  }
  out.append(t.substr(from));
  setText(call.vm, call.result, Text(out));
}

void search(MemberCall& call) {
  ScriptValue arg = call.arg(0);
  if (isRegExp(call.vm, arg)) {
    regExpSearch(call.vm, *selfValue(call), arg, call.result);
    return;
  }
  size_t at = arg.isString() ? selfText(call).find(stringView(arg.asString())) : Text::npos;
  *call.result = ScriptValue::integer(at == Text::npos ? -1 : static_cast<int64_t>(at));
}

void slice(MemberCall& call) {
  Text t = selfText(call);
  int64_t length = static_cast<int64_t>(t.size());
  if (!isInteger(call.arg(0)) || (call.has(1) && !isInteger(call.arg(1)))) {
    setEmpty(call);
    return;
  }
  auto position = [length](int64_t v) { return v < 0 ? std::max<int64_t>(length + v, 0) : std::min(v, length); };
  int64_t start = position(call.arg(0).asInt());
  int64_t end = call.has(1) ? position(call.arg(1).asInt()) : length;
  if (end <= start) setEmpty(call);
  else setText(call.vm, call.result, t.substr(start, end - start));
}

void split(MemberCall& call) {
  ScriptVM* vm = call.vm;
  ScriptValue separator = call.arg(0);
  bool pattern = isRegExp(vm, separator);
  if (!separator.isString() && !pattern) {
    ScriptArray* a = newArray(vm, 0);
    arrayAppend(vm, a, *selfValue(call));
    *call.result = ScriptValue::array(a);
    return;
  }
  int64_t limit = isInteger(call.arg(1)) ? call.arg(1).asInt() : 2147483647;
  if (pattern) {
    regExpSplit(vm, *selfValue(call), separator, limit, call.result);
    return;
  }
  ValueRoot result(vm, newArrayValue(vm, 0));
  ScriptArray* a = result.value.asArray();
  Text t = selfText(call), s = stringView(separator.asString());
  int64_t pieces = 0;
  if (limit <= 0) {
  } else if (s.empty()) {
    for (size_t i = 0; i < t.size() && pieces < limit; i++, pieces++) arrayAppend(vm, a, ownedString(vm, t.substr(i, 1)));
  } else {
    size_t from = 0;
    while (pieces < limit) {
      size_t at = t.find(s, from);
      if (at == Text::npos) break;
      arrayAppend(vm, a, ownedString(vm, t.substr(from, at - from)));
      pieces++;
      from = at + s.size();
    }
    if (pieces < limit) arrayAppend(vm, a, ownedString(vm, t.substr(from)));
  }
  *call.result = result.value;
}

void substr(MemberCall& call) {
  Text t = selfText(call);
  int64_t length = static_cast<int64_t>(t.size());
  if (!isInteger(call.arg(0))) {
    setEmpty(call);
    return;
  }
  int64_t start = call.arg(0).asInt();
  start = start < 0 ? std::max<int64_t>(length + start, 0) : std::min(start, length);
  int64_t count = isInteger(call.arg(1)) ? std::max<int64_t>(call.arg(1).asInt(), 0) : length;
  count = std::min(count, length - start);
  setText(call.vm, call.result, t.substr(start, count));
}

void substring(MemberCall& call) {
  Text t = selfText(call);
  int64_t length = static_cast<int64_t>(t.size());
  if (!isInteger(call.arg(0))) {
    setEmpty(call);
    return;
  }
  int64_t start = std::max<int64_t>(call.arg(0).asInt(), 0);
  int64_t end = isInteger(call.arg(1)) ? std::min(call.arg(1).asInt(), length) : length;
  if (start <= end) setText(call.vm, call.result, t.substr(start, end - start));
  else setEmpty(call);
}

template <char16_t From, char16_t To>
void mapAscii(MemberCall& call) {
  std::u16string out(selfText(call));
  for (char16_t& c : out) {
    if (c >= From && c <= From + 25) c = static_cast<char16_t>(c - From + To);
  }
  setText(call.vm, call.result, Text(out));
}

// The HTML wrappers: the attribute (when the format has one) and self filled into the format.
template <const char16_t* Open, const char16_t* Middle, const char16_t* Close>
void wrap(MemberCall& call) {
  std::u16string out(Open);
  if (Middle[0]) {
    ValueRoot attribute(call.vm, call.has(0) ? toStringValue(call.vm, call.arg(0)) : staticString(call.vm, u""));
    out.append(stringView(attribute.value.asString())).append(Middle);
  }
  out.append(selfText(call)).append(Close);
  setText(call.vm, call.result, Text(out));
}

constexpr char16_t kNone[] = u"";
constexpr char16_t kQuoteClose[] = u"\">";
constexpr char16_t kAnchor[] = u"<A NAME=\"";
constexpr char16_t kLink[] = u"<A HREF=\"";
constexpr char16_t kEndA[] = u"</A>";
constexpr char16_t kFontColor[] = u"<FONT COLOR=\"";
constexpr char16_t kFontSize[] = u"<FONT SIZE=\"";
constexpr char16_t kEndFont[] = u"</FONT>";
#define VORLO_TAG(name, tag)                      \
  constexpr char16_t k##name##Open[] = u"<" tag ">"; \
  constexpr char16_t k##name##Close[] = u"</" tag ">";
VORLO_TAG(Big, "BIG")
VORLO_TAG(Blink, "BLINK")
VORLO_TAG(Bold, "B")
VORLO_TAG(Fixed, "TT")
VORLO_TAG(Italics, "I")
VORLO_TAG(Small, "SMALL")
VORLO_TAG(Strike, "STRIKE")
VORLO_TAG(Sub, "SUB")
VORLO_TAG(Sup, "SUP")
#undef VORLO_TAG

constexpr Member kMembers[] = {
    {"length", nullptr, getLength, nullptr, true},
    instanceMethod("charAt", charAt),
    instanceMethod("charCodeAt", charCodeAt),
    instanceMethod("concat", concat),
    {"fromCharCode", fromCharCode},
    instanceMethod("indexOf", indexOf),
    instanceMethod("lastIndexOf", lastIndexOf),
    instanceMethod("match", match),
    instanceMethod("replace", replace),
    instanceMethod("search", search),
    instanceMethod("slice", slice),
    instanceMethod("split", split),
    instanceMethod("substr", substr),
    instanceMethod("substring", substring),
    instanceMethod("toLowerCase", mapAscii<u'A', u'a'>),
    instanceMethod("toUpperCase", mapAscii<u'a', u'A'>),
    instanceMethod("anchor", wrap<kAnchor, kQuoteClose, kEndA>),
    instanceMethod("big", wrap<kBigOpen, kNone, kBigClose>),
    instanceMethod("blink", wrap<kBlinkOpen, kNone, kBlinkClose>),
    instanceMethod("bold", wrap<kBoldOpen, kNone, kBoldClose>),
    instanceMethod("fixed", wrap<kFixedOpen, kNone, kFixedClose>),
    instanceMethod("fontColor", wrap<kFontColor, kQuoteClose, kEndFont>),
    instanceMethod("fontSize", wrap<kFontSize, kQuoteClose, kEndFont>),
    instanceMethod("italics", wrap<kItalicsOpen, kNone, kItalicsClose>),
    instanceMethod("link", wrap<kLink, kQuoteClose, kEndA>),
    instanceMethod("small", wrap<kSmallOpen, kNone, kSmallClose>),
    instanceMethod("strike", wrap<kStrikeOpen, kNone, kStrikeClose>),
    instanceMethod("sub", wrap<kSubOpen, kNone, kSubClose>),
    instanceMethod("sup", wrap<kSupOpen, kNone, kSupClose>),
    {"toString", toString},
    {"valueOf", valueOf},
};

}  // namespace

void registerString(ScriptVM* vm) {
  registerClass(vm, ClassDef{.name = "String",
                             .members = kMembers,
                             .call = stringCall,
                             .construct = stringConstruct,
                             .servesKinds = kindBit(KindString)});
}

}  // namespace vorlo
