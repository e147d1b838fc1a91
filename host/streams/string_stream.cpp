#include "host/streams/string_stream.h"

#include <cstdio>
#include <memory>

#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "host/host_support.h"
#include "host/streams/closable.h"
#include "host/streams/stream_members.h"
#include "host/streams/zlib_codec.h"

namespace vorlo {
namespace {

namespace sm = stream_members;

// The adapter of the shared members.
struct StringStreamAdapter : StringStreamData {
  bool isOpen() const { return stream != nullptr; }
  static bool keptWhenClosed(std::string_view name) { return name == "toString" || name == "readFromFile"; }
  int next() { return stream->get(); }
  size_t readBytes(void* out, size_t n) { return stream->read(out, n); }
  bool writeBytes(const void* data, size_t n) { return stream->write(data, n); }
  bool atEnd() const { return stream->eof(); }
};
using D = StringStreamAdapter;

struct StringStreamClass {
  NativeClass* cls = nullptr;
};

constexpr size_t kPiece = 4096;

MemoryStream* streamOf(MemberCall& c) {
  D* d = sm::open<D>(c);
  return d ? d->stream.get() : nullptr;
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  int mode = c.arg(0).kind == KindInteger ? static_cast<int>(c.arg(0).asInt()) : kStreamIn | kStreamOut;
  try {
    auto data = std::make_unique<D>();
    data->stream = std::make_unique<MemoryStream>(mode);
    *result = makeInstance(vm, cls, std::move(data));
  } catch (const std::bad_alloc&) {
    *result = ScriptValue::null();
  }
}

void call(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  construct(vm, cls, args, result);
}

void put(MemberCall& c) {
  MemoryStream* s = streamOf(c);
  ScriptValue v = c.arg(0);
  if (!s) return;
  if (v.kind == KindInteger) s->put(static_cast<uint8_t>(v.asInt()));
  else if (v.kind == KindString && v.asString()->length > 0) s->put(static_cast<uint8_t>(v.asString()->chars[0]));
}

void unget(MemberCall& c) {
  MemoryStream* s = streamOf(c);
  if (!s) return;
  ScriptValue v = c.arg(0);
  if (v.kind == KindInteger) s->putBack(static_cast<uint8_t>(v.asInt()));
  else if (v.kind == KindString && v.asString()->length > 0) s->putBack(static_cast<uint8_t>(v.asString()->chars[0]));
  else s->unget();
}

void readLine(MemberCall& c) {
  MemoryStream* s = streamOf(c);
  if (!s) return;
  std::string line = readMemoryLine(*s);
  setStringFromAnsi(c.vm, c.result, line.data(), line.size());
}

void flush(MemberCall&) {}

void close(MemberCall& c) {
  if (D* d = dataOf<D>(c)) d->stream.reset();
}

void toText(MemberCall& c) {
  D* d = dataOf<D>(c);
  if (!d || !d->stream) {
    setClassText(c, u"[object StringStream]");
    return;
  }
  const std::vector<uint8_t>& bytes = d->stream->bytes();
  setStringFromAnsi(c.vm, c.result, reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// Writes the content from its first byte; positions and state stay as they were.
void saveToFile(MemberCall& c) {
  MemoryStream* s = streamOf(c);
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!s || !path) return;
  FILE* f = _wfopen(wideOf(*path).c_str(), L"wb");
  if (!f) return;
  const std::vector<uint8_t>& bytes = s->bytes();
  for (size_t at = 0; at < bytes.size(); at += kPiece) {
    size_t n = bytes.size() - at < kPiece ? bytes.size() - at : kPiece;
    if (fwrite(bytes.data() + at, 1, n, f) != n) break;
  }
  fclose(f);
}

void readFromFile(MemberCall& c) {
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!path) return;
  FILE* f = _wfopen(wideOf(*path).c_str(), L"rb");
  if (!f) return;
  std::unique_ptr<MemoryStream> out;
  bool ok = true;
  try {
    out = std::make_unique<MemoryStream>();
    uint8_t piece[kPiece];
    for (size_t got; ok && (got = fread(piece, 1, kPiece, f)) > 0;) ok = out->write(piece, got);
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  fclose(f);
  if (ok) *c.result = makeStringStream(c.vm, std::move(out));
}

void compress(MemberCall& c) {
  MemoryStream* s = streamOf(c);
  if (!s) return;
  int level = c.arg(0).kind == KindInteger ? static_cast<int>(c.arg(0).asInt()) : 6;
  if (c.arg(0).kind == KindInteger && (c.arg(0).asInt() < -1 || c.arg(0).asInt() > 9)) level = 10;  // zlib refuses it
  std::unique_ptr<MemoryStream> out = compressStream(*s, level);
  *c.result = out ? makeStringStream(c.vm, std::move(out)) : ScriptValue::null();
}

void uncompress(MemberCall& c) {
  MemoryStream* s = streamOf(c);
  if (!s) return;
  std::unique_ptr<MemoryStream> out = uncompressStream(*s);
  *c.result = out ? makeStringStream(c.vm, std::move(out)) : ScriptValue::null();
}

void getCrc(ScriptVM*, void* self, ScriptValue* value) {
  if (auto* d = static_cast<D*>(self); d && d->stream) *value = ScriptValue::integer(streamCrc(*d->stream));
}

void getLength(ScriptVM*, void* self, ScriptValue* value) {
  if (auto* d = static_cast<D*>(self); d && d->stream) *value = ScriptValue::integer(static_cast<int64_t>(d->stream->length()));
}
// A larger length adds zero bytes at the put position, written in pieces as they fit; a smaller one
// does nothing.
void setLength(ScriptVM*, void* self, const ScriptValue& value) {
  auto* d = static_cast<D*>(self);
  std::optional<int64_t> n = wholeNumber(value);
  if (!d || !d->stream || !n || *n <= 0 || static_cast<uint64_t>(*n) <= d->stream->length()) return;
  static const uint8_t zeros[kPiece] = {};
  uint64_t missing = static_cast<uint64_t>(*n) - d->stream->length();
  while (missing > 0) {
    size_t step = missing < kPiece ? static_cast<size_t>(missing) : kPiece;
    if (!d->stream->write(zeros, step)) return;
    missing -= step;
  }
}

void getGetPos(ScriptVM*, void* self, ScriptValue* value) {
  if (auto* d = static_cast<D*>(self); d && d->stream) *value = ScriptValue::integer(static_cast<int64_t>(d->stream->getPos()));
}
void setGetPos(ScriptVM*, void* self, const ScriptValue& value) {
  auto* d = static_cast<D*>(self);
  std::optional<int64_t> n = wholeNumber(value);
  if (d && d->stream && n && *n >= 0 && static_cast<uint64_t>(*n) <= SIZE_MAX) d->stream->setGetPos(static_cast<size_t>(*n));
}
void getPutPos(ScriptVM*, void* self, ScriptValue* value) {
  if (auto* d = static_cast<D*>(self); d && d->stream) *value = ScriptValue::integer(static_cast<int64_t>(d->stream->putPos()));
}
void setPutPos(ScriptVM*, void* self, const ScriptValue& value) {
  auto* d = static_cast<D*>(self);
  std::optional<int64_t> n = wholeNumber(value);
  if (d && d->stream && n && *n >= 0 && static_cast<uint64_t>(*n) <= SIZE_MAX) d->stream->setPutPos(static_cast<size_t>(*n));
}

constexpr Member kOwnMembers[] = {
    instanceMethod("readLine", readLine),
    instanceMethod("put", put),
    instanceMethod("unget", unget),
    instanceMethod("flush", flush),
    instanceMethod("close", close),
    {"toString", toText},
    instanceMethod("saveToFile", saveToFile),
    {"readFromFile", readFromFile},
    instanceMethod("compress", compress),
    instanceMethod("uncompress", uncompress),
    instanceProperty("crc", getCrc),
    instanceProperty("length", getLength, setLength),
    instanceProperty("getPos", getGetPos, setGetPos),
    instanceProperty("putPos", getPutPos, setPutPos),
};
constexpr auto kMembers = sm::memberTable<D, false>(kOwnMembers);

constexpr ClassDef kStringStream{.name = "StringStream", .members = kMembers, .call = call,
                                 .construct = construct, .finalize = finalizeData<D>, .data = typeKey<D>()};

struct Constant {
  const char* name;
  int64_t value;
};
constexpr Constant kConstants[] = {{"$STREAM_IN", kStreamIn}, {"$STREAM_OUT", kStreamOut}, {"$STREAM_EOF", kStreamEof}};

}  // namespace

ScriptValue makeStringStream(ScriptVM* vm, std::unique_ptr<MemoryStream> stream) {
  StringStreamClass* state = classState<StringStreamClass>(vm);
  if (!state || !stream) return ScriptValue::null();
  auto data = std::make_unique<D>();
  data->stream = std::move(stream);
  return makeInstance(vm, state->cls, std::move(data));
}

MemoryStream* stringStreamOf(ScriptVM* vm, const ScriptValue& value) {
  StringStreamClass* state = classState<StringStreamClass>(vm);
  D* d = state ? dataOf<D>(value, state->cls) : nullptr;
  return d ? d->stream.get() : nullptr;
}

void registerStringStream(ScriptVM* vm) {
  NativeClass* cls = registerClass(vm, kStringStream);
  ClosableDispatch<D>::install(cls);
  installClassState(vm, std::make_unique<StringStreamClass>(StringStreamClass{cls}));
  for (const Constant& k : kConstants) setGlobal(vm, intern(vm, k.name), ScriptValue::integer(k.value));
}

}  // namespace vorlo
