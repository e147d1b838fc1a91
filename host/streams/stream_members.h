// The member vocabulary that StringStream and FileStream share, written once over a stream adapter
// D with: int next() (a byte, or negative at the end), size_t readBytes(void*, size_t),
// bool writeBytes(const void*, size_t) and bool atEnd(). Multi-byte values are little-endian.
#pragma once
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/ansi.h"
#include "engine/convert.h"
#include "engine/roots.h"
#include "host/streams/line_rules.h"
#include "host/streams/string_stream.h"
#include "stdlib/binding.h"

namespace vorlo::stream_members {

// Copies from a stream into a new StringStream in pieces: never more than what arrives.
inline constexpr size_t kCopyPiece = 64 * 1024;

// The receiver's adapter, or null (class object, other receivers, closed streams).
template <typename D>
D* open(const MemberCall& c) {
  D* d = dataOf<D>(c);
  return d && d->isOpen() ? d : nullptr;
}

// N bytes, missing ones read as 0.
template <typename D, size_t N>
void readFixed(D* d, uint8_t (&bytes)[N]) {
  std::memset(bytes, 0, N);
  d->readBytes(bytes, N);
}

template <typename D>
void get(MemberCall& c) {
  if (D* d = open<D>(c)) *c.result = ScriptValue::integer(d->next());
}
template <typename D>
void getShort(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  uint8_t b[2];
  readFixed(d, b);
  *c.result = ScriptValue::integer(static_cast<int16_t>(b[0] | b[1] << 8));
}
template <typename D>
void getLong(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  uint8_t b[4];
  readFixed(d, b);
  *c.result = ScriptValue::integer(static_cast<int32_t>(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24));
}
template <typename D>
void getFloat(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  uint8_t b[4];
  readFixed(d, b);
  float f;
  std::memcpy(&f, b, 4);
  *c.result = ScriptValue::number(f);
}
template <typename D>
void getDouble(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  uint8_t b[8];
  readFixed(d, b);
  double f;
  std::memcpy(&f, b, 8);
  *c.result = ScriptValue::number(f);
}

// read(n): up to n bytes in a new StringStream; undefined unless n is a positive integer.
template <typename D>
void read(MemberCall& c) {
  D* d = open<D>(c);
  ScriptValue n = c.arg(0);
  if (!d || n.kind != KindInteger || n.asInt() <= 0) return;
  uint64_t wanted = static_cast<uint64_t>(n.asInt());
  // Read straight into the result's storage, one piece at a time as the data arrives.
  std::unique_ptr<MemoryStream> out;
  try {
    std::vector<uint8_t> bytes;
    while (wanted > 0) {
      size_t ask = wanted < kCopyPiece ? static_cast<size_t>(wanted) : kCopyPiece;
      size_t old = bytes.size();
      bytes.resize(old + ask);
      size_t got = d->readBytes(bytes.data() + old, ask);
      bytes.resize(old + got);
      wanted -= got;
      if (got < ask) break;
    }
    out = std::make_unique<MemoryStream>();
    out->adopt(std::move(bytes));
  } catch (const std::exception&) {
    return;  // out of memory: undefined
  }
  *c.result = makeStringStream(c.vm, std::move(out));
}

template <typename D>
void readString(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  std::string text = readTerminatedBytes([d] { return d->next(); });
  setStringFromAnsi(c.vm, c.result, text.data(), text.size());
}
template <typename D>
void readUnicodeString(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  std::u16string text = readTerminatedUnits([d] { return d->next(); });
  setString(c.vm, c.result, text.data(), text.size());
}

template <typename D>
void putShort(MemberCall& c) {
  D* d = open<D>(c);
  if (!d || !c.has(0)) return;
  uint16_t v = static_cast<uint16_t>(toInt32(c.vm, c.arg(0)));
  uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  d->writeBytes(b, 2);
}
template <typename D>
void putFloat(MemberCall& c) {
  D* d = open<D>(c);
  ScriptValue v = c.arg(0);
  if (!d || !(v.kind == KindInteger || v.kind == KindFloat || v.kind == KindNaN)) return;
  float f = v.kind == KindInteger ? static_cast<float>(v.asInt()) : v.kind == KindFloat ? static_cast<float>(v.asFloat()) : NAN;
  uint8_t b[4];
  std::memcpy(b, &f, 4);
  d->writeBytes(b, 4);
}

// One argument of write: booleans and integers as 4 bytes, strings as their ANSI bytes, floats as
// 8 bytes; with AcceptStreams a StringStream's whole content; other kinds are skipped.
template <typename D, bool AcceptStreams>
void writeValue(ScriptVM* vm, D* d, const ScriptValue& v) {
  if (v.kind == KindBoolean || v.kind == KindInteger) {
    uint32_t x = v.kind == KindBoolean ? (v.asBool() ? 1u : 0u) : static_cast<uint32_t>(v.asInt());
    uint8_t b[4] = {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)};
    d->writeBytes(b, 4);
  } else if (v.kind == KindString) {
    std::string text = stringToAnsi(v.asString());
    d->writeBytes(text.data(), text.size());
  } else if (v.kind == KindFloat) {
    double f = v.asFloat();
    d->writeBytes(&f, 8);
  } else if (AcceptStreams && v.kind == KindNative) {
    if (MemoryStream* s = stringStreamOf(vm, v)) d->writeBytes(s->bytes().data(), s->length());
  }
}
template <typename D, bool AcceptStreams>
void write(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  for (int64_t i = 0; i < c.count(); ++i) writeValue<D, AcceptStreams>(c.vm, d, c.arg(i));
}
template <typename D, bool AcceptStreams>
void writeLine(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  for (int64_t i = 0; i < c.count(); ++i) writeValue<D, AcceptStreams>(c.vm, d, c.arg(i));
  d->writeBytes("\r\n", 2);
}
template <typename D>
void writeString(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  for (int64_t i = 0; i < c.count(); ++i) {
    ScriptValue s = toStringValue(c.vm, c.arg(i));
    std::string text = stringToAnsi(s.asString());
    text += '\0';
    if (!(d = open<D>(c))) return;  // a conversion may have run script code that closed the stream
    d->writeBytes(text.data(), text.size());
  }
}
template <typename D>
void writeUnicodeString(MemberCall& c) {
  D* d = open<D>(c);
  if (!d) return;
  for (int64_t i = 0; i < c.count(); ++i) {
    ScriptValue s = toStringValue(c.vm, c.arg(i));
    std::u16string_view text = stringView(s.asString());
    std::string bytes;
    for (char16_t u : text) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    bytes.append(2, '\0');
    if (!(d = open<D>(c))) return;
    d->writeBytes(bytes.data(), bytes.size());
  }
}

template <typename D>
void eof(ScriptVM*, void* self, ScriptValue* value) {
  D* d = static_cast<D*>(self);
  if (d && d->isOpen()) *value = ScriptValue::boolean(d->atEnd());
}

// The class's member table: the shared members first, then the class's own.
template <typename D, bool AcceptStreams, size_t N>
constexpr std::array<Member, 15 + N> memberTable(const Member (&own)[N]) {
  const Member shared[15] = {
      instanceMethod("get", get<D>),
      instanceMethod("getShort", getShort<D>),
      instanceMethod("getLong", getLong<D>),
      instanceMethod("getFloat", getFloat<D>),
      instanceMethod("getDouble", getDouble<D>),
      instanceMethod("read", read<D>),
      instanceMethod("readString", readString<D>),
      instanceMethod("readUnicodeString", readUnicodeString<D>),
      instanceMethod("putShort", putShort<D>),
      instanceMethod("putFloat", putFloat<D>),
      instanceMethod("write", write<D, AcceptStreams>),
      instanceMethod("writeLine", writeLine<D, AcceptStreams>),
      instanceMethod("writeString", writeString<D>),
      instanceMethod("writeUnicodeString", writeUnicodeString<D>),
      instanceProperty("eof", eof<D>),
  };
  std::array<Member, 15 + N> all{};
  for (size_t i = 0; i < 15; ++i) all[i] = shared[i];
  for (size_t i = 0; i < N; ++i) all[15 + i] = own[i];
  return all;
}

}  // namespace vorlo::stream_members
