// encodeURI, encodeURIComponent, decodeURI and decodeURIComponent. Malformed input writes the line
// "Invalid URI string" to the trace output and gives undefined.
#include <string>
#include <string_view>

#include "engine/convert.h"
#include "engine/string.h"
#include "engine/trace.h"
#include "engine/vm.h"
#include "stdlib/binding.h"
#include "stdlib/builtins.h"
#include "stdlib/hex.h"

namespace vorlo {
namespace {

constexpr std::u16string_view kReserved = u";/?:@&=+$,#";
constexpr std::u16string_view kUnreserved =
    u"0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz-_.!~*'()";

bool contains(std::u16string_view set, char32_t c) {
  return c < 0x10000 && set.find(static_cast<char16_t>(c)) != std::u16string_view::npos;
}

bool encode(std::u16string_view in, bool keepReserved, std::u16string& out) {
  for (size_t k = 0; k < in.size(); k++) {
    char16_t u = in[k];
    if (contains(kUnreserved, u) || (keepReserved && contains(kReserved, u))) {
      out += u;
      continue;
    }
    if (u >= 0xDC00 && u <= 0xDFFF) return false;
    char32_t cp = u;
    if (u >= 0xD800 && u <= 0xDBFF) {
      if (k + 1 >= in.size() || in[k + 1] < 0xDC00 || in[k + 1] > 0xDFFF) return false;
      cp = (char32_t(u) - 0xD800) * 0x400 + (in[k + 1] - 0xDC00) + 0x10000;
      k++;
    }
    unsigned char bytes[4];
    int n;
    if (cp < 0x80) {
      bytes[0] = static_cast<unsigned char>(cp), n = 1;
    } else if (cp < 0x800) {
      bytes[0] = static_cast<unsigned char>(0xC0 | cp >> 6), n = 2;
    } else if (cp < 0x10000) {
      bytes[0] = static_cast<unsigned char>(0xE0 | cp >> 12), n = 3;
    } else {
      bytes[0] = static_cast<unsigned char>(0xF0 | cp >> 18), n = 4;
    }
    for (int i = 1; i < n; i++) bytes[i] = static_cast<unsigned char>(0x80 | ((cp >> (6 * (n - 1 - i))) & 0x3F));
    for (int i = 0; i < n; i++) out += {u'%', char16_t(kHexDigits[bytes[i] >> 4]), char16_t(kHexDigits[bytes[i] & 15])};
  }
  return true;
}

// The byte written as "%hh" at in[k]; -1 when there is none.
int escapedByte(std::u16string_view in, size_t k) {
  if (k + 2 >= in.size() || in[k] != u'%') return -1;
  int hi = hexDigitValue(in[k + 1]), lo = hexDigitValue(in[k + 2]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

bool decode(std::u16string_view in, std::u16string_view reserved, std::u16string& out) {
  size_t n = in.size();
  for (size_t k = 0; k < n; k++) {
    if (in[k] != u'%') {
      out += in[k];
      continue;
    }
    size_t start = k;
    int b = escapedByte(in, k);
    if (b < 0) return false;
    k += 2;
    char32_t v;
    if (b < 0x80) {
      v = static_cast<char32_t>(b);
    } else {
      if (!(b & 0x40)) return false;
      int length = 0;
      while (length < 8 && (b << length) & 0x80) length++;
      if (length > 6) return false;
      if (k + 3 * size_t(length - 1) >= n) return false;
      v = static_cast<char32_t>(b & ((1 << (7 - length)) - 1));
      for (int j = 1; j < length; j++) {
        int next = escapedByte(in, k + 1);
        if (next < 0x80 || next > 0xBF) return false;
        v = v << 6 | static_cast<char32_t>(next & 0x3F);
        k += 3;
      }
    }
    if (v < 0x10000) {
      if (contains(reserved, v)) out.append(in.substr(start, k + 1 - start));
      else out += static_cast<char16_t>(v);
    } else {
      if (v - 0x10000 > 0xFFFFF) return false;
      out += static_cast<char16_t>(0xD800 + (v - 0x10000) / 0x400);
      out += static_cast<char16_t>(0xDC00 + (v - 0x10000) % 0x400);
    }
  }
  return true;
}

template <bool Encode, bool Full>
void uriCall(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  *result = ScriptValue::undefined();
  if (argCount(args) < 1) return;
  ScriptValue text = args[1].isString() ? args[1] : toStringValue(vm, args[1]);
  std::u16string out;
  bool ok = Encode ? encode(stringView(text.asString()), Full, out)
                   : decode(stringView(text.asString()), Full ? kReserved : std::u16string_view(), out);
  if (!ok) {
    traceLine("Invalid URI string");
    return;
  }
  setText(vm, result, std::u16string_view(out));
}

constexpr GlobalFunction kUriFunctions[] = {
    {"decodeURI", uriCall<false, true>},
    {"encodeURI", uriCall<true, true>},
    {"decodeURIComponent", uriCall<false, false>},
    {"encodeURIComponent", uriCall<true, false>},
};

}  // namespace

void registerUriFunctions(ScriptVM* vm) { registerGlobalFunctions(vm, kUriFunctions); }

}  // namespace vorlo
