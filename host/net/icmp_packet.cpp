#include "host/net/icmp_packet.h"

#include <cstring>

namespace vorlo::net {

uint16_t internetChecksum(std::string_view bytes) {
  uint32_t sum = 0;
  size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) sum += uint32_t(uint8_t(bytes[i]) << 8 | uint8_t(bytes[i + 1]));
  if (i < bytes.size()) sum += uint32_t(uint8_t(bytes[i]) << 8);
  sum = (sum >> 16) + (sum & 0xFFFF);
  sum += sum >> 16;
  return static_cast<uint16_t>(~sum);
}

std::string echoRequest(uint16_t identifier, uint16_t sequence, uint32_t tick) {
  std::string p(kEchoRequestSize, '\0');
  p[0] = 8;
  p[4] = char(identifier >> 8);
  p[5] = char(identifier);
  p[6] = char(sequence >> 8);
  p[7] = char(sequence);
  std::memcpy(&p[8], &tick, 4);  // read back by this same machine: its own byte order
  for (int i = 0; i < 32; ++i) p[12 + i] = char(0x20 + i);
  uint16_t sum = internetChecksum(p);
  p[2] = char(sum >> 8);
  p[3] = char(sum);
  return p;
}

std::optional<EchoReply> parseEchoReply(std::string_view d, uint16_t identifier) {
  if (d.size() < 20 || (uint8_t(d[0]) >> 4) != 4) return std::nullopt;
  size_t header = size_t(uint8_t(d[0]) & 0x0F) * 4;
  if (header < 20 || d.size() < header + 12) return std::nullopt;
  std::string_view icmp = d.substr(header);
  if (icmp[0] != 0) return std::nullopt;
  if (uint16_t(uint8_t(icmp[4]) << 8 | uint8_t(icmp[5])) != identifier) return std::nullopt;
  EchoReply r;
  std::memcpy(&r.source, d.data() + 12, 4);
  r.ttl = uint8_t(d[8]);
  r.sequence = uint16_t(uint8_t(icmp[6]) << 8 | uint8_t(icmp[7]));
  std::memcpy(&r.tick, icmp.data() + 8, 4);
  return r;
}

}  // namespace vorlo::net
