#include <gtest/gtest.h>

#include <string>

#include "host/net/dns_mx.h"
#include "host/net/icmp_packet.h"
#include "host/net/pconn_format.h"

namespace vorlo::net {
namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += char(b);
  return s;
}

TEST(DnsMx, Query) {
  auto q = mxQuery("mail.example.");
  ASSERT_TRUE(q);
  EXPECT_EQ(*q, std::string("FF\x01\0\0\x01\0\0\0\0\0\0", 12) + "\x04mail\x07" "example" + std::string("\0\0\x0f\0\x01", 5));
  for (const std::string& bad : {std::string(""), std::string("a..b"), std::string(64, 'x') + ".com", std::string(".a"),
                                 std::string(300, 'a')})
    EXPECT_FALSE(mxQuery(bad)) << bad;
  EXPECT_TRUE(mxQuery(std::string(63, 'x') + ".com"));
}

// An answer: the question, a CNAME, then two MX records whose names are compressed.
std::string answer() {
  std::string m = bytes({0x46, 0x46, 0x81, 0x80, 0, 1, 0, 3, 0, 0, 0, 0});
  m += bytes({4}) + "mail" + bytes({7}) + "example" + bytes({0, 0, 15, 0, 1});  // name at 12
  m += bytes({0xC0, 12, 0, 5, 0, 1, 0, 0, 0, 60, 0, 6, 3}) + "alt" + bytes({0xC0, 17});
  m += bytes({0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 7, 0, 10, 2}) + "mx" + bytes({0xC0, 17});
  m += bytes({0xC0, 12, 0, 15, 0, 1, 0, 0, 0, 60, 0, 8, 0, 20, 3}) + "mx2" + bytes({0xC0, 12});
  return m;
}

TEST(DnsMx, AnswerWithCnameAndCompression) {
  auto records = parseMxAnswer(answer());
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].preference, 10);
  EXPECT_EQ(records[0].exchange, "mx.example");
  EXPECT_EQ(records[1].preference, 20);
  EXPECT_EQ(records[1].exchange, "mx2.mail.example");
}

TEST(DnsMx, HostileAnswers) {
  std::string full = answer();
  for (size_t n = 0; n < full.size(); ++n) EXPECT_LE(parseMxAnswer(full.substr(0, n)).size(), 2u);
  // A pointer to itself, a pointer loop and a name over 255 characters give no record.
  std::string head = bytes({0x46, 0x46, 0x81, 0x80, 0, 0, 0, 1, 0, 0, 0, 0});
  std::string loop = head + bytes({0, 0, 15, 0, 1, 0, 0, 0, 60, 0, 4, 0, 1, 0xC0, 25});
  EXPECT_TRUE(parseMxAnswer(loop).empty());
  std::string longName = head + bytes({0, 0, 15, 0, 1, 0, 0, 0, 60, 1, 10, 0, 1});
  for (int i = 0; i < 4; ++i) longName += bytes({63}) + std::string(63, 'a');
  longName += bytes({0});
  EXPECT_TRUE(parseMxAnswer(longName).empty());
  // A data length past the end, and a record claiming a huge count.
  EXPECT_TRUE(parseMxAnswer(head + bytes({0, 0, 15, 0, 1, 0, 0, 0, 60, 0xFF, 0xFF, 0, 1, 0})).empty());
}

TEST(Icmp, ChecksumAndEcho) {
  // RFC 1071's example words sum to 0xDDF2, whose complement is the checksum.
  EXPECT_EQ(internetChecksum(bytes({0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7})), 0x220D);
  EXPECT_EQ(internetChecksum(bytes({0x01})), 0xFEFF);  // an odd byte is the high half of a word
  std::string request = echoRequest(0x1234, 7, 99);
  ASSERT_EQ(request.size(), kEchoRequestSize);
  EXPECT_EQ(internetChecksum(request), 0);  // a packet with its checksum sums to zero
  EXPECT_EQ(request[44 - 32], 0x20);
  EXPECT_EQ(request[43], 0x3F);

  // The reply inside an IPv4 datagram with 4 bytes of options (header length 24).
  std::string reply = request;
  reply[0] = 0;
  std::string ip = bytes({0x46, 0, 0, 72, 0, 0, 0, 0, 64, 1, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1, 1, 1, 1, 1});
  auto r = parseEchoReply(ip + reply, 0x1234);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->sequence, 7);
  EXPECT_EQ(r->tick, 99u);
  EXPECT_EQ(r->ttl, 64);
  EXPECT_FALSE(parseEchoReply(ip + reply, 0x4321));      // someone else's
  EXPECT_FALSE(parseEchoReply(ip + request, 0x1234));    // a request, not a reply
  EXPECT_FALSE(parseEchoReply(ip + reply.substr(0, 8), 0x1234));
  ip[0] = 0x4F;                                           // a header longer than the datagram
  EXPECT_FALSE(parseEchoReply(ip + reply.substr(0, 20), 0x1234));
}

TEST(PConn, RequestAndReply) {
  std::string request = pconnRequest("map", "fn", "a,,b");
  EXPECT_EQ(request, std::string("map\0fn\0a\0b\0\0", 12));
  auto parsed = parsePConnRequest(request);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->mapping, "map");
  EXPECT_EQ(parsed->function, "fn");
  EXPECT_EQ(parsed->arguments, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(pconnRequest("m", "f", "").size(), 5u);
  for (size_t n = 0; n < request.size(); ++n) EXPECT_FALSE(parsePConnRequest(std::string_view(request).substr(0, n))) << n;
  EXPECT_FALSE(parsePConnRequest(std::string("map\0\0\0", 6)));  // no function name

  std::string view = std::string("\0\0\0\0", 4) + "reply" + std::string(1, '\0') + "junk";
  EXPECT_EQ(pconnReply(view.data(), view.size(), 100000), "reply");
  EXPECT_EQ(pconnReply(view.data(), view.size(), 3), "rep");
  std::string full = std::string(4, '\0') + "abcdef";  // no NUL inside the view
  EXPECT_EQ(pconnReply(full.data(), full.size(), 0xFFFF), "abcdef");
}

}  // namespace
}  // namespace vorlo::net
