#include "host/net/inet_dns.h"

#include "host/net/winsock.h"

namespace vorlo::net {
namespace {

bool receiveExact(SOCKET s, char* out, size_t n) {
  while (n > 0) {
    int got = recv(s, out, n > 0x10000 ? 0x10000 : static_cast<int>(n), 0);
    if (got <= 0) return false;
    out += got;
    n -= static_cast<size_t>(got);
  }
  return true;
}

}  // namespace

std::vector<MxRecord> queryMx(const std::string& domain, const std::string& server) {
  std::optional<std::string> query = mxQuery(domain);
  std::optional<in_addr> address = resolveIPv4(server);
  if (!query || !address) return {};
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return {};
  DWORD timeout = 10000;
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(53);
  to.sin_addr = *address;
  std::vector<MxRecord> records;
  std::string message = std::string{char(query->size() >> 8), char(query->size() & 0xFF)} + *query;
  unsigned char length[2];
  if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
      send(s, message.data(), static_cast<int>(message.size()), 0) == static_cast<int>(message.size()) &&
      receiveExact(s, reinterpret_cast<char*>(length), 2)) {
    std::string answer(size_t(length[0]) << 8 | length[1], '\0');
    if (receiveExact(s, answer.data(), answer.size())) records = parseMxAnswer(answer);
  }
  closesocket(s);
  return records;
}

}  // namespace vorlo::net
