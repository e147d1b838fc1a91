// ActionScript 1/2 values and the conversions between them. The rules depend on the movie's SWF
// version (undefined prints as "" before 7, strings are true when non-empty from 7 on...), so every
// conversion that differs takes the version.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlo::player::avm1 {

class Object;

enum class Type : uint8_t { Undefined, Null, Boolean, Number, String, Object };

struct Value {
  Type type = Type::Undefined;
  double num = 0;     // Number, and Boolean as 0/1
  std::string str;    // String (UTF-8)
  Object* obj = nullptr;

  Value() = default;
  Value(double n) : type(Type::Number), num(n) {}
  Value(int n) : type(Type::Number), num(n) {}
  Value(bool b) : type(Type::Boolean), num(b ? 1 : 0) {}
  Value(std::string s) : type(Type::String), str(std::move(s)) {}
  Value(const char* s) : type(Type::String), str(s) {}
  Value(Object* o) : type(o ? Type::Object : Type::Null), obj(o) {}
  static Value null() {
    Value v;
    v.type = Type::Null;
    return v;
  }

  bool isUndefined() const { return type == Type::Undefined; }
  bool isNullish() const { return type == Type::Undefined || type == Type::Null; }
  bool isObject() const { return type == Type::Object; }
  bool isString() const { return type == Type::String; }
  bool isNumber() const { return type == Type::Number; }
  bool boolean() const { return num != 0; }
};

// The number as the reference player prints it: up to 15 significant digits, exponent form below
// 1e-5 and from 1e15 on ("1.5e+20", "1e-7"), "NaN", "Infinity", "-Infinity".
std::string numberToString(double n);
// The number in a radix from 2 to 36, as Number.prototype.toString(radix) gives it (integers only).
std::string numberToRadix(double n, int radix);
// A string's number value. `version` 4 and 5 read a leading number and ignore the rest in some
// places; from 5 on a string that is not entirely a number is NaN. Leading white space is skipped,
// "0x" hexadecimal is read as a signed 32-bit value.
double stringToNumber(std::string_view s, int version);
// ECMA ToInt32 / ToUint32 (wrapping modulo 2^32; NaN and infinities give 0).
int32_t toInt32(double n);
uint32_t toUint32(double n);
// A string's truth: from SWF 7 a non-empty string is true; before it, its number value decides.
bool stringToBoolean(std::string_view s, int version);
// Primitive (not object) conversions; objects need the interpreter (valueOf, toString).
double primitiveToNumber(const Value& v, int version);
std::string primitiveToString(const Value& v, int version);
bool toBoolean(const Value& v, int version);
// The `typeof` text of a primitive ("undefined", "null", "boolean", "number", "string").
const char* primitiveTypeName(Type t);

}  // namespace vorlo::player::avm1
