// Encryption: MD5 digests of texts and files, Blowfish and Triple-DES encryption of texts (Base64 on the
// outside), and enciphered copies of files. Texts are taken as their bytes in the active code page.
// Every member works on the class object and on instances alike; none keeps state.
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "host/crypto/cipher_schemes.h"
#include "host/crypto/encryption.h"
#include "host/host_support.h"
#include "host/mail/mime_codecs.h"
#include "util/digest.h"

namespace vorlo {
namespace {

struct EncryptionData {};

// Argument i as ANSI bytes when it is a string.
std::optional<std::string> textArg(const MemberCall& c, int64_t i) {
  if (!c.arg(i).isString()) return std::nullopt;
  return toAnsiText(c.vm, c.arg(i));
}

void setAnsi(const MemberCall& c, const std::string& text) { setStringFromAnsi(c.vm, c.result, text.data(), text.size()); }

// Deciphered text ends at its first zero byte.
std::string untilZero(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

class File {
 public:
  File(const std::wstring& path, bool write)
      : h_(CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, write ? 0 : FILE_SHARE_READ, nullptr,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}
  ~File() { close(); }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  void close() {
    if (ok()) CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
  }
  long long read(uint8_t* buffer, size_t n) {
    DWORD got = 0;
    if (!ReadFile(h_, buffer, static_cast<DWORD>(n), &got, nullptr)) return -1;
    return got;
  }
  bool write(const uint8_t* bytes, size_t n) {
    DWORD put = 0;
    return WriteFile(h_, bytes, static_cast<DWORD>(n), &put, nullptr) && put == n;
  }
  bool size(uint64_t* out) {
    LARGE_INTEGER s;
    if (!GetFileSizeEx(h_, &s)) return false;
    *out = static_cast<uint64_t>(s.QuadPart);
    return true;
  }
  bool seek(uint64_t at) {
    LARGE_INTEGER to;
    to.QuadPart = static_cast<LONGLONG>(at);
    return SetFilePointerEx(h_, to, nullptr, FILE_BEGIN);
  }

 private:
  HANDLE h_;
};

void md5Text(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::string> text = textArg(c, 0);
  if (!text) return;
  setAnsi(c, hexText(md5(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text->data()), text->size()))));
}

void md5File(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!path) return;
  File f(wideOf(*path), false);
  if (!f.ok()) return lastOsFailure(c);
  Md5 digest;
  uint8_t piece[4096];
  for (;;) {
    long long got = f.read(piece, sizeof piece);
    if (got < 0) return lastOsFailure(c);
    if (got == 0) break;
    digest.update(std::span<const uint8_t>(piece, static_cast<size_t>(got)));
  }
  setAnsi(c, hexText(digest.finish()));
}

template <std::string (*Cipher)(std::string_view, std::string_view)>
void encode(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::string> key = textArg(c, 0), text = textArg(c, 1);
  if (!key || !text) return;
  setAnsi(c, mail::base64Encode(Cipher(*key, *text)));
}

template <std::string (*Cipher)(std::string_view, std::string_view)>
void decode(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::string> key = textArg(c, 0), text = textArg(c, 1);
  if (!key || !text) return;
  setAnsi(c, untilZero(Cipher(*key, mail::base64Decode(*text))));
}

// The result is written to a temporary file beside the target and put in its place at the end, so a
// target that is the source itself (or an existing file) is never lost half-way.
template <typename Work>
bool throughTemporary(File& source, const std::wstring& target, Work work) {
  std::wstring folder = target;
  size_t slash = folder.find_last_of(L"\\/");
  folder = slash == std::wstring::npos ? L"." : folder.substr(0, slash + 1);
  wchar_t temporary[MAX_PATH + 16];
  if (folder.size() > MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"enc", 0, temporary)) return false;
  bool ok;
  {
    File out(temporary, true);
    ok = out.ok() && work(out);
  }
  source.close();  // the target may be the source itself
  if (ok) ok = MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
  if (!ok) DeleteFileW(temporary);
  return ok;
}

struct FileArgs {
  std::string key;
  std::wstring source, target;
};
std::optional<FileArgs> fileArgs(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  std::optional<std::string> key = textArg(c, 0);
  std::optional<std::u16string> source = stringArg(c, 1), target = stringArg(c, 2);
  if (!key || !source || !target) return std::nullopt;
  return FileArgs{*key, wideOf(*source), wideOf(*target)};
}

void encFile(MemberCall& c) {
  std::optional<FileArgs> a = fileArgs(c);
  if (!a) return;
  File in(a->source, false);
  if (!in.ok()) return lastOsFailure(c, ScriptValue::boolean(false));
  auto key = crypto::blowfishKey(a->key);
  crypto::Blowfish cipher(key);
  bool ok = throughTemporary(in, a->target, [&](File& out) {
    return crypto::encipherFile(
        cipher, [&](uint8_t* b, size_t n) { return in.read(b, n); }, [&](const uint8_t* b, size_t n) { return out.write(b, n); });
  });
  *c.result = ScriptValue::boolean(ok);
}

void decFile(MemberCall& c) {
  std::optional<FileArgs> a = fileArgs(c);
  if (!a) return;
  File in(a->source, false);
  if (!in.ok()) return lastOsFailure(c, ScriptValue::boolean(false));
  uint64_t size = 0;
  uint8_t trailer[8];
  if (!in.size(&size) || size < 8 || !in.seek(size - 8) || in.read(trailer, 8) != 8 || !in.seek(0)) return;
  uint64_t length = crypto::storedLength(trailer);
  auto key = crypto::blowfishKey(a->key);
  crypto::Blowfish cipher(key);
  // The checks of the trailer come before any file is made.
  if ((size - 8) % 8 != 0 || length > size - 8 || size - 8 - length >= 8) return;
  bool ok = throughTemporary(in, a->target, [&](File& out) {
    return crypto::decipherFile(
        cipher, size, length, [&](uint8_t* b, size_t n) { return in.read(b, n); },
        [&](const uint8_t* b, size_t n) { return out.write(b, n); });
  });
  *c.result = ScriptValue::boolean(ok);
}

void toText(MemberCall& c) { setClassText(c, u"[object Encrpytion]"); }

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  *result = makeInstance(vm, cls, std::make_unique<EncryptionData>());
}

constexpr Member kMembers[] = {
    {"md5", md5Text},
    {"md5File", md5File},
    {"blowfishEncode", encode<crypto::blowfishEncrypt>},
    {"blowfishDecode", decode<crypto::blowfishDecrypt>},
    {"desEncode", encode<crypto::tripleDesEncrypt>},
    {"desDecode", decode<crypto::tripleDesDecrypt>},
    {"encFile", encFile},
    {"decFile", decFile},
    {"toString", toText},
};

}  // namespace

void registerEncryption(ScriptVM* vm) {
  registerClass(vm, ClassDef{.name = "Encryption",
                             .members = kMembers,
                             .construct = construct,
                             .finalize = finalizeData<EncryptionData>,
                             .data = typeKey<EncryptionData>()});
}

}  // namespace vorlo
