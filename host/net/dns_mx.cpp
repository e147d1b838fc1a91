#include "host/net/dns_mx.h"

namespace vorlo::net {
namespace {

struct Reader {
  std::string_view m;
  bool has(size_t pos, size_t n) const { return pos <= m.size() && n <= m.size() - pos; }
  uint16_t u16(size_t pos) const { return uint16_t(uint8_t(m[pos]) << 8 | uint8_t(m[pos + 1])); }

  // The position after the name that starts at pos (a pointer ends it); nullopt when it runs out.
  std::optional<size_t> skipName(size_t pos) const {
    while (has(pos, 1)) {
      uint8_t len = uint8_t(m[pos]);
      if (len == 0) return pos + 1;
      if ((len & 0xC0) == 0xC0) return has(pos, 2) ? std::optional<size_t>(pos + 2) : std::nullopt;
      if (len & 0xC0) return std::nullopt;
      pos += 1 + len;
    }
    return std::nullopt;
  }

  // The dotted name at pos, following at most kMaxCompressionJumps pointers.
  std::optional<std::string> name(size_t pos) const {
    std::string out;
    for (int jumps = 0;;) {
      if (!has(pos, 1)) return std::nullopt;
      uint8_t len = uint8_t(m[pos]);
      if (len == 0) return out;
      if ((len & 0xC0) == 0xC0) {
        if (!has(pos, 2) || ++jumps > kMaxCompressionJumps) return std::nullopt;
        pos = u16(pos) & 0x3FFF;
        continue;
      }
      if ((len & 0xC0) || !has(pos + 1, len)) return std::nullopt;
      if (!out.empty()) out += '.';
      out.append(m.substr(pos + 1, len));
      if (out.size() > kMaxDnsName) return std::nullopt;
      pos += 1 + len;
    }
  }
};

}  // namespace

std::optional<std::string> mxQuery(std::string_view domain) {
  if (!domain.empty() && domain.back() == '.') domain.remove_suffix(1);
  if (domain.empty() || domain.size() > kMaxDnsName - 2) return std::nullopt;
  std::string q = {'F', 'F', 0x01, 0x00, 0, 1, 0, 0, 0, 0, 0, 0};
  for (size_t pos = 0; pos <= domain.size();) {
    size_t dot = domain.find('.', pos);
    size_t end = dot == std::string_view::npos ? domain.size() : dot;
    size_t len = end - pos;
    if (len < 1 || len > 63) return std::nullopt;
    q += static_cast<char>(len);
    q.append(domain.substr(pos, len));
    pos = end + 1;
  }
  q += std::string("\0\0\x0F\0\x01", 5);
  return q;
}

std::vector<MxRecord> parseMxAnswer(std::string_view message) {
  std::vector<MxRecord> records;
  Reader r{message};
  if (!r.has(0, 12)) return records;
  uint16_t questions = r.u16(4), answers = r.u16(6);
  size_t pos = 12;
  for (uint16_t i = 0; i < questions; ++i) {
    std::optional<size_t> next = r.skipName(pos);
    if (!next || !r.has(*next, 4)) return records;
    pos = *next + 4;
  }
  for (uint16_t i = 0; i < answers; ++i) {
    std::optional<size_t> next = r.skipName(pos);
    if (!next || !r.has(*next, 10)) return records;
    uint16_t type = r.u16(*next);
    uint16_t length = r.u16(*next + 8);
    size_t data = *next + 10;
    if (!r.has(data, length)) return records;
    if (type == 15) {
      if (length < 3) return records;
      std::optional<std::string> exchange = r.name(data + 2);
      if (!exchange) return records;
      records.push_back({r.u16(data), std::move(*exchange)});
    }
    pos = data + length;
  }
  return records;
}

}  // namespace vorlo::net
