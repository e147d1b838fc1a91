#include "framework/async_socket.h"

#include <ws2tcpip.h>
#include <windows.h>

#include <unordered_map>

namespace vorlo::fw {
namespace {

constexpr UINT kSocketMessage = WM_APP + 0x51;

// The hidden window of one thread and the sockets that report to it.
struct Notifier {
  HWND window = nullptr;
  std::unordered_map<SOCKET, AsyncSocket*> sockets;

  static LRESULT CALLBACK procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
};
thread_local Notifier notifier;

LRESULT CALLBACK Notifier::procedure(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != kSocketMessage) return DefWindowProcW(hwnd, msg, wp, lp);
  try {
    auto it = notifier.sockets.find(static_cast<SOCKET>(wp));
    // A notification may still arrive for a socket that was closed meanwhile: dropped.
    if (it != notifier.sockets.end()) it->second->notify(WSAGETSELECTEVENT(lp), WSAGETSELECTERROR(lp));
  } catch (...) {
  }
  return 0;
}

HWND notificationWindow() {
  if (notifier.window) return notifier.window;
  static const wchar_t kClass[] = L"VorloSocketNotifier";
  WNDCLASSW wc{};
  wc.lpfnWndProc = Notifier::procedure;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kClass;
  RegisterClassW(&wc);  // fails harmlessly when another thread registered it
  notifier.window = CreateWindowExW(0, kClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  return notifier.window;
}

bool address(const std::string& host, unsigned port, sockaddr_in* out) {
  *out = {};
  out->sin_family = AF_INET;
  out->sin_port = htons(static_cast<u_short>(port));
  if (host.empty()) {
    out->sin_addr.s_addr = htonl(INADDR_ANY);
    return true;
  }
  unsigned long dotted = inet_addr(host.c_str());
  if (dotted != INADDR_NONE || host == "255.255.255.255") {
    out->sin_addr.s_addr = dotted;
    return true;
  }
  hostent* h = gethostbyname(host.c_str());
  if (!h || h->h_addrtype != AF_INET || !h->h_addr_list || !h->h_addr_list[0]) return false;
  memcpy(&out->sin_addr, h->h_addr_list[0], sizeof out->sin_addr);
  return true;
}

void split(const sockaddr_in& a, std::string* host, unsigned* port) {
  if (host) *host = inet_ntoa(a.sin_addr);
  if (port) *port = ntohs(a.sin_port);
}

}  // namespace

bool startSockets() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

AsyncSocket::~AsyncSocket() { close(); }

bool AsyncSocket::attach(SOCKET s, long events) {
  HWND window = notificationWindow();
  if (!window || WSAAsyncSelect(s, window, kSocketMessage, events) != 0) return false;
  socket_ = s;
  events_ = events;
  notifier.sockets[s] = this;
  return true;
}

bool AsyncSocket::create(unsigned port, int type, long events, const std::string& host) {
  if (isOpen() || !startSockets()) return false;
  SOCKET s = ::socket(AF_INET, type, 0);
  if (s == INVALID_SOCKET) return false;
  sockaddr_in local;
  if (!address(host, port, &local) || ::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0 ||
      !attach(s, events)) {
    int error = WSAGetLastError();
    closesocket(s);
    WSASetLastError(error);
    return false;
  }
  return true;
}

bool AsyncSocket::bind(unsigned port, const std::string& host) {
  sockaddr_in local;
  return isOpen() && address(host, port, &local) && ::bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
}

bool AsyncSocket::connect(const std::string& host, unsigned port) {
  sockaddr_in to;
  if (!isOpen() || !address(host, port, &to)) return false;
  return ::connect(socket_, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0;
}

bool AsyncSocket::listen(int backlog) { return isOpen() && ::listen(socket_, backlog) == 0; }

bool AsyncSocket::accept(AsyncSocket& into) {
  if (!isOpen() || into.isOpen()) return false;
  SOCKET s = ::accept(socket_, nullptr, nullptr);
  if (s == INVALID_SOCKET) return false;
  if (!into.attach(s, events_)) {
    closesocket(s);
    return false;
  }
  return true;
}

bool AsyncSocket::asyncSelect(long events) {
  if (!isOpen() || WSAAsyncSelect(socket_, notificationWindow(), kSocketMessage, events) != 0) return false;
  events_ = events;
  return true;
}

void AsyncSocket::close() {
  if (!isOpen()) return;
  notifier.sockets.erase(socket_);
  closesocket(socket_);
  socket_ = INVALID_SOCKET;
}

bool AsyncSocket::shutDown(int how) { return isOpen() && ::shutdown(socket_, how) == 0; }

int AsyncSocket::send(const void* data, int length, int flags) {
  return isOpen() ? ::send(socket_, static_cast<const char*>(data), length, flags) : SOCKET_ERROR;
}
int AsyncSocket::receive(void* buffer, int capacity, int flags) {
  return isOpen() ? ::recv(socket_, static_cast<char*>(buffer), capacity, flags) : SOCKET_ERROR;
}
int AsyncSocket::sendTo(const void* data, int length, unsigned port, const std::string& host, int flags) {
  sockaddr_in to;
  if (!isOpen() || !address(host.empty() ? std::string("255.255.255.255") : host, port, &to)) return SOCKET_ERROR;
  return ::sendto(socket_, static_cast<const char*>(data), length, flags, reinterpret_cast<sockaddr*>(&to), sizeof to);
}
int AsyncSocket::receiveFrom(void* buffer, int capacity, std::string* host, unsigned* port, int flags) {
  if (!isOpen()) return SOCKET_ERROR;
  sockaddr_in from{};
  int size = sizeof from;
  int n = ::recvfrom(socket_, static_cast<char*>(buffer), capacity, flags, reinterpret_cast<sockaddr*>(&from), &size);
  if (n >= 0) split(from, host, port);
  return n;
}
bool AsyncSocket::peerName(std::string* host, unsigned* port) const {
  sockaddr_in a{};
  int size = sizeof a;
  if (!isOpen() || getpeername(socket_, reinterpret_cast<sockaddr*>(&a), &size) != 0) return false;
  split(a, host, port);
  return true;
}
bool AsyncSocket::sockName(std::string* host, unsigned* port) const {
  sockaddr_in a{};
  int size = sizeof a;
  if (!isOpen() || getsockname(socket_, reinterpret_cast<sockaddr*>(&a), &size) != 0) return false;
  split(a, host, port);
  return true;
}
bool AsyncSocket::getOption(int option, int* value, int level) const {
  int size = sizeof *value;
  return isOpen() && getsockopt(socket_, level, option, reinterpret_cast<char*>(value), &size) == 0;
}
bool AsyncSocket::setOption(int option, int value, int level) {
  return isOpen() && setsockopt(socket_, level, option, reinterpret_cast<const char*>(&value), sizeof value) == 0;
}
bool AsyncSocket::ioCtl(long command, u_long* argument) { return isOpen() && ioctlsocket(socket_, command, argument) == 0; }

void AsyncSocket::notify(long event, int error) {
  switch (event) {
    case FD_ACCEPT: onAccept(error); break;
    case FD_CLOSE: onClose(error); break;
    case FD_CONNECT: onConnect(error); break;
    case FD_WRITE: onSend(error); break;
    case FD_READ: onReceive(error); break;
    case FD_OOB: onOutOfBandData(error); break;
    default: break;
  }
}

}  // namespace vorlo::fw
