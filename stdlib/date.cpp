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

// Date's state in each machine: the local time offset in milliseconds (UTC minus local), taken from
// the system when Date is registered; the same offset serves every date whatever its season.
struct DateState {
  double offsetMs = 0;
};
double offsetOf(const ScriptVM* vm) { return classState<DateState>(vm)->offsetMs; }

// An instance's native data: its time value.
struct DateValue {
  double time = 0;
};

// Members of instances: the receiver's time value typed once; another receiver gets undefined.
template <void (*F)(MemberCall& c, double& t)>
void onDate(MemberCall& c) {
  if (DateValue* d = dataOf<DateValue>(c)) F(c, d->time);
}

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
    if (!parseDateText(text, offsetOf(vm), &t)) t = currentTimeMs();
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
    t = composeTime(c) + offsetOf(vm);
    if (!isValidTime(t)) t = offsetOf(vm);
  }
  *result = makeInstance(vm, cls, std::make_unique<DateValue>(DateValue{t}));
}

// Date(...) without new: the current time as text.
void call(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue*) {
  setText(vm, result, formatLocal(currentTimeMs(), offsetOf(vm)));
}

// ---- members ----

void parse(MemberCall& c) {
  *c.result = ScriptValue::integer(c.has(0) ? truncateToInt64(timeFromValue(c.vm, c.arg(0))) : 0);
}

void utc(MemberCall& c) { *c.result = timeResult(composeTime(c)); }

void toText(MemberCall& c) {
  DateValue* d = dataOf<DateValue>(c);
  if (!d) {
    setClassText(c, u"[object Date]");
    return;
  }
  setText(c.vm, c.result, formatLocal(d->time, offsetOf(c.vm)));
}

void toGmtText(MemberCall& c, double& t) { setText(c.vm, c.result, formatGmt(t)); }

void getTime(MemberCall& c, double& t) { *c.result = timeResult(t); }

void getTimezoneOffset(MemberCall& c) {
  *c.result = ScriptValue::integer(static_cast<int64_t>(std::floor(offsetOf(c.vm) / kMsPerMinute)));
}

// One component of local time (the machine's offset) or of t itself (offset 0).
template <Field F, bool Local>
void getField(MemberCall& c, double& t) {
  Components parts = decompose(t - (Local ? offsetOf(c.vm) : 0));
  *c.result = ScriptValue::integer(static_cast<int64_t>(parts.field[F]));
}

template <bool Local>
void getDay(MemberCall& c, double& t) {
  Components parts = decompose(t - (Local ? offsetOf(c.vm) : 0));
  *c.result = ScriptValue::integer(static_cast<int64_t>(parts.weekDay));
}

void getYear(MemberCall& c, double& t) {
  int64_t year = static_cast<int64_t>(decompose(t - offsetOf(c.vm)).field[Year]);
  *c.result = ScriptValue::integer(year >= 1900 && year <= 1999 ? year - 1900 : year);
}

// The setters: arguments replace the components from First on, up to Last; the others keep their
// values in t (local time for the local forms). The new time value replaces t only when valid.
template <Field First, Field Last, bool Local>
void setFields(MemberCall& c, double& t) {
  double first;
  if (c.has(0) && componentOf(c.arg(0), &first)) {
    double offset = Local ? offsetOf(c.vm) : 0;
    Components parts = decompose(t - offset);
    for (int i = 0; First + i <= Last && c.has(i); ++i) componentOf(c.arg(i), &parts.field[First + i]);
    double updated = makeDate(parts) + offset;
    if (isValidTime(updated)) t = updated;
  }
  *c.result = timeResult(t);
}

void setTime(MemberCall& c, double& t) {
  ScriptValue v = c.arg(0);
  double updated = NAN;
  if (v.kind == KindInteger) updated = static_cast<double>(v.asInt());
  if (v.kind == KindFloat) updated = v.asFloat();
  if (isValidTime(updated)) t = updated;
  *c.result = timeResult(t);
}

// setYear(y): two-digit years are 1900-1999; month, date and time of day stay.
void setYear(MemberCall& c, double& t) {
  double year;
  if (c.has(0) && componentOf(c.arg(0), &year)) {
    if (year >= 0 && year <= 99) year += 1900;
    Components parts = decompose(t - offsetOf(c.vm));
    parts.field[Year] = year;
    double updated = makeDate(parts) + offsetOf(c.vm);
    if (isValidTime(updated)) t = updated;
  }
  *c.result = timeResult(t);
}

// On the class object only parse, UTC and "toString" are members; every other name is left to the
// class object's own properties.
constexpr Member kMembers[] = {
    {"parse", parse},
    instanceMethod("getDate", onDate<getField<Date, true>>),
    instanceMethod("getDay", onDate<getDay<true>>),
    instanceMethod("getFullYear", onDate<getField<Year, true>>),
    instanceMethod("getHours", onDate<getField<Hours, true>>),
    instanceMethod("getMilliseconds", onDate<getField<Milliseconds, true>>),
    instanceMethod("getMinutes", onDate<getField<Minutes, true>>),
    instanceMethod("getMonth", onDate<getField<Month, true>>),
    instanceMethod("getSeconds", onDate<getField<Seconds, true>>),
    instanceMethod("getTime", onDate<getTime>),
    instanceMethod("getTimezoneOffset", getTimezoneOffset),
    instanceMethod("getUTCDate", onDate<getField<Date, false>>),
    instanceMethod("getUTCDay", onDate<getDay<false>>),
    instanceMethod("getUTCFullYear", onDate<getField<Year, false>>),
    instanceMethod("getUTCHours", onDate<getField<Hours, false>>),
    instanceMethod("getUTCMilliseconds", onDate<getField<Milliseconds, false>>),
    instanceMethod("getUTCMinutes", onDate<getField<Minutes, false>>),
    instanceMethod("getUTCMonth", onDate<getField<Month, false>>),
    instanceMethod("getUTCSeconds", onDate<getField<Seconds, false>>),
    instanceMethod("getYear", onDate<getYear>),
    instanceMethod("setDate", onDate<setFields<Date, Date, true>>),
    instanceMethod("setFullYear", onDate<setFields<Year, Date, true>>),
    instanceMethod("setHours", onDate<setFields<Hours, Milliseconds, true>>),
    instanceMethod("setMinutes", onDate<setFields<Minutes, Milliseconds, true>>),
    instanceMethod("setMilliseconds", onDate<setFields<Milliseconds, Milliseconds, true>>),
    instanceMethod("setMonth", onDate<setFields<Month, Date, true>>),
    instanceMethod("setSeconds", onDate<setFields<Seconds, Milliseconds, true>>),
    instanceMethod("setTime", onDate<setTime>),
    instanceMethod("setUTCDate", onDate<setFields<Date, Date, false>>),
    instanceMethod("setUTCFullYear", onDate<setFields<Year, Date, false>>),
    instanceMethod("setUTCHours", onDate<setFields<Hours, Milliseconds, false>>),
    instanceMethod("setUTCMilliseconds", onDate<setFields<Milliseconds, Milliseconds, false>>),
    instanceMethod("setUTCMinutes", onDate<setFields<Minutes, Milliseconds, false>>),
    instanceMethod("setUTCMonth", onDate<setFields<Month, Date, false>>),
    instanceMethod("setUTCSeconds", onDate<setFields<Seconds, Milliseconds, false>>),
    instanceMethod("setYear", onDate<setYear>),
    instanceMethod("toGMTString", onDate<toGmtText>),
    instanceMethod("toLocaleString", toText),
    {"UTC", utc},
    {"toString", toText},
    instanceMethod("valueOf", onDate<getTime>),
};
const ClassDef kDate{.name = "Date",
                     .members = kMembers,
                     .call = call,
                     .construct = construct,
                     .finalize = finalizeData<DateValue>,
                     .data = typeKey<DateValue>()};

}  // namespace

void registerDate(ScriptVM* vm) {
  auto state = std::make_unique<DateState>();
  state->offsetMs = static_cast<double>(localTimeOffsetMinutes()) * kMsPerMinute;
  installClassState(vm, std::move(state));
  registerClass(vm, kDate);
}

}  // namespace vorlo
