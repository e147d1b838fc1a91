// Inet: network utilities that block until their work is done (HTTP download and header queries,
// DNS MX look-ups). Members work on the class object too, where no events fire.
#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <string>

#include "engine/convert.h"
#include "engine/embed.h"
#include "engine/gc.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/symbols.h"
#include "host/host_support.h"
#include "host/net/inet_dns.h"
#include "host/net/inet_http.h"
#include "host/net/inet_ping.h"
#include "host/net/net.h"
#include "host/net/winsock.h"
#include "stdlib/array.h"

namespace vorlo {
namespace {

struct InetData {
  EventHandler onPinging, onGetUrl;
};

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  try {
    *result = makeInstance(vm, cls, std::make_unique<InetData>());
  } catch (const std::bad_alloc&) {
    *result = ScriptValue::null();
  }
}
void mark(ScriptVM* vm, NativeClass*, void* self) {
  if (!self) return;
  markValue(vm, static_cast<InetData*>(self)->onPinging.function);
  markValue(vm, static_cast<InetData*>(self)->onGetUrl.function);
}
void toText(MemberCall& c) { setClassText(c, u"[object Inet]"); }

// Calls an event handler with (code, text); answers its result as a boolean (true without one).
bool fire(ScriptVM* vm, const EventHandler& handler, int code, const std::string& text) {
  if (handler.function.kind != KindFunction) return true;
  ValueRoots<4> slots(vm);
  slots[3] = handler.function;
  slots[0] = ScriptValue::integer(2);
  slots[1] = ScriptValue::integer(code);
  setStringFromAnsi(vm, &slots[2], text.data(), text.size());
  try {
    return callValue(vm, nullptr, slots[3], 3, &slots[0]) && toBoolean(vm->result);
  } catch (...) {
    return false;
  }
}

bool twoStrings(const MemberCall& c) { return c.arg(0).isString() && c.arg(1).isString(); }

void getUrl(MemberCall& c) {
  if (!twoStrings(c)) return;
  InetData* d = dataOf<InetData>(c);
  std::string url = toAnsiText(c.vm, c.arg(0));
  std::wstring file = wideOf(stringView(c.arg(1).asString()));
  net::DownloadEvent event;
  if (d) event = [&](int code, const std::string& text) { return fire(c.vm, d->onGetUrl, code, text); };
  *c.result = ScriptValue::boolean(net::httpDownload(url, file, event));
}

template <net::HttpQuery What>
void httpQuery(MemberCall& c) {
  switch (What) {
    case net::HttpQuery::Size:
    case net::HttpQuery::Status: *c.result = ScriptValue::integer(-1); break;
    case net::HttpQuery::LastModified: *c.result = ScriptValue::number(0.0); break;
    case net::HttpQuery::Header: *c.result = ScriptValue::null(); break;
  }
  if (!c.arg(0).isString() || (What == net::HttpQuery::Header && !c.arg(1).isString())) return;
  std::string header = What == net::HttpQuery::Header ? toAnsiText(c.vm, c.arg(1)) : std::string();
  net::HttpAnswer a = net::httpQuery(toAnsiText(c.vm, c.arg(0)), What, header);
  switch (What) {
    case net::HttpQuery::Size:
    case net::HttpQuery::Status: *c.result = ScriptValue::integer(a.number); break;
    case net::HttpQuery::LastModified: *c.result = ScriptValue::number(a.time); break;
    case net::HttpQuery::Header:
      if (a.text) setStringFromAnsi(c.vm, c.result, a.text->data(), a.text->size());
      break;
  }
}

// Calls onPinging(code, time, text); its result is not used.
void firePing(ScriptVM* vm, const EventHandler& handler, int code, int time, const std::string& text) {
  if (handler.function.kind != KindFunction) return;
  ValueRoots<5> slots(vm);
  slots[4] = handler.function;
  slots[0] = ScriptValue::integer(3);
  slots[1] = ScriptValue::integer(code);
  slots[2] = ScriptValue::integer(time);
  setStringFromAnsi(vm, &slots[3], text.data(), text.size());
  try {
    callValue(vm, nullptr, slots[4], 4, &slots[0]);
  } catch (...) {
  }
}

void ping(MemberCall& c) {
  std::optional<int64_t> count = intArg(c, 1);
  if (!c.arg(0).isString() || !count) return;
  InetData* d = dataOf<InetData>(c);
  net::PingEvent event;
  if (d) event = [&](int code, int time, const std::string& text) { firePing(c.vm, d->onPinging, code, time, text); };
  int n = *count < 0 ? 0 : *count > 1000000 ? 1000000 : static_cast<int>(*count);
  *c.result = ScriptValue::integer(net::ping(toAnsiText(c.vm, c.arg(0)), n, event));
}

// Four echo requests without events; without a host, the one Windows itself probes for connectivity.
void isInetConnected(MemberCall& c) {
  if (c.has(0) && !c.arg(0).isString()) return;
  std::string host = c.has(0) ? toAnsiText(c.vm, c.arg(0)) : std::string("www.msftconnecttest.com");
  *c.result = ScriptValue::boolean(net::ping(host, 4, nullptr) > 0);
}

void mxfind(MemberCall& c) {
  if (!twoStrings(c)) return;
  std::vector<net::MxRecord> records = net::queryMx(toAnsiText(c.vm, c.arg(0)), toAnsiText(c.vm, c.arg(1)));
  *c.result = newArrayValue(c.vm, 0);
  ValueRoots<2> keep(c.vm);
  for (const net::MxRecord& r : records) {
    keep[0] = ScriptValue::object(newObject(c.vm));
    setStringFromAnsi(c.vm, &keep[1], r.exchange.data(), r.exchange.size());
    objectSet(c.vm, keep[0].asObject(), intern(c.vm, "name"), keep[1]);
    objectSet(c.vm, keep[0].asObject(), intern(c.vm, "pref"), ScriptValue::integer(r.preference));
    arrayAppend(c.vm, c.result->asArray(), keep[0]);
  }
}

template <EventHandler InetData::*Slot>
void getEvent(ScriptVM*, void* self, ScriptValue* v) { (static_cast<InetData*>(self)->*Slot).read(v); }
template <EventHandler InetData::*Slot>
void setEvent(ScriptVM*, void* self, const ScriptValue& v) { (static_cast<InetData*>(self)->*Slot).write(v); }

constexpr Member kMembers[] = {
    {"toString", toText},
    {"getUrl", getUrl},
    {"getHttpFileSize", httpQuery<net::HttpQuery::Size>},
    {"getHttpFileStatus", httpQuery<net::HttpQuery::Status>},
    {"getHttpFileLastModifiedTime", httpQuery<net::HttpQuery::LastModified>},
    {"getHttpFileHeader", httpQuery<net::HttpQuery::Header>},
    {"mxfind", mxfind},
    {"ping", ping},
    {"isInetConnected", isInetConnected},
    instanceProperty("onPinging", getEvent<&InetData::onPinging>, setEvent<&InetData::onPinging>),
    instanceProperty("onGetUrl", getEvent<&InetData::onGetUrl>, setEvent<&InetData::onGetUrl>),
};

constexpr ClassDef kInet{.name = "Inet", .members = kMembers, .construct = construct,
                         .finalize = finalizeData<InetData>, .mark = mark, .data = typeKey<InetData>()};

}  // namespace

void registerInet(ScriptVM* vm) {
  net::startWinsock();
  registerClass(vm, kInet);
}

}  // namespace vorlo
