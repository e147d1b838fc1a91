#include "host/net/winsock.h"

#include <windows.h>

namespace vorlo::net {

bool startWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::optional<in_addr> resolveIPv4(const std::string& host) {
  if (!startWinsock() || host.empty()) return std::nullopt;
  in_addr address{};
  if (hostent* h = gethostbyname(host.c_str()); h && h->h_addrtype == AF_INET && h->h_addr_list && h->h_addr_list[0]) {
    memcpy(&address, h->h_addr_list[0], sizeof address);
    return address;
  }
  unsigned long dotted = inet_addr(host.c_str());
  if (dotted == INADDR_NONE && host != "255.255.255.255") return std::nullopt;
  address.s_addr = dotted;
  return address;
}

std::string socketErrorText(uint32_t code) {
  char buffer[512] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buffer,
                           sizeof buffer, nullptr);
  if (n == 0) {
    // WinINet's codes live in its own message table.
    if (HMODULE wininet = GetModuleHandleA("wininet.dll"))
      n = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, wininet, code, 0, buffer,
                         sizeof buffer, nullptr);
  }
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text.empty() ? "error " + std::to_string(code) : text;
}

}  // namespace vorlo::net
