// A scripted peer for the mail clients: each thing the client sends is answered by a function of
// the test, and what it answers is handed out in pieces of a chosen size.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/mail/mail_transport.h"

namespace vorlo::mail {

class FakeTransport : public Transport {
 public:
  using Peer = std::function<std::string(std::string_view received)>;
  FakeTransport(std::string greeting, Peer peer, size_t piece = 7) : pending_(std::move(greeting)), peer_(std::move(peer)), piece_(piece) {}

  bool connect() override {
    ++connects;
    return canConnect;
  }
  bool send(std::string_view bytes) override {
    sent += bytes;
    pending_ += peer_(bytes);
    return true;
  }
  int receive(char* buffer, int capacity) override {
    if (pending_.empty()) return 0;  // the peer closed
    size_t n = std::min({pending_.size(), piece_, size_t(capacity)});
    pending_.copy(buffer, n);
    pending_.erase(0, n);
    return int(n);
  }
  void close() override { ++closes; }
  std::string errorText() override { return "connection lost"; }

  std::string sent;
  int connects = 0, closes = 0;
  bool canConnect = true;

 private:
  std::string pending_;
  Peer peer_;
  size_t piece_;
};

}  // namespace vorlo::mail
