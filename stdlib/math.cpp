#include "stdlib/math.h"

#include <cmath>
#include <ctime>

#include "engine/convert.h"
#include "engine/vm.h"
#include "stdlib/binding.h"

namespace vorlo {

namespace {

// ---- the random generator ----
// One 48-bit linear congruential state for the whole process (the drand48 recurrence), seeded from the
// current second whenever Math is registered.
constexpr uint64_t kRandMask = (uint64_t{1} << 48) - 1;
constexpr uint64_t kRandMultiplier = 0x5DEECE66DULL;
constexpr uint64_t kRandIncrement = 0xB;
uint64_t gRandState = 0x330E;

void seedRandom(uint64_t seconds) { gRandState = ((seconds << 16) + 0x330E) & kRandMask; }

double nextRandom() {
  gRandState = (kRandMultiplier * gRandState + kRandIncrement) & kRandMask;
  return static_cast<double>(gRandState) / static_cast<double>(uint64_t{1} << 48);
}

// ---- numbers ----

bool isNumeric(const ScriptValue& v) { return v.kind == KindInteger || v.kind == KindFloat; }
double asDouble(const ScriptValue& v) {
  return v.kind == KindInteger ? static_cast<double>(v.asInt()) : v.asFloat();
}

// Argument i converted to a number; false when it is absent or gives NaN (a float holding a
// not-a-number pattern counts as NaN too).
bool numberArg(const MemberCall& c, int64_t i, double* out) {
  if (!c.has(i)) return false;
  ScriptValue n = toNumber(c.vm, c.arg(i));
  if (!isNumeric(n)) return false;
  *out = asDouble(n);
  return !std::isnan(*out);
}

// The functions of one number: always a float, NaN for no argument or a non-number.
template <double (*F)(double)>
void unary(MemberCall& c) {
  double x = 0;
  *c.result = numberArg(c, 0, &x) ? ScriptValue::number(F(x)) : ScriptValue::nan();
}

double absOf(double x) { return std::fabs(x); }
double acosOf(double x) { return std::acos(x); }
double asinOf(double x) { return std::asin(x); }
double atanOf(double x) { return std::atan(x); }
double ceilOf(double x) { return std::ceil(x); }
double cosOf(double x) { return std::cos(x); }
double expOf(double x) { return std::exp(x); }
double floorOf(double x) { return std::floor(x); }
double logOf(double x) { return std::log(x); }
double sinOf(double x) { return std::sin(x); }
double sqrtOf(double x) { return std::sqrt(x); }
double tanOf(double x) { return std::tan(x); }

void atan2Of(MemberCall& c) {
  double y = 0, x = 0;
  bool ok = numberArg(c, 0, &y);
  ok = numberArg(c, 1, &x) && ok;
  *c.result = ok ? ScriptValue::number(std::atan2(y, x)) : ScriptValue::nan();
}

// pow(x, y): two integers give an integer (truncated) while the power stays below 2^53.
void powOf(MemberCall& c) {
  *c.result = ScriptValue::nan();
  if (!c.has(1)) return;
  ScriptValue x = toNumber(c.vm, c.arg(0));
  ScriptValue y = toNumber(c.vm, c.arg(1));
  if (!isNumeric(x) || !isNumeric(y)) return;
  double p = std::pow(asDouble(x), asDouble(y));
  if (x.kind == KindInteger && y.kind == KindInteger && std::fabs(p) < 9007199254740992.0) {
    *c.result = ScriptValue::integer(static_cast<int64_t>(p));
  } else {
    *c.result = ScriptValue::number(p);
  }
}

// max and min: every argument is converted; any NaN makes the result NaN.
template <bool Max>
void extreme(MemberCall& c) {
  double best = 0;
  bool nan = c.count() == 0;
  for (int64_t i = 0; i < c.count(); ++i) {
    double v = 0;
    if (!numberArg(c, i, &v)) {
      nan = true;
      continue;
    }
    if (i == 0 || (Max ? v > best : v < best)) best = v;
  }
  *c.result = nan ? ScriptValue::nan() : ScriptValue::number(best);
}

void randomOf(MemberCall& c) { *c.result = ScriptValue::number(nextRandom()); }

// round(x): floor(x + 0.5) as a 32-bit integer; the infinities stay floats.
void roundOf(MemberCall& c) {
  double x = 0;
  if (!numberArg(c, 0, &x)) {
    *c.result = ScriptValue::nan();
  } else if (std::isinf(x)) {
    *c.result = ScriptValue::number(x);
  } else {
    auto low = static_cast<uint32_t>(static_cast<uint64_t>(truncateToInt64(std::floor(x + 0.5))));
    *c.result = ScriptValue::integer(static_cast<int32_t>(low));
  }
}

void toText(MemberCall& c) { setClassText(c, u"[object Math]"); }

// The constants are template arguments by reference: clang 14 takes no floating-point value there.
constexpr double kE = 2.718281828459045;
constexpr double kLn10 = 2.302585092994046;
constexpr double kLn2 = 0.6931471805599453;
constexpr double kLog10E = 0.4342944819032518;
constexpr double kLog2E = 1.4426950408889634;
constexpr double kPi = 3.141592653589793;
constexpr double kSqrt1_2 = 0.7071067811865476;
constexpr double kSqrt2 = 1.4142135623730951;

template <const double& V>
void constant(ScriptVM*, void*, ScriptValue* value) {
  *value = ScriptValue::number(V);
}

// The constants are read-only: writes are taken and ignored.
const Member kMembers[] = {
    {"abs", unary<absOf>},
    {"acos", unary<acosOf>},
    {"asin", unary<asinOf>},
    {"atan", unary<atanOf>},
    {"atan2", atan2Of},
    {"ceil", unary<ceilOf>},
    {"cos", unary<cosOf>},
    {"exp", unary<expOf>},
    {"floor", unary<floorOf>},
    {"log", unary<logOf>},
    {"max", extreme<true>},
    {"min", extreme<false>},
    {"pow", powOf},
    {"random", randomOf},
    {"round", roundOf},
    {"sin", unary<sinOf>},
    {"sqrt", unary<sqrtOf>},
    {"tan", unary<tanOf>},
    {"E", nullptr, constant<kE>},
    {"LN10", nullptr, constant<kLn10>},
    {"LN2", nullptr, constant<kLn2>},
    {"LOG10E", nullptr, constant<kLog10E>},
    {"LOG2E", nullptr, constant<kLog2E>},
    {"PI", nullptr, constant<kPi>},
    {"SQRT1_2", nullptr, constant<kSqrt1_2>},
    {"SQRT2", nullptr, constant<kSqrt2>},
    {"toString", toText},
};

const ClassDef kMath{.name = "Math", .members = kMembers};

}  // namespace

void registerMath(ScriptVM* vm) {
  seedRandom(static_cast<uint64_t>(std::time(nullptr)));
  registerClass(vm, kMath);
}

}  // namespace vorlo
