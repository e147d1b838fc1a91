// The mail-exchanger query of Inet.mxfind: the question sent to a DNS server over TCP and the
// reader of its answer. The answer comes from the network: every read is checked against its length.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo::net {

struct MxRecord {
  uint16_t preference = 0;
  std::string exchange;
};

inline constexpr size_t kMaxDnsName = 255;
inline constexpr int kMaxCompressionJumps = 16;

// The query message (identifier "FF", recursion desired, one MX question of class IN), without the
// two-byte length that DNS over TCP puts in front. nullopt when the domain has an empty label, a
// label longer than 63 bytes or a name longer than 255 bytes.
std::optional<std::string> mxQuery(std::string_view domain);
// The MX records of the answer section in answer order; records of other types (a CNAME before
// them) are skipped by their length. A malformed answer gives the records read before the fault.
std::vector<MxRecord> parseMxAnswer(std::string_view message);

}  // namespace vorlo::net
