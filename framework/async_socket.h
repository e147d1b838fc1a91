// An event-driven Windows socket: WSAAsyncSelect posts its notifications to a hidden window of the
// thread that made it, and the matching onX member runs there, with the notification's error code.
// The calls themselves are the Winsock ones, non-blocking (a pending connect answers false and
// reports through onConnect later).
#pragma once
#include <winsock2.h>

#include <string>

namespace vorlo::fw {

class AsyncSocket {
 public:
  static constexpr long kAllEvents = FD_READ | FD_WRITE | FD_OOB | FD_ACCEPT | FD_CONNECT | FD_CLOSE;

  AsyncSocket() = default;
  virtual ~AsyncSocket();
  AsyncSocket(const AsyncSocket&) = delete;
  AsyncSocket& operator=(const AsyncSocket&) = delete;

  // A new socket of the type (SOCK_STREAM, SOCK_DGRAM) bound to the port and address (any when
  // empty), selecting the events.
  bool create(unsigned port = 0, int type = SOCK_STREAM, long events = kAllEvents, const std::string& address = {});
  bool bind(unsigned port, const std::string& address = {});
  bool connect(const std::string& host, unsigned port);
  bool listen(int backlog = 5);
  // Takes a pending connection into `into` (which must have no socket yet); it selects the same
  // events as this one.
  bool accept(AsyncSocket& into);
  bool asyncSelect(long events);
  void close();
  bool shutDown(int how = SD_SEND);

  int send(const void* data, int length, int flags = 0);
  int receive(void* buffer, int capacity, int flags = 0);
  int sendTo(const void* data, int length, unsigned port, const std::string& address, int flags = 0);
  int receiveFrom(void* buffer, int capacity, std::string* address, unsigned* port, int flags = 0);
  bool peerName(std::string* address, unsigned* port) const;
  bool sockName(std::string* address, unsigned* port) const;
  bool getOption(int option, int* value, int level = SOL_SOCKET) const;
  bool setOption(int option, int value, int level = SOL_SOCKET);
  bool ioCtl(long command, u_long* argument);

  SOCKET handle() const { return socket_; }
  bool isOpen() const { return socket_ != INVALID_SOCKET; }

  // Dispatches a notification to the member for its event (used by the notification window).
  void notify(long event, int error);

 protected:
  virtual void onAccept(int) {}
  virtual void onClose(int) {}
  virtual void onConnect(int) {}
  virtual void onSend(int) {}
  virtual void onReceive(int) {}
  virtual void onOutOfBandData(int) {}

 private:
  bool attach(SOCKET s, long events);
  SOCKET socket_ = INVALID_SOCKET;
  long events_ = 0;
};

// Starts Winsock 2.2 once for the process.
bool startSockets();

}  // namespace vorlo::fw
