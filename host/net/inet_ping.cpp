#include "host/net/inet_ping.h"

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstdio>
#include <vector>

#include "host/net/icmp_packet.h"
#include "host/net/winsock.h"

namespace vorlo::net {
namespace {

constexpr DWORD kTimeout = 5000;
constexpr WORD kPayload = 32;

using CreateFn = HANDLE(WINAPI*)();
using CloseFn = BOOL(WINAPI*)(HANDLE);
using SendFn = DWORD(WINAPI*)(HANDLE, IPAddr, LPVOID, WORD, PIP_OPTION_INFORMATION, LPVOID, DWORD, DWORD);

template <typename Fn>
Fn entry(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::string format(const char* pattern, ...) {
  char buffer[512];
  va_list args;
  va_start(args, pattern);
  vsnprintf(buffer, sizeof buffer, pattern, args);
  va_end(args);
  return buffer;
}

// The ICMP library's route; false when the library or its handle cannot be had.
bool pingWithLibrary(in_addr to, int count, const PingEvent& event, int* replies) {
  HMODULE icmp = LoadLibraryA("ICMP.DLL");
  if (!icmp) return false;
  auto create = entry<CreateFn>(icmp, "IcmpCreateFile");
  auto close = entry<CloseFn>(icmp, "IcmpCloseHandle");
  auto send = entry<SendFn>(icmp, "IcmpSendEcho");
  HANDLE handle = create && close && send ? create() : INVALID_HANDLE_VALUE;
  if (handle == INVALID_HANDLE_VALUE) {
    FreeLibrary(icmp);
    return false;
  }
  std::vector<char> payload(kPayload, char(0xAA));
  // Room for one reply with its data and an ICMP error's worth more, as the library asks.
  std::vector<char> reply(sizeof(ICMP_ECHO_REPLY) + kPayload + 8 + 64);
  for (int i = 0; i < count; ++i) {
    DWORD n = send(handle, to.s_addr, payload.data(), kPayload, nullptr, reply.data(), static_cast<DWORD>(reply.size()), kTimeout);
    auto* r = reinterpret_cast<ICMP_ECHO_REPLY*>(reply.data());
    if (n > 0 && r->Status == IP_SUCCESS) {
      ++*replies;
      const unsigned char* a = reinterpret_cast<const unsigned char*>(&r->Address);
      if (event)
        event(4, static_cast<int>(r->RoundTripTime),
              format("Reply from %d.%d.%d.%d: bytes=%d time=%dms TTL=%d", a[0], a[1], a[2], a[3], kPayload,
                     static_cast<int>(r->RoundTripTime), r->Options.Ttl));
    } else if (event) {
      event(1, 0, "Destination host unreachable");
    }
  }
  close(handle);
  FreeLibrary(icmp);
  return true;
}

int pingWithRawSocket(const std::string& host, in_addr to, int count, const PingEvent& event) {
  if (!getprotobyname("icmp")) {
    if (event) event(2, 0, "getprotobyname error");
    return 0;
  }
  SOCKET s = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
  if (s == INVALID_SOCKET) {
    if (event) event(2, 0, "socket error");
    return 0;
  }
  DWORD timeout = 1000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  if (event) event(3, 0, format("Pinging %s [%s]: with %d bytes of data:\n\n", host.c_str(), inet_ntoa(to), kPayload));
  uint16_t id = static_cast<uint16_t>(GetCurrentProcessId());
  sockaddr_in dest{};
  dest.sin_family = AF_INET;
  dest.sin_addr = to;
  int replies = 0;
  for (int i = 0; i < count; ++i) {
    std::string request = echoRequest(id, static_cast<uint16_t>(i), GetTickCount());
    if (sendto(s, request.data(), static_cast<int>(request.size()), 0, reinterpret_cast<sockaddr*>(&dest), sizeof dest) == SOCKET_ERROR) {
      if (event) event(1, 0, "Destination host unreachable");
      continue;
    }
    for (;;) {
      char buffer[1024];
      sockaddr_in from{};
      int size = sizeof from;
      int n = recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &size);
      if (n == SOCKET_ERROR) {
        if (event) event(0, 1000, "Request timed out");
        break;
      }
      std::optional<EchoReply> r = parseEchoReply(std::string_view(buffer, static_cast<size_t>(n)), id);
      if (!r) continue;
      ++replies;
      int time = static_cast<int>(GetTickCount() - r->tick);
      if (event)
        event(4, time, format("Reply from %s: bytes=%d time=%dms TTL=%d icmp_seq=%u", inet_ntoa(from.sin_addr), kPayload, time,
                              r->ttl, static_cast<unsigned>(r->sequence)));
      break;
    }
  }
  closesocket(s);
  return replies;
}

}  // namespace

int ping(const std::string& host, int count, const PingEvent& event) {
  std::optional<in_addr> to = resolveIPv4(host);
  if (!to) {
    if (event) event(2, 0, "Unkown host " + host);
    return 0;
  }
  int replies = 0;
  if (pingWithLibrary(*to, count, event, &replies)) return replies;
  return pingWithRawSocket(host, *to, count, event);
}

}  // namespace vorlo::net
