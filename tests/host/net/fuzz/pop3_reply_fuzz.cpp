// A POP3 server's replies from the network into the client: whatever arrives, in pieces.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "host/mail/pop3_client.h"

namespace {

class Replay : public vorlo::mail::Transport {
 public:
  Replay(const uint8_t* data, size_t size) : data_(reinterpret_cast<const char*>(data), size) {}
  bool connect() override { return true; }
  bool send(std::string_view) override { return true; }
  int receive(char* buffer, int capacity) override {
    if (pos_ >= data_.size()) return 0;
    // The first byte sets the piece size, so a terminator may be split anywhere.
    size_t piece = std::min<size_t>({data_.size() - pos_, size_t(capacity), size_t(uint8_t(data_[0]) % 61 + 1)});
    data_.copy(buffer, piece, pos_);
    pos_ += piece;
    return int(piece);
  }
  void close() override {}
  std::string errorText() override { return "closed"; }

 private:
  std::string data_;
  size_t pos_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Replay t(data, size);
  vorlo::mail::Pop3Client c(t, [](int, std::string_view) { return true; });
  if (!c.connect("user", "password")) return 0;
  c.stat();
  c.listOne(1);
  c.listAll();
  c.uidlAll();
  c.uidlOne(2);
  c.retrieve("RETR 1\r\n");
  c.retrieve("TOP 1 5\r\n");
  return 0;
}
