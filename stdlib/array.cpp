// Array: the class of array values. Elements live in the store of array_store.h; members that move
// elements collect the present ones and write them back, so holes move with them.
#include "stdlib/array.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/array.h"
#include "engine/convert.h"
#include "engine/error.h"
#include "engine/heap.h"
#include "engine/properties.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/vm.h"
#include "stdlib/array_store.h"
#include "stdlib/binding.h"

namespace vorlo {
namespace {

constexpr uint64_t kPushLimit = 4294967295u;
// Arrays inside arrays are joined to this depth; deeper ones (and an array met again while it is
// being joined, which would never end) give the empty text.
constexpr size_t kMaxJoinDepth = 256;

ScriptArray* arrayOf(const MemberCall& call) {
  const ScriptValue* self = selfValue(call);
  return self && self->kind == KindArray ? self->asArray() : nullptr;
}

// --- engine hooks ---

bool elementGet(ScriptVM*, ScriptArray* a, int64_t index, ScriptValue* out) {
  return index >= 0 && static_cast<uint64_t>(index) < a->length && storeGet(a, static_cast<uint64_t>(index), out);
}

void elementSet(ScriptVM* vm, ScriptArray* a, int64_t index, const ScriptValue& value) {
  if (index < 0) return;
  storeSet(vm, a, static_cast<uint64_t>(index), value);
  if (static_cast<uint64_t>(index) >= a->length) a->length = static_cast<uint64_t>(index) + 1;
}

void elementRemove(ScriptVM*, ScriptArray* a, int64_t index) {
  if (index >= 0) storeRemove(a, static_cast<uint64_t>(index));
}

void markArray(ScriptVM* vm, NativeClass*, void* self) { storeMark(vm, static_cast<ScriptArray*>(self)); }

void setLength(ScriptArray* a, uint64_t length) {
  if (length < a->length) storeTruncate(a, length);
  a->length = length;
}

// --- construction ---

// Array(...) and new Array(...): one integer n gives length n; a negative count (array literals)
// takes every argument as an element.
void arrayConstruct(ScriptVM* vm, NativeClass*, const ScriptValue* args, ScriptValue* result) {
  int64_t count = args ? args[0].asInt() : 0;
  if (count == 1 && args[1].kind == KindInteger) {
    *result = newArrayValue(vm, static_cast<uint64_t>(args[1].asInt()));
    return;
  }
  uint64_t n = count < 0 ? 0 - static_cast<uint64_t>(count) : static_cast<uint64_t>(count);
  ScriptArray* a = newArray(vm, 0);
  for (uint64_t i = 0; i < n; i++) storeSet(vm, a, i, args[1 + i]);
  a->length = n;
  *result = ScriptValue::array(a);
}

void arrayCall(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  arrayConstruct(vm, cls, args, result);
}

// --- members ---

void getLength(ScriptVM*, void* self, ScriptValue* value) {
  auto* v = static_cast<const ScriptValue*>(self);
  *value = ScriptValue::integer(v ? static_cast<int64_t>(v->asArray()->length) : 1);
}

void putLength(ScriptVM*, void* self, const ScriptValue& value) {
  auto* v = static_cast<const ScriptValue*>(self);
  if (!v) return;
  if (value.kind == KindInteger) setLength(v->asArray(), static_cast<uint64_t>(value.asInt()));
  else if (value.kind == KindFloat && value.asFloat() >= 0)
    setLength(v->asArray(), static_cast<uint64_t>(truncateToInt64(value.asFloat())));
}

void concat(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) return;
  ScriptVM* vm = call.vm;
  ScriptArray* out = newArray(vm, 0);
  for (const auto& [i, v] : storeElements(self)) storeSet(vm, out, i, v);
  uint64_t length = self->length;
  for (int64_t k = 0; k < call.count(); k++) {
    ScriptValue arg = call.arg(k);
    if (arg.kind == KindArray) {
      ScriptArray* part = arg.asArray();
      if (part->length > UINT64_MAX - length) break;
      for (const auto& [i, v] : storeElements(part)) storeSet(vm, out, length + i, v);
      length += part->length;
    } else {
      storeSet(vm, out, length, arg);
      length++;
    }
  }
  out->length = length;
  *call.result = ScriptValue::array(out);
}

// Per thread: machines on different threads share nothing.
std::vector<const ScriptArray*>& arraysBeingJoined() {
  thread_local std::vector<const ScriptArray*> active;
  return active;
}

// `count` separators; a text that would grow beyond the join limit is "Out of memory" (the length
// may have grown while elements were converted).
void appendSeparators(ScriptVM* vm, std::u16string& out, std::u16string_view separator, uint64_t count) {
  if (separator.empty() || count == 0) return;
  if (count > (kMaxBuiltText - std::min<uint64_t>(out.size(), kMaxBuiltText)) / separator.size())
    raiseOutOfMemory(vm);
  for (uint64_t i = 0; i < count; i++) out.append(separator);
}

// The text of the elements with `separator` between them; holes give the empty text.
ScriptValue joinArray(ScriptVM* vm, ScriptArray* a, std::u16string_view separator) {
  auto& active = arraysBeingJoined();
  if (a->length == 0 || active.size() >= kMaxJoinDepth || std::find(active.begin(), active.end(), a) != active.end())
    return staticString(vm, u"");
  ValueRoot keep(vm, ScriptValue::array(a));
  // Separators alone must fit before anything is converted.
  if (!separator.empty() && a->length - 1 > kMaxBuiltText / separator.size()) raiseOutOfMemory(vm);
  // The parts stay rooted while conversions run script code.
  ElementList elements = storeElements(a, 0, a->length);
  std::vector<ScriptValue> parts;
  for (auto& e : elements) parts.push_back(e.second);
  SpanRoot partsRoot(vm, parts.data(), parts.size());
  active.push_back(a);
  struct Pop {
    std::vector<const ScriptArray*>& active;
    ~Pop() { active.pop_back(); }
  } pop{active};
  std::u16string out;
  uint64_t next = 0;  // the index whose separator-prefixed text comes next
  for (size_t k = 0; k < elements.size(); k++) {
    uint64_t index = elements[k].first;
    if (index >= a->length) break;  // a conversion shortened the array
    appendSeparators(vm, out, separator, index - next);
    // An element array that contains this one ends at the check on entry.
    parts[k] = toStringValue(vm, parts[k]);
    out.append(stringView(parts[k].asString()));
    if (out.size() > kMaxBuiltText) raiseOutOfMemory(vm);
    if (index + 1 < a->length) out.append(separator);
    next = index + 1;
  }
  if (next + 1 < a->length) appendSeparators(vm, out, separator, a->length - 1 - next);
  return ownedString(vm, out);
}

void join(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) return;
  if (call.has(0)) {
    ValueRoot sep(call.vm, toStringValue(call.vm, call.arg(0)));
    *call.result = joinArray(call.vm, self, stringView(sep.value.asString()));
  } else {
    *call.result = joinArray(call.vm, self, u",");
  }
}

void toString(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) setClassText(call, u"[object Array]");
  else *call.result = joinArray(call.vm, self, u",");
}

void pop(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self || self->length == 0) return;
  uint64_t last = self->length - 1;
  ScriptValue v;
  if (storeGet(self, last, &v)) *call.result = v;
  storeRemove(self, last);
  self->length = last;
}

void push(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) return;
  for (int64_t k = 0; k < call.count() && self->length < kPushLimit; k++) {
    storeSet(call.vm, self, self->length, call.arg(k));
    self->length++;
  }
  *call.result = ScriptValue::integer(static_cast<int64_t>(self->length));
}

void reverse(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) return;
  ElementList elements = storeElements(self, 0, self->length);
  for (auto& e : elements) e.first = self->length - 1 - e.first;
  storeReplace(call.vm, self, elements);
}

void shift(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self || self->length == 0) return;
  ScriptValue first;
  if (storeGet(self, 0, &first)) *call.result = first;
  ElementList elements = storeElements(self, 1, self->length);
  for (auto& e : elements) e.first--;
  storeReplace(call.vm, self, elements);
  self->length--;
}

void unshift(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) return;
  uint64_t count = static_cast<uint64_t>(std::max<int64_t>(call.count(), 0));
  ElementList elements = storeElements(self, 0, self->length);
  for (auto& e : elements) e.first += count;
  for (uint64_t k = 0; k < count; k++) elements.emplace_back(count - 1 - k, call.arg(static_cast<int64_t>(k)));
  storeReplace(call.vm, self, elements);
  self->length += count;
  *call.result = ScriptValue::integer(static_cast<int64_t>(self->length));
}

void slice(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) return;
  int64_t length = static_cast<int64_t>(self->length);
  ScriptValue a0 = call.arg(0), a1 = call.arg(1);
  int64_t start = a0.kind == KindInteger ? a0.asInt() : 0;
  int64_t end = a1.kind == KindInteger ? a1.asInt() : length;
  if (start < 0) start = std::max<int64_t>(start + length, 0);
  if (end < 0) {
    end += length;
    if (end < 0) end = start;
  }
  uint64_t low = static_cast<uint64_t>(std::min(start, end)), high = static_cast<uint64_t>(std::max(start, end));
  ScriptArray* out = newArray(call.vm, high - low);
  for (const auto& [i, v] : storeElements(self, low, high)) storeSet(call.vm, out, i - low, v);
  *call.result = ScriptValue::array(out);
}

void splice(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) return;
  uint64_t length = self->length;
  ScriptValue a0 = call.arg(0), a1 = call.arg(1);
  int64_t startArg = a0.kind == KindInteger ? a0.asInt() : 0;
  if (startArg < 0) startArg = std::max<int64_t>(startArg + static_cast<int64_t>(length), 0);
  uint64_t start = static_cast<uint64_t>(startArg);
  uint64_t deleteCount = a1.kind == KindInteger ? static_cast<uint64_t>(std::max<int64_t>(a1.asInt(), 0))
                                                : (start < length ? length - start : 0);
  uint64_t baseLength;
  if (start >= length) {
    deleteCount = 0;
    baseLength = start;
  } else {
    deleteCount = std::min(deleteCount, length - start);
    baseLength = length - deleteCount;
  }
  uint64_t items = call.count() > 2 ? static_cast<uint64_t>(call.count() - 2) : 0;
  ScriptArray* removed = newArray(call.vm, deleteCount);
  ValueRoot keep(call.vm, ScriptValue::array(removed));
  ElementList kept;
  for (const auto& [i, v] : storeElements(self)) {
    if (i < start) kept.emplace_back(i, v);
    else if (i < start + deleteCount) storeSet(call.vm, removed, i - start, v);
    else kept.emplace_back(i - deleteCount + items, v);
  }
  for (uint64_t k = 0; k < items; k++) kept.emplace_back(start + k, call.arg(static_cast<int64_t>(k + 2)));
  storeReplace(call.vm, self, kept);
  self->length = baseLength + items;
  *call.result = keep.value;
}

// --- sort ---

int signOf(const ScriptValue& v) {
  if (v.kind == KindInteger) return v.asInt() > 0 ? 1 : v.asInt() < 0 ? -1 : 0;
  if (v.kind == KindFloat) return v.asFloat() > 0 ? 1 : v.asFloat() < 0 ? -1 : 0;
  if (v.kind == KindBoolean) return v.asBool() ? 1 : 0;
  return 0;
}

struct SortContext {
  ScriptVM* vm;
  ScriptValue* compare;        // the comparison function, or null for the text order
  std::vector<ScriptValue>* keys;  // text keys of the elements (text order)
  bool failed = false;
};

// True when the element at position a must go after the one at position b.
bool greater(SortContext& c, std::vector<ScriptValue>& values, size_t a, size_t b) {
  if (c.failed) return false;
  if (!c.compare) {
    const ScriptValue& x = values[a];
    const ScriptValue& y = values[b];
    if (x.kind == KindUndefined) return y.kind != KindUndefined;
    if (y.kind == KindUndefined) return false;
    return stringView((*c.keys)[a].asString()) > stringView((*c.keys)[b].asString());
  }
  ScriptValue args[3] = {ScriptValue::integer(2), values[a], values[b]};
  ScriptValue result;
  if (!c.vm->hooks.callFunction || !c.vm->hooks.callFunction(c.vm, ScriptValue::null(), *c.compare, args, &result)) {
    passOnStackOverflow(c.vm);  // runaway recursion through comparators ends the run
    c.failed = true;            // a comparison that fails ends the sort; the array keeps its order
    return false;
  }
  return signOf(result) > 0;
}

// Stable top-down merge sort of positions.
void mergeSort(SortContext& c, std::vector<ScriptValue>& values, std::vector<size_t>& order,
               std::vector<size_t>& scratch, size_t low, size_t high) {
  if (high - low < 2) return;
  size_t mid = low + (high - low) / 2;
  mergeSort(c, values, order, scratch, low, mid);
  mergeSort(c, values, order, scratch, mid, high);
  size_t i = low, j = mid, k = low;
  while (i < mid && j < high) scratch[k++] = greater(c, values, order[i], order[j]) ? order[j++] : order[i++];
  while (i < mid) scratch[k++] = order[i++];
  while (j < high) scratch[k++] = order[j++];
  std::copy(scratch.begin() + static_cast<ptrdiff_t>(low), scratch.begin() + static_cast<ptrdiff_t>(high),
            order.begin() + static_cast<ptrdiff_t>(low));
}

void sort(MemberCall& call) {
  ScriptArray* self = arrayOf(call);
  if (!self) return;
  ScriptVM* vm = call.vm;
  ValueRoot array(vm, ScriptValue::array(self));
  ValueRoot compare(vm, call.arg(0));
  bool useFunction = compare.value.kind == KindFunction || compare.value.kind == KindNative;
  // Sort a rooted copy of the elements: the comparison may change or shrink the array meanwhile.
  ElementList elements = storeElements(self, 0, self->length);
  std::vector<ScriptValue> values, keys;
  for (auto& e : elements) values.push_back(e.second);
  SpanRoot valuesRoot(vm, values.data(), values.size());
  keys.resize(useFunction ? 0 : values.size());
  SpanRoot keysRoot(vm, keys.data(), keys.size());
  for (size_t i = 0; i < keys.size(); i++) {
    if (values[i].kind != KindUndefined) keys[i] = toStringValue(vm, values[i]);
  }
  SortContext c{vm, useFunction ? &compare.value : nullptr, &keys};
  std::vector<size_t> order(values.size()), scratch(values.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = i;
  mergeSort(c, values, order, scratch, 0, order.size());
  if (c.failed) return;
  ElementList sorted;
  for (size_t i = 0; i < order.size(); i++) sorted.emplace_back(i, values[order[i]]);
  storeReplace(vm, self, sorted);
  if (self->length < sorted.size()) self->length = sorted.size();
}

constexpr Member kMembers[] = {
    {"concat", concat},   {"join", join},       {"pop", pop},         {"push", push},
    {"reverse", reverse}, {"shift", shift},     {"slice", slice},     {"splice", splice},
    {"sort", sort},       {"unshift", unshift}, {"length", nullptr, getLength, putLength},
    {"toString", toString},
};

}  // namespace

ScriptArray* newArray(ScriptVM* vm, uint64_t length) {
  auto* a = static_cast<ScriptArray*>(heapAlloc(vm, sizeof(ScriptArray)));
  a->length = length;
  return a;
}

bool arrayGet(const ScriptArray* array, int64_t index, ScriptValue* out) {
  return index >= 0 && static_cast<uint64_t>(index) < array->length &&
         storeGet(array, static_cast<uint64_t>(index), out);
}

void arraySet(ScriptVM* vm, ScriptArray* array, int64_t index, const ScriptValue& value) {
  elementSet(vm, array, index, value);
}

void arrayAppend(ScriptVM* vm, ScriptArray* array, const ScriptValue& value) {
  storeSet(vm, array, array->length, value);
  array->length++;
}

void registerArray(ScriptVM* vm) {
  registerClass(vm, ClassDef{.name = "Array",
                             .members = kMembers,
                             .call = arrayCall,
                             .construct = arrayConstruct,
                             .mark = markArray,
                             .servesKinds = kindBit(KindArray)});
  setArrayElementOps(vm, ArrayElementOps{elementGet, elementSet, elementRemove});
}

}  // namespace vorlo
