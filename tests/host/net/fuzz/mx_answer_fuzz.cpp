// DNS answers from the network into the MX reader: every read stays inside the answer.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "host/net/dns_mx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto records = vorlo::net::parseMxAnswer(std::string_view(reinterpret_cast<const char*>(data), size));
  for (const auto& r : records)
    if (r.exchange.size() > vorlo::net::kMaxDnsName + 64) __builtin_trap();
  return 0;
}
