#include "stdlib/date.h"

#include <cmath>
#include <memory>
#include <string>
#include <string_view>

#include "engine/convert.h"
#include "engine/string.h"
#include "engine/vm.h"
#include "stdlib/binding.h"
#include "stdlib/date_time.h"
#include "stdlib/timezone.h"

namespace vorlo {

namespace {

using namespace datetime;

// The local time offset in milliseconds (UTC minus local), taken from the system when Date is
// registered; the same offset serves every date whatever its season.
double gOffsetMs = 0;

double& timeOf(void* self) { return *static_cast<double*>(self); }

ScriptValue timeResult(double t) { return ScriptValue::integer(truncateToInt64(t)); }

// A component argument: an integer as it is, a float floored; false for every other kind.
bool componentOf(const ScriptValue& v, double* out) {
  if (v.kind == KindInteger) {
    *out = static_cast<double>(v.asInt());
  } else if (v.kind == KindFloat) {
    *out = std::floor(v.asFloat());
  } else {
    return false;
  }
  return true;
}

// The components of new Date(y, m, ...) and Date.UTC(...): defaults 1970-01-01 00:00:00.000.
double composeTime(const MemberCall& c) {
  Components parts;
  for (int i = 0; i < FieldCount && c.has(i); ++i) componentOf(c.arg(i), &parts.field[i]);
  double t = makeDate(parts);
  return isValidTime(t) ? t : 0;
}

// What new Date(v) takes from one value; the current time when it gives nothing.
double timeFromValue(ScriptVM* vm, const ScriptValue& v) {
  double t;
  if (v.kind == KindInteger) {
    t = static_cast<double>(v.asInt());
  } else if (v.kind == KindFloat) {
    t = v.asFloat();
  } else if (v.kind == KindString) {
    std::string text = toAnsiText(vm, v);
    if (!parseDateText(text, gOffsetMs, &t)) t = currentTimeMs();
  } else {
    t = currentTimeMs();
  }
  return isValidTime(t) ? t : 0;
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  double t;
  if (c.count() == 0) {
    t = currentTimeMs();
  } else if (c.count() == 1) {
    t = timeFromValue(vm, c.arg(0));
  } else {
    // Components in local time; an invalid composition counts as local midnight, 1970-01-01.
    t = composeTime(c) + gOffsetMs;
    if (!isValidTime(t)) t = gOffsetMs;
  }
  auto data = std::make_unique<double>(t);
  makeInstance(vm, cls, data.get(), result);
  data.release();
}

void finalize(NativeClass*, void* self) { delete static_cast<double*>(self); }

// Date(...) without new: the current time as text.
void call(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue*) {
  setText(vm, result, formatLocal(currentTimeMs(), gOffsetMs));
}

// ---- members ----

void parse(MemberCall& c) {
  *c.result = ScriptValue::integer(c.has(0) ? truncateToInt64(timeFromValue(c.vm, c.arg(0))) : 0);
}

void utc(MemberCall& c) { *c.result = timeResult(composeTime(c)); }

void toText(MemberCall& c) {
  if (!c.self) {
    static const char16_t kClassText[] = u"[object Date]";
    setStaticString(c.vm, c.result, kClassText, std::size(kClassText) - 1);
    return;
  }
  setText(c.vm, c.result, formatLocal(timeOf(c.self), gOffsetMs));
}

void toGmtText(MemberCall& c) { setText(c.vm, c.result, formatGmt(timeOf(c.self))); }

void getTime(MemberCall& c) { *c.result = timeResult(timeOf(c.self)); }

void getTimezoneOffset(MemberCall& c) {
  *c.result = ScriptValue::integer(static_cast<int64_t>(std::floor(gOffsetMs / kMsPerMinute)));
}

// One component of local time (offset gOffsetMs) or of t itself (offset 0).
template <Field F, bool Local>
void getField(MemberCall& c) {
  Components parts = decompose(timeOf(c.self) - (Local ? gOffsetMs : 0));
  *c.result = ScriptValue::integer(static_cast<int64_t>(parts.field[F]));
}

template <bool Local>
void getDay(MemberCall& c) {
  Components parts = decompose(timeOf(c.self) - (Local ? gOffsetMs : 0));
  *c.result = ScriptValue::integer(static_cast<int64_t>(parts.weekDay));
}

void getYear(MemberCall& c) {
  int64_t year = static_cast<int64_t>(decompose(timeOf(c.self) - gOffsetMs).field[Year]);
  *c.result = ScriptValue::integer(year >= 1900 && year <= 1999 ? year - 1900 : year);
}

// The setters: arguments replace the components from First on, up to Last; the others keep their
// values in t (local time for the local forms). The new time value replaces t only when valid.
template <Field First, Field Last, bool Local>
void setFields(MemberCall& c) {
  double& t = timeOf(c.self);
  double first;
  if (c.has(0) && componentOf(c.arg(0), &first)) {
    double offset = Local ? gOffsetMs : 0;
    Components parts = decompose(t - offset);
    for (int i = 0; First + i <= Last && c.has(i); ++i) componentOf(c.arg(i), &parts.field[First + i]);
    double updated = makeDate(parts) + offset;
    if (isValidTime(updated)) t = updated;
  }
  *c.result = timeResult(t);
}

void setTime(MemberCall& c) {
  double& t = timeOf(c.self);
  ScriptValue v = c.arg(0);
  double updated = NAN;
  if (v.kind == KindInteger) updated = static_cast<double>(v.asInt());
  if (v.kind == KindFloat) updated = v.asFloat();
  if (isValidTime(updated)) t = updated;
  *c.result = timeResult(t);
}

// setYear(y): two-digit years are 1900-1999; month, date and time of day stay.
void setYear(MemberCall& c) {
  double& t = timeOf(c.self);
  double year;
  if (c.has(0) && componentOf(c.arg(0), &year)) {
    if (year >= 0 && year <= 99) year += 1900;
    Components parts = decompose(t - gOffsetMs);
    parts.field[Year] = year;
    double updated = makeDate(parts) + gOffsetMs;
    if (isValidTime(updated)) t = updated;
  }
  *c.result = timeResult(t);
}

// On the class object only parse, UTC and "toString" are members; every other name is left to the
// class object's own properties.
constexpr Member kMembers[] = {
    {"parse", parse},
    instanceMethod("getDate", getField<Date, true>),
    instanceMethod("getDay", getDay<true>),
    instanceMethod("getFullYear", getField<Year, true>),
    instanceMethod("getHours", getField<Hours, true>),
    instanceMethod("getMilliseconds", getField<Milliseconds, true>),
    instanceMethod("getMinutes", getField<Minutes, true>),
    instanceMethod("getMonth", getField<Month, true>),
    instanceMethod("getSeconds", getField<Seconds, true>),
    instanceMethod("getTime", getTime),
    instanceMethod("getTimezoneOffset", getTimezoneOffset),
    instanceMethod("getUTCDate", getField<Date, false>),
    instanceMethod("getUTCDay", getDay<false>),
    instanceMethod("getUTCFullYear", getField<Year, false>),
    instanceMethod("getUTCHours", getField<Hours, false>),
    instanceMethod("getUTCMilliseconds", getField<Milliseconds, false>),
    instanceMethod("getUTCMinutes", getField<Minutes, false>),
    instanceMethod("getUTCMonth", getField<Month, false>),
    instanceMethod("getUTCSeconds", getField<Seconds, false>),
    instanceMethod("getYear", getYear),
    instanceMethod("setDate", setFields<Date, Date, true>),
    instanceMethod("setFullYear", setFields<Year, Date, true>),
    instanceMethod("setHours", setFields<Hours, Milliseconds, true>),
    instanceMethod("setMinutes", setFields<Minutes, Milliseconds, true>),
    instanceMethod("setMilliseconds", setFields<Milliseconds, Milliseconds, true>),
    instanceMethod("setMonth", setFields<Month, Date, true>),
    instanceMethod("setSeconds", setFields<Seconds, Milliseconds, true>),
    instanceMethod("setTime", setTime),
    instanceMethod("setUTCDate", setFields<Date, Date, false>),
    instanceMethod("setUTCFullYear", setFields<Year, Date, false>),
    instanceMethod("setUTCHours", setFields<Hours, Milliseconds, false>),
    instanceMethod("setUTCMilliseconds", setFields<Milliseconds, Milliseconds, false>),
    instanceMethod("setUTCMinutes", setFields<Minutes, Milliseconds, false>),
    instanceMethod("setUTCMonth", setFields<Month, Date, false>),
    instanceMethod("setUTCSeconds", setFields<Seconds, Milliseconds, false>),
    instanceMethod("setYear", setYear),
    instanceMethod("toGMTString", toGmtText),
    instanceMethod("toLocaleString", toText),
    {"UTC", utc},
    {"toString", toText},
    instanceMethod("valueOf", getTime),
};
const ClassDef kDate{"Date", kMembers, call, construct, finalize};

}  // namespace

void registerDate(ScriptVM* vm) {
  gOffsetMs = static_cast<double>(localTimeOffsetMinutes()) * kMsPerMinute;
  registerClass(vm, kDate);
}

}  // namespace vorlo
