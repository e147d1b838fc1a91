// SendMail and RecvMail: the SMTP and POP3 clients for scripts. Both block until the server has
// answered; their handler hears every step (code, text) and may cancel a transfer.
#include <winsock2.h>

#include <memory>
#include <string>

#include "engine/convert.h"
#include "engine/embed.h"
#include "engine/gc.h"
#include "engine/roots.h"
#include "host/host_support.h"
#include "host/mail/mail.h"
#include "host/mail/pop3_client.h"
#include "host/mail/smtp_session.h"
#include "host/mail/socket_transport.h"
#include "stdlib/array.h"

namespace vorlo {
namespace {

using namespace mail;

struct ClientData {
  ScriptVM* vm;
  std::string server = "localhost";
  uint16_t port;
  std::string username, password;
  EventHandler handler;
  std::unique_ptr<SocketTransport> socket;  // SendMail's raw connection, RecvMail's POP3 connection
  std::unique_ptr<Pop3Client> pop3;
  int reporting = 0;  // handler calls in progress: the connection objects must stay where they are

  ClientData(ScriptVM* machine, uint16_t defaultPort) : vm(machine), port(defaultPort) {}

  // Calls the handler with (code, text) and no `this`; without one everything goes on.
  bool report(int code, std::string_view text) {
    if (handler.function.kind != KindFunction) return true;
    ValueRoots<4> slots(vm);
    ScriptValue function = handler.function;
    slots[0] = ScriptValue::integer(2);
    slots[1] = ScriptValue::integer(code);
    setStringFromAnsi(vm, &slots[2], text.data(), text.size());
    slots[3] = function;
    ++reporting;
    bool goOn = false;
    try {
      goOn = callValue(vm, nullptr, function, 3, &slots[0]) && toBoolean(vm->result);
    } catch (...) {
    }
    --reporting;
    return goOn;
  }
  Progress progress() {
    return [this](int code, std::string_view text) { return report(code, text); };
  }
  // A fresh connection object; not while a handler runs inside a call on the current one.
  bool openTransport() {
    if (reporting) return false;
    pop3.reset();
    socket = std::make_unique<SocketTransport>(server, port);
    return true;
  }
};

void markClient(ScriptVM* vm, NativeClass*, void* self) {
  if (self) markValue(vm, static_cast<ClientData*>(self)->handler.function);
}

template <uint16_t Port>
void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  try {
    *result = makeInstance(vm, cls, std::make_unique<ClientData>(vm, Port));
  } catch (const std::bad_alloc&) {
    *result = ScriptValue::null();
  }
}

ClientData* client(void* self) { return static_cast<ClientData*>(self); }
void setAnsi(ScriptVM* vm, ScriptValue* v, std::string_view text) { setStringFromAnsi(vm, v, text.data(), text.size()); }

template <std::string ClientData::*Field>
void getText(ScriptVM* vm, void* self, ScriptValue* v) { setAnsi(vm, v, client(self)->*Field); }
template <std::string ClientData::*Field>
void setText(ScriptVM* vm, void* self, const ScriptValue& v) { client(self)->*Field = toAnsiText(vm, v); }
void getPort(ScriptVM*, void* self, ScriptValue* v) { *v = ScriptValue::integer(client(self)->port); }
void setPort(ScriptVM* vm, void* self, const ScriptValue& v) { client(self)->port = static_cast<uint16_t>(toInt32(vm, v)); }
void getHandler(ScriptVM*, void* self, ScriptValue* v) { client(self)->handler.read(v); }
void setHandler(ScriptVM*, void* self, const ScriptValue& v) { client(self)->handler.write(v); }

// ---- SendMail ----

void sendMail(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  ClientData* d = dataOf<ClientData>(c);
  std::string text;
  SmtpRequest r;
  if (!d || !mailText(c.vm, c.arg(0), &text, &r.from, &r.to, &r.cc, &r.bcc)) return;
  r.localHost = localHostName();
  r.username = d->username;
  r.password = d->password;
  r.message = text;
  SocketTransport t(d->server, d->port);
  *c.result = ScriptValue::boolean(sendMessage(t, r, d->progress()));
}

void rawConnect(MemberCall& c) {
  ClientData* d = dataOf<ClientData>(c);
  if (!d || !d->openTransport()) return;
  bool ok = d->socket->connect();
  if (!ok) {
    d->report(kSocketError, d->socket->errorText());
    d->socket.reset();
  }
  *c.result = ScriptValue::boolean(ok);
}

// The raw connection's commands are limited to what one command line holds.
constexpr size_t kMaxRawCommand = 1023;

void rawCommand(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  ClientData* d = dataOf<ClientData>(c);
  if (!d || !d->socket || !d->socket->isOpen() || !c.arg(0).isString()) return;
  std::string text = toAnsiText(c.vm, c.arg(0));
  if (text.size() > kMaxRawCommand) return;
  if (!d->socket->send(text)) return (void)d->report(kSocketError, d->socket->errorText());
  d->report(kCommand, text);
  std::optional<std::string> reply = readSmtpReply(*d->socket);
  if (!reply) return (void)d->report(kSocketError, d->socket->errorText());
  d->report(kReply, *reply);
  setAnsi(c.vm, c.result, *reply);
}

void rawWrite(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  ClientData* d = dataOf<ClientData>(c);
  if (!d || !d->socket || !d->socket->isOpen() || !c.arg(0).isString()) return;
  bool ok = d->socket->send(toAnsiText(c.vm, c.arg(0)));
  if (!ok) d->report(kSocketError, d->socket->errorText());
  *c.result = ScriptValue::boolean(ok);
}

void closeConnection(MemberCall& c) {
  // Closed, not destroyed: a handler may close the connection from inside a call that uses it.
  if (ClientData* d = dataOf<ClientData>(c)) {
    if (d->pop3) d->pop3->close();
    if (d->socket) d->socket->close();
  }
}

// ---- RecvMail ----

Pop3Client* pop3Of(MemberCall& c) {
  ClientData* d = dataOf<ClientData>(c);
  return d && d->pop3 && d->pop3->isOpen() ? d->pop3.get() : nullptr;
}

void pop3Connect(MemberCall& c) {
  ClientData* d = dataOf<ClientData>(c);
  if (!d || !d->openTransport()) return;
  d->pop3 = std::make_unique<Pop3Client>(*d->socket, d->progress());
  *c.result = ScriptValue::boolean(d->pop3->connect(d->username, d->password));
}

template <const char* Command>
void pop3Simple(MemberCall& c) {
  Pop3Client* p = pop3Of(c);
  *c.result = ScriptValue::boolean(p && p->simple(std::string(Command) + "\r\n"));
}
constexpr char kNoop[] = "NOOP", kRset[] = "RSET", kQuit[] = "QUIT";

void pop3Dele(MemberCall& c) {
  Pop3Client* p = pop3Of(c);
  std::optional<int64_t> n = intArg(c, 0);
  *c.result = ScriptValue::boolean(p && n && p->simple("DELE " + std::to_string(*n) + "\r\n"));
}

void pop3Stat(MemberCall& c) {
  *c.result = ScriptValue::null();
  Pop3Client* p = pop3Of(c);
  if (!p) return;
  if (std::optional<std::string> s = p->stat()) setAnsi(c.vm, c.result, *s);
}

void pop3List(MemberCall& c) {
  *c.result = ScriptValue::null();
  Pop3Client* p = pop3Of(c);
  if (!p) return;
  if (std::optional<int64_t> n = intArg(c, 0)) {
    if (std::optional<int64_t> size = p->listOne(*n)) *c.result = ScriptValue::integer(*size);
    return;
  }
  if (auto sizes = p->listAll()) {
    *c.result = newArrayValue(c.vm, 0);
    for (const std::optional<int64_t>& s : *sizes) arrayAppend(c.vm, c.result->asArray(), s ? ScriptValue::integer(*s) : ScriptValue());
  }
}

void pop3Uidl(MemberCall& c) {
  *c.result = ScriptValue::null();
  Pop3Client* p = pop3Of(c);
  if (!p) return;
  if (std::optional<int64_t> n = intArg(c, 0)) {
    if (std::optional<std::string> id = p->uidlOne(*n)) setAnsi(c.vm, c.result, *id);
    return;
  }
  if (auto ids = p->uidlAll()) {
    *c.result = newArrayValue(c.vm, 0);
    ValueRoot item(c.vm);
    for (const std::optional<std::string>& id : *ids) {
      item.value = ScriptValue();
      if (id) setAnsi(c.vm, &item.value, *id);
      arrayAppend(c.vm, c.result->asArray(), item.value);
    }
  }
}

void pop3Retr(MemberCall& c) {
  *c.result = ScriptValue::null();
  Pop3Client* p = pop3Of(c);
  std::optional<int64_t> n = intArg(c, 0);
  if (!p || !n) return;
  if (std::optional<std::string> message = p->retrieve("RETR " + std::to_string(*n) + "\r\n"))
    *c.result = makeMail(c.vm, std::move(*message));
}

void pop3Top(MemberCall& c) {
  *c.result = ScriptValue::null();
  Pop3Client* p = pop3Of(c);
  std::optional<int64_t> n = intArg(c, 0), lines = intArg(c, 1);
  if (!p || !n || !lines) return;
  if (std::optional<std::string> text = p->retrieve("TOP " + std::to_string(*n) + " " + std::to_string(*lines) + "\r\n"))
    setAnsi(c.vm, c.result, *text);
}

void sendText(MemberCall& c) { setClassText(c, u"[object SendMail]"); }
void recvText(MemberCall& c) { setClassText(c, u"[object RecvMail]"); }

#define VORLO_CLIENT_PROPERTIES                                                                  \
  instanceProperty("server", getText<&ClientData::server>, setText<&ClientData::server>),       \
      instanceProperty("port", getPort, setPort),                                               \
      instanceProperty("username", getText<&ClientData::username>, setText<&ClientData::username>), \
      instanceProperty("password", getText<&ClientData::password>, setText<&ClientData::password>)

constexpr Member kSendMembers[] = {
    {"toString", sendText},
    VORLO_CLIENT_PROPERTIES,
    instanceProperty("onSend", getHandler, setHandler),
    instanceMethod("send", sendMail),
    instanceMethod("connect", rawConnect),
    instanceMethod("command", rawCommand),
    instanceMethod("write", rawWrite),
    instanceMethod("close", closeConnection),
};

constexpr Member kRecvMembers[] = {
    {"toString", recvText},
    VORLO_CLIENT_PROPERTIES,
    instanceProperty("onRecv", getHandler, setHandler),
    instanceMethod("connect", pop3Connect),
    instanceMethod("close", closeConnection),
    instanceMethod("noop", pop3Simple<kNoop>),
    instanceMethod("rset", pop3Simple<kRset>),
    instanceMethod("quit", pop3Simple<kQuit>),
    instanceMethod("dele", pop3Dele),
    instanceMethod("stat", pop3Stat),
    instanceMethod("list", pop3List),
    instanceMethod("uidl", pop3Uidl),
    instanceMethod("retr", pop3Retr),
    instanceMethod("top", pop3Top),
};
#undef VORLO_CLIENT_PROPERTIES

constexpr ClassDef kSendMail{.name = "SendMail", .members = kSendMembers, .construct = construct<25>,
                             .finalize = finalizeData<ClientData>, .mark = markClient, .data = typeKey<ClientData>()};
constexpr ClassDef kRecvMail{.name = "RecvMail", .members = kRecvMembers, .construct = construct<110>,
                             .finalize = finalizeData<ClientData>, .mark = markClient, .data = typeKey<ClientData>()};

}  // namespace

void registerMailClass(ScriptVM* vm);

void registerMail(ScriptVM* vm) {
  registerMailClass(vm);
  registerClass(vm, kSendMail);
  registerClass(vm, kRecvMail);
}

}  // namespace vorlo
