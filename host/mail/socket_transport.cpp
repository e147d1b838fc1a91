#include "host/mail/socket_transport.h"

#include "host/net/winsock.h"

namespace vorlo::mail {

bool SocketTransport::connect() {
  close();
  std::optional<in_addr> address = net::resolveIPv4(host_);
  if (!address) {
    error_ = WSAGetLastError();
    return false;
  }
  socket_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (socket_ == INVALID_SOCKET) {
    error_ = WSAGetLastError();
    return false;
  }
  DWORD timeout = 60000;
  setsockopt(socket_, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
  BOOL noDelay = TRUE;  // commands are written whole; each should leave at once
  setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port_);
  to.sin_addr = *address;
  if (::connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    error_ = WSAGetLastError();
    close();
    return false;
  }
  return true;
}

bool SocketTransport::send(std::string_view bytes) {
  if (socket_ == INVALID_SOCKET) return false;
  while (!bytes.empty()) {
    int piece = bytes.size() > 0x10000 ? 0x10000 : static_cast<int>(bytes.size());
    int n = ::send(socket_, bytes.data(), piece, 0);
    if (n <= 0) {
      error_ = WSAGetLastError();
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

int SocketTransport::receive(char* buffer, int capacity) {
  if (socket_ == INVALID_SOCKET) return -1;
  int n = ::recv(socket_, buffer, capacity, 0);
  if (n < 0) error_ = WSAGetLastError();
  return n;
}

void SocketTransport::close() {
  if (socket_ != INVALID_SOCKET) closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

std::string SocketTransport::errorText() { return net::socketErrorText(static_cast<uint32_t>(error_)); }

std::string localHostName() {
  char name[256] = {};
  if (net::startWinsock() && gethostname(name, sizeof name) == 0 && name[0]) return name;
  std::optional<in_addr> local = net::resolveIPv4("localhost");
  return local ? inet_ntoa(*local) : "localhost";
}

}  // namespace vorlo::mail
