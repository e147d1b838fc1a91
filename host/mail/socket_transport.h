// The mail sessions' transport on Windows: a blocking TCP socket with 60-second send and receive
// time-outs.
#pragma once
#include <winsock2.h>

#include <cstdint>
#include <string>

#include "host/mail/mail_transport.h"

namespace vorlo::mail {

class SocketTransport : public Transport {
 public:
  SocketTransport(std::string host, uint16_t port) : host_(std::move(host)), port_(port) {}
  ~SocketTransport() override { close(); }
  SocketTransport(const SocketTransport&) = delete;
  SocketTransport& operator=(const SocketTransport&) = delete;

  bool connect() override;
  bool send(std::string_view bytes) override;
  int receive(char* buffer, int capacity) override;
  void close() override;
  std::string errorText() override;
  bool isOpen() const { return socket_ != INVALID_SOCKET; }

 private:
  std::string host_;
  uint16_t port_;
  SOCKET socket_ = INVALID_SOCKET;
  int error_ = 0;
};

// The local host's name for EHLO: gethostname, else the address of "localhost".
std::string localHostName();

}  // namespace vorlo::mail
