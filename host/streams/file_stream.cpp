#include "host/streams/file_stream.h"

#include <io.h>
#include <windows.h>

#include <cstdio>
#include <memory>

#include "host/host_support.h"
#include "host/streams/closable.h"
#include "host/streams/stream_members.h"

namespace vorlo {
namespace {

namespace sm = stream_members;

// One position serves reading and writing: the C library needs a seek between the two, which the
// adapter makes when the direction changes. A stream refuses the direction its mode does not allow
// (the library would take the bytes into its buffer and lose them).
struct FileStreamData {
  enum class Last { None, Reading, Writing };
  FILE* file = nullptr;
  bool canRead = false, canWrite = false;
  Last last = Last::None;
  ~FileStreamData() {
    if (file) fclose(file);
  }
  bool isOpen() const { return file != nullptr; }
  static bool keptWhenClosed(std::string_view name) { return name == "toString"; }
  bool turn(Last direction) {
    if (last != direction && last != Last::None) _fseeki64(file, _ftelli64(file), SEEK_SET);
    last = direction;
    return direction == Last::Reading ? canRead : canWrite;
  }
  int next() { return turn(Last::Reading) ? fgetc(file) : EOF; }
  size_t readBytes(void* out, size_t n) { return turn(Last::Reading) ? fread(out, 1, n, file) : 0; }
  bool writeBytes(const void* data, size_t n) { return turn(Last::Writing) && fwrite(data, 1, n, file) == n; }
  bool atEnd() const { return feof(file) != 0; }
  // After a seek or a flush either direction may follow.
  void repositioned() { last = Last::None; }
};
using D = FileStreamData;

// A new anonymous file in the temporary folder, deleted when it is closed: "~qr" names with the
// numbers 1, 2, ... until one does not exist.
FILE* openTemporaryFile() {
  wchar_t folder[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, folder);
  if (n == 0 || n > MAX_PATH) return nullptr;
  wchar_t name[MAX_PATH];
  for (UINT unique = 1; unique != 0 && unique <= 0xFFFF; ++unique) {
    if (!GetTempFileNameW(folder, L"~qr", unique, name)) return nullptr;
    if (GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES) continue;
    return _wfopen(name, L"w+bD");
  }
  return nullptr;
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  *result = ScriptValue::null();
  FILE* f = nullptr;
  std::wstring mode = L"w+b";
  if (c.count() == 0) {
    f = openTemporaryFile();
  } else {
    std::optional<std::u16string> path = stringArg(c, 0);
    if (!path) return;
    mode = L"r+b";
    if (c.count() >= 2) {
      std::optional<std::u16string> given = stringArg(c, 1);
      std::optional<std::wstring> checked = given ? fileStreamMode(*given) : std::nullopt;
      if (!checked) return;
      mode = *checked;
    }
    f = _wfopen(wideOf(*path).c_str(), mode.c_str());
  }
  if (!f) return;
  auto data = std::make_unique<D>();
  data->file = f;
  data->canRead = mode[0] == L'r' || mode.find(L'+') != std::wstring::npos;
  data->canWrite = mode[0] != L'r' || mode.find(L'+') != std::wstring::npos;
  *result = makeInstance(vm, cls, std::move(data));
}

void call(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  construct(vm, cls, args, result);
}

void put(MemberCall& c) {
  D* d = sm::open<D>(c);
  if (!d) return;
  *c.result = ScriptValue::boolean(false);
  uint8_t byte = static_cast<uint8_t>(c.arg(0).asInt());
  if (c.arg(0).kind == KindInteger) *c.result = ScriptValue::boolean(d->writeBytes(&byte, 1));
}

void unget(MemberCall& c) {
  D* d = sm::open<D>(c);
  if (!d) return;
  ScriptValue v = c.arg(0);
  int byte = -1;
  if (v.kind == KindInteger) byte = static_cast<uint8_t>(v.asInt());
  else if (v.kind == KindString && v.asString()->length > 0) byte = static_cast<uint8_t>(v.asString()->chars[0]);
  *c.result = ScriptValue::boolean(byte >= 0 && d->turn(D::Last::Reading) && ungetc(byte, d->file) != EOF);
}

void readLine(MemberCall& c) {
  D* d = sm::open<D>(c);
  if (!d) return;
  if (!d->turn(D::Last::Reading)) {
    setText(c.vm, c.result, "");
    return;
  }
  // One lock for the whole line instead of one per byte.
  _lock_file(d->file);
  std::string line = readFileLine([d] { return _getc_nolock(d->file); });
  _unlock_file(d->file);
  setStringFromAnsi(c.vm, c.result, line.data(), line.size());
}

void flush(MemberCall& c) {
  if (D* d = sm::open<D>(c)) {
    *c.result = ScriptValue::boolean(fflush(d->file) == 0);
    d->repositioned();
  }
}

void close(MemberCall& c) {
  if (D* d = dataOf<D>(c); d && d->file) {
    fclose(d->file);
    d->file = nullptr;
  }
}

void toText(MemberCall& c) { setClassText(c, u"[object FileStream]"); }

void getLength(ScriptVM*, void* self, ScriptValue* value) {
  auto* d = static_cast<D*>(self);
  if (!d || !d->file) return;
  fflush(d->file);
  d->repositioned();
  *value = ScriptValue::integer(_filelengthi64(_fileno(d->file)));
}
// A shorter length truncates the file and moves the position to 0; other values do nothing.
void setLength(ScriptVM*, void* self, const ScriptValue& value) {
  auto* d = static_cast<D*>(self);
  std::optional<int64_t> n = wholeNumber(value);
  if (!d || !d->file || !n || *n < 0) return;
  fflush(d->file);
  if (*n >= _filelengthi64(_fileno(d->file))) return;
  _fseeki64(d->file, 0, SEEK_SET);
  d->repositioned();
  _chsize_s(_fileno(d->file), *n);
}

void getPos(ScriptVM*, void* self, ScriptValue* value) {
  auto* d = static_cast<D*>(self);
  if (d && d->file) *value = ScriptValue::integer(_ftelli64(d->file));
}
void setPos(ScriptVM*, void* self, const ScriptValue& value) {
  auto* d = static_cast<D*>(self);
  std::optional<int64_t> n = wholeNumber(value);
  if (d && d->file && n && *n >= 0) {
    _fseeki64(d->file, *n, SEEK_SET);
    d->repositioned();
  }
}

constexpr Member kOwnMembers[] = {
    instanceMethod("readLine", readLine),
    instanceMethod("put", put),
    instanceMethod("unget", unget),
    instanceMethod("flush", flush),
    instanceMethod("close", close),
    {"toString", toText},
    instanceProperty("length", getLength, setLength),
    instanceProperty("pos", getPos, setPos),
};
constexpr auto kMembers = sm::memberTable<D, true>(kOwnMembers);

constexpr ClassDef kFileStream{.name = "FileStream", .members = kMembers, .call = call, .construct = construct,
                               .finalize = finalizeData<D>, .data = typeKey<D>()};

}  // namespace

std::optional<std::wstring> fileStreamMode(std::u16string_view mode) {
  std::wstring out;
  bool binary = false, plus = false;
  for (char16_t ch : mode) {
    if (ch == u'b' || ch == u't') {
      if (binary) return std::nullopt;
      binary = true;
      out += L'b';
    } else if (ch == u'+') {
      if (plus || out.empty()) return std::nullopt;
      plus = true;
      out += L'+';
    } else if ((ch == u'r' || ch == u'w' || ch == u'a') && out.empty()) {
      out += static_cast<wchar_t>(ch);
    } else {
      return std::nullopt;
    }
  }
  if (out.empty() || out[0] == L'b' || out[0] == L'+') return std::nullopt;
  if (!binary) out += L'b';
  return out;
}

void registerFileStream(ScriptVM* vm) {
  NativeClass* cls = registerClass(vm, kFileStream);
  ClosableDispatch<D>::install(cls);
  setGlobal(vm, intern(vm, "Stream"), classObjectOf(cls));
}

}  // namespace vorlo
