// Mail: one message. Header values and parts are kept as the MIME text needs them; the text itself is
// regenerated from them whenever something changed.
#include <windows.h>

#include <memory>
#include <string>

#include "engine/convert.h"
#include "host/host_support.h"
#include "host/mail/mail.h"
#include "host/mail/mime_message.h"

namespace vorlo {
namespace {

using namespace mail;

struct MailData {
  MailHeaders headers;
  MessageBody body;
  std::string message;  // the text as last generated or received
  bool changed = false;
  uint32_t boundaries = 0;

  const std::string& text() {
    if (changed) {
      message = generateMessage(headers, body, options());
      changed = false;
    }
    return message;
  }
  GenerateOptions options() {
    GenerateOptions o;
    o.charset = charsetOfCodePage(GetACP());
    o.charLength = [](std::string_view t) -> size_t { return IsDBCSLeadByte(static_cast<BYTE>(t[0])) ? 2 : 1; };
    o.boundary = [this] {
      char b[96];
      snprintf(b, sizeof b, "====_QUORIL_MAIL_PART_%lX.%lX.%X_====", GetCurrentProcessId(), GetTickCount(), ++boundaries);
      return std::string(b);
    };
    return o;
  }
  static std::string charsetOfCodePage(UINT cp) {
    struct Entry {
      UINT codePage;
      const char* charset;
    };
    static constexpr Entry kCharsets[] = {{932, "iso-2022-jp"}, {936, "gb2312"},      {949, "iso-2022-kr"},
                                          {950, "big5"},        {1250, "iso-8859-2"}, {1251, "iso-8859-5"}};
    for (const Entry& e : kCharsets)
      if (e.codePage == cp) return e.charset;
    return "iso-8859-1";
  }
  void load(std::string bytes) {
    message = std::move(bytes);
    ParsedMessage p = parseMessage(message);
    headers = std::move(p.headers);
    body = std::move(p.body);
    changed = false;
  }
};

struct MailClass {
  NativeClass* cls = nullptr;
};

bool readFile(const std::u16string& path, std::string* bytes) {
  HANDLE f = CreateFileW(wideOf(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = GetFileSizeEx(f, &size) && size.QuadPart < 0x40000000;
  try {
    if (ok) {
      bytes->resize(static_cast<size_t>(size.QuadPart));
      DWORD got = 0;
      ok = bytes->empty() || (ReadFile(f, bytes->data(), static_cast<DWORD>(bytes->size()), &got, nullptr) && got == bytes->size());
    }
  } catch (const std::bad_alloc&) {  // a file larger than this process can hold
    bytes->clear();
    ok = false;
  }
  CloseHandle(f);
  return ok;
}

bool writeFile(const std::u16string& path, std::string_view bytes) {
  HANDLE f = CreateFileW(wideOf(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  bool ok = bytes.empty() || (WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) && put == bytes.size());
  CloseHandle(f);
  return ok;
}

// The registry's content type for the file's extension, else application/octet-stream.
std::string contentTypeOf(const std::u16string& path) {
  size_t dot = path.rfind(u'.');
  size_t slash = path.find_last_of(u"\\/");
  if (dot != std::u16string::npos && (slash == std::u16string::npos || dot > slash)) {
    std::wstring ext = wideOf(std::u16string_view(path).substr(dot));
    wchar_t wide[260] = {};
    DWORD bytes = sizeof wide - sizeof(wchar_t);
    char value[260] = {};
    if (RegGetValueW(HKEY_CLASSES_ROOT, ext.c_str(), L"Content Type", RRF_RT_REG_SZ, nullptr, wide, &bytes) == ERROR_SUCCESS) {
      int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, value, sizeof value, nullptr, nullptr);
      if (n > 1) return std::string(value, static_cast<size_t>(n - 1));
    }
  }
  return "application/octet-stream";
}

std::string fileNameOf(const std::u16string& path) {
  size_t slash = path.find_last_of(u"\\/");
  std::u16string name = slash == std::u16string::npos ? path : path.substr(slash + 1);
  int n = WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(name.data()), static_cast<int>(name.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(name.data()), static_cast<int>(name.size()), out.data(), n, nullptr, nullptr);
  return out;
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  try {
    *result = makeInstance(vm, cls, std::make_unique<MailData>());
  } catch (const std::bad_alloc&) {
    *result = ScriptValue::null();
  }
}
void toText(MemberCall& c) { setClassText(c, u"[object Mail]"); }

void setAnsi(ScriptVM* vm, ScriptValue* v, std::string_view text) { setStringFromAnsi(vm, v, text.data(), text.size()); }

template <std::optional<std::string> MailHeaders::*Field>
void getHeader(ScriptVM* vm, void* self, ScriptValue* v) {
  const std::optional<std::string>& value = static_cast<MailData*>(self)->headers.*Field;
  setAnsi(vm, v, value ? std::string_view(*value) : std::string_view());
}
template <std::optional<std::string> MailHeaders::*Field>
void setHeader(ScriptVM* vm, void* self, const ScriptValue& v) {
  MailData* d = static_cast<MailData*>(self);
  d->headers.*Field = toAnsiText(vm, v);
  d->changed = true;
}

void getPriority(ScriptVM*, void* self, ScriptValue* v) { *v = ScriptValue::integer(static_cast<MailData*>(self)->headers.priority); }
void setPriority(ScriptVM* vm, void* self, const ScriptValue& v) {
  MailData* d = static_cast<MailData*>(self);
  d->headers.priority = static_cast<int32_t>(toInt32(vm, v));
  d->changed = true;
}
void getSize(ScriptVM*, void* self, ScriptValue* v) {
  *v = ScriptValue::integer(static_cast<int64_t>(static_cast<MailData*>(self)->text().size()));
}

template <std::optional<BodyPart> MessageBody::*Part>
void getBodyText(ScriptVM* vm, void* self, ScriptValue* v) {
  const std::optional<BodyPart>& p = static_cast<MailData*>(self)->body.*Part;
  setAnsi(vm, v, p ? decodeBody(p->body, p->encoding) : std::string());
}
template <std::optional<BodyPart> MessageBody::*Part>
void setBodyText(ScriptVM* vm, void* self, const ScriptValue& v) {
  MailData* d = static_cast<MailData*>(self);
  d->body.*Part = textPart(Part == &MessageBody::html ? "text/html" : "text/plain", toAnsiText(vm, v));
  d->changed = true;
}

template <std::vector<BodyPart> MessageBody::*List>
void getCount(ScriptVM*, void* self, ScriptValue* v) {
  *v = ScriptValue::integer(static_cast<int64_t>((static_cast<MailData*>(self)->body.*List).size()));
}

void asText(MemberCall& c) {
  if (MailData* d = dataOf<MailData>(c)) setAnsi(c.vm, c.result, d->text());
}
void save(MemberCall& c) {
  MailData* d = dataOf<MailData>(c);
  std::optional<std::u16string> path = stringArg(c, 0);
  if (d && path && !writeFile(*path, d->text())) lastOsFailure(c, ScriptValue());
}
void load(MemberCall& c) {
  MailData* d = dataOf<MailData>(c);
  std::optional<std::u16string> path = stringArg(c, 0);
  std::string bytes;
  if (!d || !path) return;
  if (!readFile(*path, &bytes)) return lastOsFailure(c, ScriptValue());
  d->load(std::move(bytes));
}

// The part at the index argument of a list; null for a bad index.
template <std::vector<BodyPart> MessageBody::*List>
BodyPart* indexed(MemberCall& c, size_t* index = nullptr) {
  MailData* d = dataOf<MailData>(c);
  std::optional<int64_t> i = intArg(c, 0);
  if (!d || !i || *i < 0 || static_cast<uint64_t>(*i) >= (d->body.*List).size()) return nullptr;
  if (index) *index = static_cast<size_t>(*i);
  return &(d->body.*List)[static_cast<size_t>(*i)];
}

template <std::vector<BodyPart> MessageBody::*List, std::string BodyPart::*Field>
void partText(MemberCall& c) {
  if (BodyPart* p = indexed<List>(c)) setAnsi(c.vm, c.result, p->*Field);
}
template <std::vector<BodyPart> MessageBody::*List>
void savePart(MemberCall& c) {
  BodyPart* p = indexed<List>(c);
  std::optional<std::u16string> path = stringArg(c, 1);
  if (p && path && !writeFile(*path, decodeBody(p->body, p->encoding))) lastOsFailure(c, ScriptValue());
}
template <std::vector<BodyPart> MessageBody::*List>
void removePart(MemberCall& c) {
  size_t i = 0;
  if (!indexed<List>(c, &i)) return;
  MailData* d = dataOf<MailData>(c);
  (d->body.*List).erase((d->body.*List).begin() + static_cast<std::ptrdiff_t>(i));
  d->changed = true;
}
// A new file part: a file that cannot be read gives an empty body.
BodyPart newFilePart(const std::u16string& path) {
  std::string bytes;
  readFile(path, &bytes);
  return filePart(contentTypeOf(path), fileNameOf(path), bytes);
}
void addAttachment(MemberCall& c) {
  MailData* d = dataOf<MailData>(c);
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!d || !path) return;
  d->body.attachments.push_back(newFilePart(*path));
  d->changed = true;
}
void addHtmlItem(MemberCall& c) {
  MailData* d = dataOf<MailData>(c);
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!d || !path || !c.has(1)) return;
  BodyPart p = newFilePart(*path);
  p.contentId = toAnsiText(c.vm, c.arg(1));
  d->body.htmlItems.push_back(std::move(p));
  d->changed = true;
}

using MB = MessageBody;
constexpr Member kMembers[] = {
    {"toString", toText},
    instanceProperty("from", getHeader<&MailHeaders::from>, setHeader<&MailHeaders::from>),
    instanceProperty("replyTo", getHeader<&MailHeaders::replyTo>, setHeader<&MailHeaders::replyTo>),
    instanceProperty("to", getHeader<&MailHeaders::to>, setHeader<&MailHeaders::to>),
    instanceProperty("subject", getHeader<&MailHeaders::subject>, setHeader<&MailHeaders::subject>),
    instanceProperty("cc", getHeader<&MailHeaders::cc>, setHeader<&MailHeaders::cc>),
    instanceProperty("bcc", getHeader<&MailHeaders::bcc>, setHeader<&MailHeaders::bcc>),
    instanceProperty("date", getHeader<&MailHeaders::date>, setHeader<&MailHeaders::date>),
    instanceProperty("priority", getPriority, setPriority),
    instanceProperty("size", getSize),
    instanceProperty("text", getBodyText<&MB::text>, setBodyText<&MB::text>),
    instanceProperty("html", getBodyText<&MB::html>, setBodyText<&MB::html>),
    instanceProperty("attachmentCount", getCount<&MB::attachments>),
    instanceProperty("htmlItemCount", getCount<&MB::htmlItems>),
    instanceMethod("asText", asText),
    instanceMethod("save", save),
    instanceMethod("load", load),
    instanceMethod("getAttachmentContentType", partText<&MB::attachments, &BodyPart::contentType>),
    instanceMethod("getAttachmentName", partText<&MB::attachments, &BodyPart::name>),
    instanceMethod("saveAttachment", savePart<&MB::attachments>),
    instanceMethod("addAttachment", addAttachment),
    instanceMethod("removeAttachment", removePart<&MB::attachments>),
    instanceMethod("getHtmlItemName", partText<&MB::htmlItems, &BodyPart::name>),
    instanceMethod("getHtmlItemID", partText<&MB::htmlItems, &BodyPart::contentId>),
    instanceMethod("saveHtmlItem", savePart<&MB::htmlItems>),
    instanceMethod("addHtmlItem", addHtmlItem),
    instanceMethod("removeHtmlItem", removePart<&MB::htmlItems>),
};

constexpr ClassDef kMail{.name = "Mail", .members = kMembers, .construct = construct,
                         .finalize = finalizeData<MailData>, .data = typeKey<MailData>()};

}  // namespace

namespace mail {

bool mailText(ScriptVM* vm, const ScriptValue& value, std::string* text, std::string* from, std::string* to,
              std::string* cc, std::string* bcc) {
  MailClass* state = classState<MailClass>(vm);
  MailData* d = state ? dataOf<MailData>(value, state->cls) : nullptr;
  if (!d || !d->headers.from || !d->headers.to) return false;
  *text = d->text();
  *from = *d->headers.from;
  *to = *d->headers.to;
  *cc = d->headers.cc.value_or("");
  *bcc = d->headers.bcc.value_or("");
  return true;
}

ScriptValue makeMail(ScriptVM* vm, std::string message) {
  MailClass* state = classState<MailClass>(vm);
  if (!state) return ScriptValue::null();
  auto data = std::make_unique<MailData>();
  data->load(std::move(message));
  return makeInstance(vm, state->cls, std::move(data));
}

}  // namespace mail

void registerMailClass(ScriptVM* vm) {
  NativeClass* cls = registerClass(vm, kMail);
  installClassState(vm, std::make_unique<MailClass>(MailClass{cls}));
}

}  // namespace vorlo
