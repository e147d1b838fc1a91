#include "stdlib/globals.h"

#include <cmath>
#include <limits>
#include <string>

#include "engine/convert.h"
#include "engine/number_reader.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/trace.h"
#include "engine/vm.h"
#include "stdlib/binding.h"
#include "stdlib/hex.h"

namespace vorlo {

namespace {

ScriptValue stringArgument(ScriptVM* vm, const ScriptValue& v) {
  return v.isString() ? v : toStringValue(vm, v);
}

// parseInt(text, radix): the integer prefix of the text; a value beyond 63 bits becomes a float.
void parseIntCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  int64_t n = argCount(args);
  if (n < 1) {
    *result = ScriptValue::nan();
    return;
  }
  int64_t radix = 0;
  if (n >= 2) radix = isInteger(args[2]) ? args[2].asInt() : toInt64(vm, args[2]);
  // Any radix from 36 up accepts every letter; keep it in range of int.
  if (radix > 1000) radix = 1000;
  if (radix < -1) radix = -1;
  ValueRoot text(vm, stringArgument(vm, args[1]));
  IntegerScan scan = scanInteger(stringView(text.value.asString()), static_cast<int>(radix));
  if (!scan.found) *result = ScriptValue::nan();
  else if (scan.fits) *result = ScriptValue::integer(scan.value);
  else *result = ScriptValue::number(scan.approx);
}

// parseFloat(value): the number conversion, always as a float (or NaN).
void parseFloatCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  if (argCount(args) < 1) {
    *result = ScriptValue::nan();
    return;
  }
  ScriptValue v = toNumber(vm, args[1]);
  *result = v.kind == KindInteger ? ScriptValue::number(static_cast<double>(v.asInt())) : v;
}

bool isHexDigit(char16_t c) { return hexDigitValue(c) >= 0; }

void escapeCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  if (argCount(args) < 1) {
    setStaticString(vm, result, u"", 0);
    return;
  }
  ScriptValue text = stringArgument(vm, args[1]);
  static constexpr std::string_view kKept =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@*_+-./";
  std::u16string out;
  for (char16_t c : stringView(text.asString())) {
    if (c < 128 && kKept.find(static_cast<char>(c)) != std::string_view::npos) {
      out += c;
    } else if (c < 256) {
      out += {u'%', char16_t(kHexDigits[c >> 4]), char16_t(kHexDigits[c & 15])};
    } else {
      out += {u'%', u'u', char16_t(kHexDigits[c >> 12]), char16_t(kHexDigits[(c >> 8) & 15]),
              char16_t(kHexDigits[(c >> 4) & 15]), char16_t(kHexDigits[c & 15])};
    }
  }
  setText(vm, result, std::u16string_view(out));
}

void unescapeCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  if (argCount(args) < 1) {
    *result = ScriptValue::undefined();
    return;
  }
  ScriptValue text = stringArgument(vm, args[1]);
  std::u16string_view in = stringView(text.asString());
  std::u16string out;
  for (size_t i = 0; i < in.size(); i++) {
    if (in[i] == u'%') {
      if (i + 5 < in.size() && in[i + 1] == u'u' && isHexDigit(in[i + 2]) && isHexDigit(in[i + 3]) &&
          isHexDigit(in[i + 4]) && isHexDigit(in[i + 5])) {
        out += char16_t(hexDigitValue(in[i + 2]) << 12 | hexDigitValue(in[i + 3]) << 8 | hexDigitValue(in[i + 4]) << 4 |
                        hexDigitValue(in[i + 5]));
        i += 5;
        continue;
      }
      if (i + 2 < in.size() && isHexDigit(in[i + 1]) && isHexDigit(in[i + 2])) {
        out += char16_t(hexDigitValue(in[i + 1]) << 4 | hexDigitValue(in[i + 2]));
        i += 2;
        continue;
      }
    }
    out += in[i];
  }
  setText(vm, result, std::u16string_view(out));
}

void isNaNCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  if (argCount(args) < 1) {
    *result = ScriptValue::undefined();
    return;
  }
  ScriptValue v = isNumberKind(args[1]) ? args[1] : toNumber(vm, args[1]);
  *result = ScriptValue::boolean(v.kind == KindNaN);
}

void isFiniteCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  if (argCount(args) < 1) {
    *result = ScriptValue::undefined();
    return;
  }
  ScriptValue v = isNumberKind(args[1]) ? args[1] : toNumber(vm, args[1]);
  *result = ScriptValue::boolean(v.kind == KindInteger || (v.kind == KindFloat && !std::isinf(v.asFloat())));
}

// trace(a, b, ...): every argument's string form, one after another, as one line.
void traceCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  std::string line;
  int64_t n = argCount(args);
  for (int64_t i = 0; i < n; i++) {
    ValueRoot arg(vm, args[1 + i]);
    line += toAnsiText(vm, arg.value);
  }
  traceLine(line);
  *result = ScriptValue::undefined();
}

// In registration order.
constexpr GlobalFunction kGlobalFunctions[] = {
    {"parseInt", parseIntCall},     {"parseFloat", parseFloatCall}, {"escape", escapeCall},
    {"unescape", unescapeCall},     {"isNaN", isNaNCall},           {"isFinite", isFiniteCall},
    {"trace", traceCall},
};

}  // namespace

void registerGlobals(ScriptVM* vm) {
  setGlobal(vm, intern(vm, "NaN"), ScriptValue::nan());
  setGlobal(vm, intern(vm, "Infinity"), ScriptValue::number(std::numeric_limits<double>::infinity()));
  registerGlobalFunctions(vm, kGlobalFunctions);
}

}  // namespace vorlo
