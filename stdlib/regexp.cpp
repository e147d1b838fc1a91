// RegExp: regular expressions compiled and matched by Boost.Regex over UTF-16 units, the class-wide
// state of the last match, and the pattern forms of the String members match, replace, search and
// split.
//
// The flags given to the library are those of its POSIX interface: the constructor (and expression
// literals) compile POSIX extended syntax without collation and with escapes inside bracket lists;
// `compile` compiles plain POSIX extended syntax (collation on, a backslash inside brackets is an
// ordinary character). Both select POSIX leftmost-longest matching. "i" folds case; "m" keeps "."
// from matching a line break ("^" and "$" match at line breaks in either case, as the library's
// POSIX syntax defines).
#include "stdlib/regexp.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>

#include "engine/array.h"
#include "engine/convert.h"
#include "engine/error.h"
#include "engine/gc.h"
#include "engine/native.h"
#include "engine/object.h"
#include "engine/pin.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/trace.h"
#include "engine/vm.h"
#include "stdlib/array.h"
#include "stdlib/binding.h"
#include "stdlib/regexp_traits.h"

namespace vorlo {
namespace {

namespace rc = boost::regex_constants;

constexpr int kGlobal = 1;
constexpr int kIgnoreCase = 2;
constexpr int kMultiline = 4;

// Sub-match slots kept of a match: slot 0 is the whole match, 1 ... 255 the groups.
constexpr int kSlotCount = 256;
// The error text is cut to what fits a buffer of this many units with its terminator.
constexpr size_t kErrorTextUnits = 256;

struct Slots {
  // Positions in UTF-16 units, -1 for a slot without a match.
  std::array<int64_t, kSlotCount> start;
  std::array<int64_t, kSlotCount> end;
  void clear() {
    start.fill(-1);
    end.fill(-1);
  }
  bool used(int i) const { return start[i] >= 0; }
};

// Class-wide state, one per machine: the last input and the slots of the last match.
struct ClassState {
  ScriptValue input;  // the last text matched (any value the script passed)
  NativeClass* cls = nullptr;  // the class object stays pinned, so the class lives as long
  Atom indexAtom = 0;
  Atom inputAtom = 0;
  Slots slots;
  void mark(ScriptVM* vm) const { markValue(vm, input); }
};

// An instance's native data.
struct Instance {
  std::u16string pattern;  // up to its first zero unit
  int flags = 0;
  std::unique_ptr<UnitRegex> compiled;  // null when the pattern did not compile
  int32_t lastIndex = 0;
};


// The instance behind the `self` of an instance property (the table marks them so: self is data).
Instance* instanceOf(void* self) { return static_cast<Instance*>(self); }

// --- the class-wide state of each machine ---

ClassState& stateOf(const ScriptVM* vm) { return *classState<ClassState>(vm); }

// --- compiling ---

std::u16string_view untilZero(std::u16string_view text) {
  size_t zero = text.find(u'\0');
  return zero == std::u16string_view::npos ? text : text.substr(0, zero);
}

int flagsFrom(std::u16string_view text) {
  int flags = 0;
  for (char16_t c : text) {
    if (c == u'g') flags |= kGlobal;
    else if (c == u'i') flags |= kIgnoreCase;
    else if (c == u'm') flags |= kMultiline;
  }
  return flags;
}

void reportError(std::string_view text) {
  std::string line = "RegExp runtime error: ";
  line += text.substr(0, std::min(text.size(), kErrorTextUnits - 1));
  traceLine(line);
}

void reportError(rc::error_type code) { reportError(boost::BOOST_REGEX_DETAIL_NS::get_default_error_string(code)); }

enum class Syntax {
  Constructor,  // POSIX extended, no collation, escapes in bracket lists
  Compile,      // POSIX extended
};

// Compiles the pattern (up to its first zero unit); null after writing the error line.
std::unique_ptr<UnitRegex> compilePattern(std::u16string_view pattern, int flags, Syntax syntax) {
  boost::regex_constants::syntax_option_type options = boost::regex_constants::extended;
  if (syntax == Syntax::Constructor) options &= ~(boost::regex_constants::collate | boost::regex_constants::no_escape_in_lists);
  if (flags & kIgnoreCase) options |= boost::regex_constants::icase;
  pattern = untilZero(pattern);
  rc::error_type code;
  try {
    return std::make_unique<UnitRegex>(pattern.data(), pattern.data() + pattern.size(), options);
  } catch (const boost::regex_error& e) {
    code = e.code();
  } catch (const std::bad_alloc&) {
    code = rc::error_space;
  } catch (const std::exception&) {
    code = rc::error_unknown;
  }
  reportError(code);
  return nullptr;
}

// Sets pattern, flags and the compiled form; false when the pattern did not compile.
bool compileInto(Instance& re, std::u16string_view pattern, int flags, Syntax syntax) {
  re.pattern = std::u16string(untilZero(pattern));
  re.flags = flags;
  re.compiled.reset();
  std::u16string_view compiled = re.pattern;
  if (compiled.empty() && syntax == Syntax::Constructor) compiled = u"^";
  re.compiled = compilePattern(compiled, flags, syntax);
  return re.compiled != nullptr;
}

// --- matching ---

enum class Outcome { Found, None, Failed };

// A text being matched. A match from some position sees the text up to its first zero unit at or
// after that position; scans through one text move forward, so the zero found last serves every
// later position up to it and finding the zeros stays linear in the text's length.
class Subject {
 public:
  explicit Subject(std::u16string_view text) : text(text) {}
  std::u16string_view text;
  size_t size() const { return text.size(); }
  size_t runEnd(size_t from) {
    if (from < searchedFrom_ || from > zero_) {
      zero_ = std::min(text.find(u'\0', from), text.size());
      searchedFrom_ = from;
    }
    return zero_;
  }

 private:
  size_t searchedFrom_ = SIZE_MAX;
  size_t zero_ = 0;
};

// Searches the text from `from` up to its first zero unit at or after `from` ("^" anchors at
// `from`). On a match the slots hold positions in the whole text. A match the library gives up on
// (too complex, out of stack) writes the error line and counts as Failed.
Outcome searchFrom(const Instance& re, Subject& subject, size_t from, Slots* slots) {
  if (!re.compiled) return Outcome::None;
  from = std::min(from, subject.size());
  const char16_t* base = subject.text.data();
  size_t end = subject.runEnd(from);
  rc::match_flag_type flags = rc::match_default;
  if (re.flags & kMultiline) flags |= rc::match_not_dot_newline;
  UnitMatch m;
  bool found;
  try {
    found = boost::regex_search(base + from, base + end, m, *re.compiled, flags);
  } catch (const boost::regex_error& e) {
    reportError(e.code());
    return Outcome::Failed;
  } catch (const std::bad_alloc&) {
    reportError(rc::error_space);
    return Outcome::Failed;
  } catch (const std::runtime_error& e) {
    reportError(e.what());
    return Outcome::Failed;
  }
  if (!found) return Outcome::None;
  slots->clear();
  size_t n = std::min<size_t>(m.size(), kSlotCount);
  for (size_t i = 0; i < n; ++i) {
    if (!m[i].matched) continue;
    slots->start[i] = m[i].first - base;
    slots->end[i] = m[i].second - base;
  }
  return Outcome::Found;
}

int32_t clampIndex(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, 0, INT32_MAX)); }

size_t startOf(const Instance& re, size_t length) {
  return std::min<size_t>(static_cast<size_t>(std::max<int32_t>(re.lastIndex, 0)), length);
}

// exec and test: clears the class-wide slots and matches from lastIndex; moves lastIndex of a
// global expression.
Outcome execMatch(ClassState& state, Instance& re, Subject& subject) {
  state.slots.clear();
  Slots slots;
  Outcome outcome = searchFrom(re, subject, startOf(re, subject.size()), &slots);
  if (outcome != Outcome::Found) {
    if (re.flags & kGlobal) re.lastIndex = 0;
    return outcome;
  }
  state.slots = slots;
  if (re.flags & kGlobal) re.lastIndex = clampIndex(slots.end[0]);
  return outcome;
}

ScriptValue substring(ScriptVM* vm, std::u16string_view text, int64_t start, int64_t end) {
  return ScriptValue::string(newOwnedString(vm, text.data() + start, static_cast<size_t>(end - start)));
}

// The result array of a match: the whole match, then the groups up to the first one that did not
// take part; "index" and "input" as own properties.
ScriptValue matchArray(ScriptVM* vm, const ClassState& state, std::u16string_view text) {
  ValueRoot array(vm, newArrayValue(vm, 0));
  ScriptArray* a = array.value.asArray();
  for (int i = 0; i < kSlotCount && state.slots.used(i); ++i)
    arrayAppend(vm, a, substring(vm, text, state.slots.start[i], state.slots.end[i]));
  a->props = newObject(vm);
  objectSet(vm, a->props, state.indexAtom, ScriptValue::integer(state.slots.start[0]));
  objectSet(vm, a->props, state.inputAtom, state.input);
  return array.value;
}

std::u16string_view viewOf(const ScriptValue& s) { return stringView(s.asString()); }

// The text that exec, test and the call form work on: the argument's string form (the argument
// becomes the class-wide input), or without an argument the class-wide input's.
ScriptValue chooseText(ScriptVM* vm, ClassState& state, const MemberCall& call) {
  if (call.has(0)) {
    ScriptValue arg = call.arg(0);
    ScriptValue text = toStringValue(vm, arg);
    state.input = arg;
    return text;
  }
  ValueRoot input(vm, state.input);
  return toStringValue(vm, input.value);
}

// exec and test: choose the text and match from lastIndex; `found` makes the result of a match,
// `neutral` stands otherwise.
template <typename Found>
void matchCall(MemberCall& call, ScriptValue neutral, Found found) {
  *call.result = neutral;
  Instance* re = dataOf<Instance>(call);
  if (!re) return;
  ClassState& state = stateOf(call.vm);
  ValueRoot text(call.vm, chooseText(call.vm, state, call));
  if (!re->compiled) return;
  Subject subject(viewOf(text.value));
  if (execMatch(state, *re, subject) == Outcome::Found) *call.result = found(state, subject);
}

void execCall(MemberCall& call) {
  matchCall(call, ScriptValue::null(),
            [&](ClassState& state, Subject& subject) { return matchArray(call.vm, state, subject.text); });
}

void testCall(MemberCall& call) {
  matchCall(call, ScriptValue::boolean(false), [](ClassState&, Subject&) { return ScriptValue::boolean(true); });
}

void compileCall(MemberCall& call) {
  *call.result = ScriptValue::boolean(false);
  Instance* re = dataOf<Instance>(call);
  if (!re || !call.has(0)) return;
  ValueRoot pattern(call.vm, toStringValue(call.vm, call.arg(0)));
  int flags = 0;
  if (call.has(1)) {
    ValueRoot flagText(call.vm, toStringValue(call.vm, call.arg(1)));
    flags = flagsFrom(viewOf(flagText.value));
  }
  *call.result = ScriptValue::boolean(compileInto(*re, viewOf(pattern.value), flags, Syntax::Compile));
}

void toStringCall(MemberCall& call) {
  Instance* re = dataOf<Instance>(call);
  if (!re) {
    setClassText(call, u"[Object RegExp]");
    return;
  }
  std::u16string text = u"/" + re->pattern + u"/";
  if (re->flags & kGlobal) text += u'g';
  if (re->flags & kIgnoreCase) text += u'i';
  if (re->flags & kMultiline) text += u'm';
  setText(call.vm, call.result, std::u16string_view(text));
}

// --- properties ---

// The class-wide input as a string, or null when it is not one.
const ScriptString* inputString(const ClassState& state) {
  return state.input.kind == KindString ? state.input.asString() : nullptr;
}

// A part of the class-wide input, or null when the input is not a string or the positions do not
// lie within it.
void inputPart(ScriptVM* vm, const ClassState& state, int64_t start, int64_t end, ScriptValue* value) {
  const ScriptString* input = inputString(state);
  int64_t length = input ? input->length : 0;
  if (!input || start < 0 || end < start || end > length) {
    *value = ScriptValue::null();
    return;
  }
  *value = substring(vm, stringView(input), start, end);
}

template <int N>
void getGroup(ScriptVM* vm, void*, ScriptValue* value) {
  const ClassState& state = stateOf(vm);
  inputPart(vm, state, state.slots.start[N], state.slots.end[N], value);
}

// The last group that took part: the slot before the first unused one (or the first one starting
// at or beyond the end of the input); 0 when there is none.
int lastParenSlot(const Slots& slots, int64_t inputLength) {
  int last = 0;
  for (int i = 1; i < kSlotCount; ++i) {
    if (!slots.used(i) || slots.start[i] >= inputLength) break;
    last = i;
  }
  return last;
}

void getLastParen(ScriptVM* vm, void*, ScriptValue* value) {
  const ClassState& state = stateOf(vm);
  const ScriptString* input = inputString(state);
  int slot = input ? lastParenSlot(state.slots, input->length) : 0;
  if (slot == 0) {
    *value = ScriptValue::null();
    return;
  }
  inputPart(vm, state, state.slots.start[slot], state.slots.end[slot], value);
}

void getLeftContext(ScriptVM* vm, void*, ScriptValue* value) {
  const ClassState& state = stateOf(vm);
  if (!state.slots.used(0)) {
    *value = ScriptValue::null();
    return;
  }
  inputPart(vm, state, 0, state.slots.start[0], value);
}

void getRightContext(ScriptVM* vm, void*, ScriptValue* value) {
  const ClassState& state = stateOf(vm);
  const ScriptString* input = inputString(state);
  if (!state.slots.used(0) || !input) {
    *value = ScriptValue::null();
    return;
  }
  inputPart(vm, state, state.slots.end[0], input->length, value);
}

void getInput(ScriptVM* vm, void*, ScriptValue* value) { *value = stateOf(vm).input; }

// Writes to the class-wide properties are taken and change nothing.

template <int Flag>
void getFlag(ScriptVM*, void* self, ScriptValue* value) {
  *value = ScriptValue::boolean((instanceOf(self)->flags & Flag) != 0);
}

void getLastIndex(ScriptVM*, void* self, ScriptValue* value) {
  *value = ScriptValue::integer(instanceOf(self)->lastIndex);
}

// Integers only; a position is never negative and fits 32 bits.
void setLastIndex(ScriptVM*, void* self, const ScriptValue& value) {
  if (value.kind == KindInteger) instanceOf(self)->lastIndex = clampIndex(value.asInt());
}

void getSource(ScriptVM* vm, void* self, ScriptValue* value) {
  setText(vm, value, std::u16string_view(instanceOf(self)->pattern));
}

// The instance properties (multiline, global ... source) are not handled on the class object (nor on
// an instance without data): such names are left to the class object's own properties.
constexpr Member kMembers[] = {
    {"$1", nullptr, getGroup<1>},
    {"$2", nullptr, getGroup<2>},
    {"$3", nullptr, getGroup<3>},
    {"$4", nullptr, getGroup<4>},
    {"$5", nullptr, getGroup<5>},
    {"$6", nullptr, getGroup<6>},
    {"$7", nullptr, getGroup<7>},
    {"$8", nullptr, getGroup<8>},
    {"$9", nullptr, getGroup<9>},
    {"$_", nullptr, getInput},
    {"input", nullptr, getInput},
    {"lastMatch", nullptr, getGroup<0>},
    {"lastParen", nullptr, getLastParen},
    {"leftContext", nullptr, getLeftContext},
    instanceProperty("multiline", getFlag<kMultiline>),
    {"rightContext", nullptr, getRightContext},
    instanceProperty("global", getFlag<kGlobal>),
    instanceProperty("ignoreCase", getFlag<kIgnoreCase>),
    instanceProperty("lastIndex", getLastIndex, setLastIndex),
    instanceProperty("source", getSource),
    {"compile", compileCall},
    {"exec", execCall},
    {"test", testCall},
    {"toString", toStringCall},
};
// --- construction ---

// An instance over a compiled pattern, or null (after the error line) when it does not compile.
ScriptValue newRegExp(ScriptVM* vm, NativeClass* cls, std::u16string_view pattern, int flags) {
  auto re = std::make_unique<Instance>();
  if (!compileInto(*re, pattern, flags, Syntax::Constructor)) return ScriptValue::null();
  return makeInstance(vm, cls, std::move(re));
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  int64_t count = argCount(args);
  std::u16string_view pattern;
  if (count >= 1 && args[1].kind == KindString) pattern = viewOf(args[1]);
  int flags = count >= 2 && args[2].kind == KindString ? flagsFrom(viewOf(args[2])) : 0;
  *result = newRegExp(vm, cls, pattern, flags);
}

// RegExp(pattern, flags) on the class object constructs; an instance called as a function execs.
void call(ScriptVM* vm, NativeClass* cls, void* self, ScriptValue* result, const ScriptValue* args) {
  if (!self) {
    construct(vm, cls, args, result);
    return;
  }
  MemberCall c{vm, cls, self, result, args};
  execCall(c);
}

// Expression literals of loaded images.
ScriptValue makeLiteral(ScriptVM* vm, const char16_t* text, size_t length, int flags) {
  return newRegExp(vm, stateOf(vm).cls, std::u16string_view(text, length), flags & (kGlobal | kIgnoreCase | kMultiline));
}

const ClassDef kRegExp{.name = "RegExp",
                       .members = kMembers,
                       .call = call,
                       .construct = construct,
                       .finalize = finalizeData<Instance>,
                       .data = typeKey<Instance>()};

// The instance behind a RegExp value, or null.
Instance* regExpOf(ScriptVM* vm, const ScriptValue& value) { return dataOf<Instance>(value, stateOf(vm).cls); }

ScriptValue copyOf(ScriptVM* vm, const ScriptValue& text) {
  return ScriptValue::string(newOwnedString(vm, text.asString()->chars, text.asString()->length));
}

// The text of a string value (the String members pass strings; anything else counts as empty).
std::u16string_view textOf(const ScriptValue& text) {
  return text.kind == KindString ? viewOf(text) : std::u16string_view();
}

// Appends the replacement text r for the match in `slots`, with its $ patterns expanded. A result
// that would grow beyond kMaxBuiltText is "Out of memory".
void expandReplacement(ScriptVM* vm, std::u16string& out, std::u16string_view r, std::u16string_view text,
                       size_t scan, const Slots& slots) {
  auto part = [&](int64_t start, int64_t end) {
    if (start < 0 || end < start) return;
    if (out.size() + static_cast<uint64_t>(end - start) > kMaxBuiltText) raiseOutOfMemory(vm);
    out.append(text.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
  };
  for (size_t i = 0; i < r.size(); ++i) {
    char16_t c = r[i];
    if (c != u'$' || i + 1 == r.size()) {
      out += c;
      continue;
    }
    char16_t next = r[i + 1];
    if (next == u'$') {
      out += u'$';
    } else if (next == u'&') {
      part(slots.start[0], slots.end[0]);
    } else if (next == u'`') {
      part(static_cast<int64_t>(scan), slots.start[0]);
    } else if (next == u'\'') {
      part(slots.end[0], static_cast<int64_t>(text.size()));
    } else if (next == u'+') {
      int slot = lastParenSlot(slots, static_cast<int64_t>(text.size()));
      if (slot) part(slots.start[slot], slots.end[slot]);
    } else if (next >= u'1' && next <= u'9') {
      int group = next - u'0';
      if (slots.used(group)) part(slots.start[group], slots.end[group]);
    } else {
      out += c;
      continue;
    }
    ++i;
  }
}

}  // namespace

void registerRegExp(ScriptVM* vm) {
  auto owned = std::make_unique<ClassState>();
  owned->slots.clear();
  owned->indexAtom = intern(vm, "index");
  owned->inputAtom = intern(vm, "input");
  ClassState& state = installClassState(vm, std::move(owned));
  state.cls = registerClass(vm, kRegExp);
  vm->hooks.makeRegExp = makeLiteral;
}

bool isRegExp(ScriptVM* vm, const ScriptValue& value) { return regExpOf(vm, value) != nullptr; }

void regExpMatch(ScriptVM* vm, const ScriptValue& text, const ScriptValue& regexp, ScriptValue* result) {
  *result = ScriptValue::null();
  Instance* re = regExpOf(vm, regexp);
  if (!re || !re->compiled || text.kind != KindString) return;
  ClassState& state = stateOf(vm);
  state.input = copyOf(vm, text);
  state.slots.clear();
  std::u16string_view view = viewOf(text);
  Subject subject(view);
  if (!(re->flags & kGlobal)) {
    if (execMatch(state, *re, subject) == Outcome::Found) *result = matchArray(vm, state, view);
    return;
  }
  ValueRoot matches(vm, newArrayValue(vm, 0));
  re->lastIndex = 0;
  // An empty match moves lastIndex on by one; past the end of the text nothing more can match.
  while (static_cast<size_t>(re->lastIndex) <= view.size()) {
    int32_t before = re->lastIndex;
    if (execMatch(state, *re, subject) != Outcome::Found) break;
    arrayAppend(vm, matches.value.asArray(), substring(vm, view, state.slots.start[0], state.slots.end[0]));
    if (re->lastIndex == before) ++re->lastIndex;
  }
  re->lastIndex = 0;
  *result = matches.value;
}

void regExpSearch(ScriptVM* vm, const ScriptValue& text, const ScriptValue& regexp, ScriptValue* result) {
  *result = ScriptValue::integer(-1);
  Instance* re = regExpOf(vm, regexp);
  if (!re || !re->compiled || text.kind != KindString) return;
  ClassState& state = stateOf(vm);
  state.input = text;
  Subject subject(viewOf(text));
  if (execMatch(state, *re, subject) == Outcome::Found) *result = ScriptValue::integer(state.slots.start[0]);
}

void regExpReplace(ScriptVM* vm, const ScriptValue& text, const ScriptValue& regexp, const ScriptValue& replacement,
                   ScriptValue* result) {
  ValueRoots<2> kept(vm);
  kept[0] = text;
  kept[1] = replacement.kind == KindString ? replacement : toStringValue(vm, replacement);
  std::u16string_view view = textOf(kept[0]);
  Instance* re = regExpOf(vm, regexp);
  if (!re || !re->compiled || text.kind != KindString) {
    *result = ScriptValue::string(newOwnedString(vm, view.data(), view.size()));
    return;
  }
  std::u16string_view r = viewOf(kept[1]);
  ClassState& state = stateOf(vm);
  state.input = kept[0];
  state.slots.clear();
  bool global = (re->flags & kGlobal) != 0;
  size_t scan = global ? 0 : startOf(*re, view.size());
  Subject subject(view);
  std::u16string out(view.substr(0, scan));
  Slots last;
  bool matched = false;
  while (scan < view.size()) {
    Slots slots;
    if (searchFrom(*re, subject, scan, &slots) != Outcome::Found) break;
    last = slots;
    matched = true;
    size_t start = static_cast<size_t>(slots.start[0]), end = static_cast<size_t>(slots.end[0]);
    out.append(view.substr(scan, start - scan));
    if (start == end) {
      // An empty match inserts nothing: one unit is copied and the scan moves on past it.
      if (start < view.size()) out += view[start];
      scan = start + 1;
    } else {
      expandReplacement(vm, out, r, view, scan, slots);
      if (out.size() > kMaxBuiltText) raiseOutOfMemory(vm);
      scan = end;
    }
    if (!global) break;
  }
  if (scan < view.size()) out.append(view.substr(scan));
  if (global) re->lastIndex = 0;
  if (matched) state.slots = last;
  *result = ScriptValue::string(newOwnedString(vm, out.data(), out.size()));
}

void regExpSplit(ScriptVM* vm, const ScriptValue& text, const ScriptValue& regexp, int64_t limit, ScriptValue* result) {
  ValueRoot pieces(vm, newArrayValue(vm, 0));
  *result = pieces.value;
  if (limit <= 0) return;
  std::u16string_view view = textOf(text);
  ScriptArray* a = pieces.value.asArray();
  Instance* re = regExpOf(vm, regexp);
  Subject subject(view);
  int64_t made = 0;
  size_t p = 0, e = 0;
  while (re && p <= view.size() && made < limit) {
    Slots slots;
    if (searchFrom(*re, subject, p, &slots) != Outcome::Found) break;
    size_t start = static_cast<size_t>(slots.start[0]), end = static_cast<size_t>(slots.end[0]);
    arrayAppend(vm, a, substring(vm, view, static_cast<int64_t>(e), static_cast<int64_t>(start)));
    ++made;
    e = end;
    p = (start == end && start == p) ? p + 1 : end;
  }
  if (made < limit) arrayAppend(vm, a, substring(vm, view, static_cast<int64_t>(e), static_cast<int64_t>(view.size())));
}

}  // namespace vorlo
