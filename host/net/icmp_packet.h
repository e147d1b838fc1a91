// ICMP echo packets of Inet.ping's raw-socket route.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vorlo::net {

// The Internet checksum: the ones'-complement sum of 16-bit words (an odd last byte alone),
// folded and complemented.
uint16_t internetChecksum(std::string_view bytes);

inline constexpr size_t kEchoRequestSize = 44;
// Type 8, code 0, checksum, identifier, sequence, the sender's tick count and 32 bytes 0x20..0x3F.
std::string echoRequest(uint16_t identifier, uint16_t sequence, uint32_t tick);

struct EchoReply {
  uint32_t source = 0;  // as it stands in the header (network order bytes)
  uint8_t ttl = 0;
  uint16_t sequence = 0;
  uint32_t tick = 0;  // the tick count the request carried
};
// An echo reply to our identifier in a received IPv4 datagram; the header length comes from the
// datagram's own header. nullopt for anything else.
std::optional<EchoReply> parseEchoReply(std::string_view datagram, uint16_t identifier);

}  // namespace vorlo::net
