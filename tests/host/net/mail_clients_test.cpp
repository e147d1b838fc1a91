#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_transport.h"
#include "host/mail/mime_codecs.h"
#include "host/mail/pop3_client.h"
#include "host/mail/smtp_session.h"

namespace vorlo::mail {
namespace {

struct Events {
  std::vector<std::pair<int, std::string>> seen;
  Progress progress() {
    return [this](int code, std::string_view text) {
      seen.emplace_back(code, std::string(text));
      return true;
    };
  }
};

// An SMTP peer: EHLO answered by `ehlo`, DATA collected until the lone dot.
struct SmtpPeer {
  std::string ehlo = "250-localhost\r\n250-AUTH LOGIN PLAIN CRAM-MD5\r\n250 OK\r\n";
  std::string data;
  bool inData = false;
  std::vector<std::string> commands;
  std::string operator()(std::string_view line) {
    if (inData) {  // the client may send many lines at once
      data += line;
      if (data.size() < 5 || data.compare(data.size() - 5, 5, "\r\n.\r\n") != 0) return "";
      data.resize(data.size() - 3);
      inData = false;
      return "250 queued\r\n";
    }
    commands.emplace_back(line);
    if (line.substr(0, 4) == "EHLO") return ehlo;
    if (line.substr(0, 4) == "HELO") return "250 hello\r\n";
    if (line == "AUTH CRAM-MD5\r\n") return "334 PDE4OTYuNjk3MTcwOTUyQHBvc3RvZmZpY2UucmVzdG9uLm1jaS5uZXQ+\r\n";
    if (line.substr(0, 4) == "AUTH" && line != "AUTH LOGIN\r\n") return "235 ok\r\n";  // PLAIN
    if (line == "AUTH LOGIN\r\n" || line == "dGlt\r\n") return "334 go\r\n";
    if (line.substr(0, 6) == "dGltIG") return "235 ok\r\n";  // the CRAM-MD5 answer
    if (line == "DATA\r\n") {
      inData = true;
      return "354 go ahead\r\n";
    }
    if (line == "QUIT\r\n") return "221 bye\r\n";
    return "250 ok\r\n";
  }
};

SmtpRequest request(std::string_view message) {
  SmtpRequest r;
  r.localHost = "client";
  r.from = "Tim <tim@example.test>";
  r.to = "Ann <ann@example.test>; bob@example.test";
  r.bcc = "hidden@example.test>";
  r.username = "tim";
  r.password = "tanstaaftanstaaf";
  r.message = message;
  return r;
}

TEST(SmtpSession, DeliversWithCramMd5AndTransparency) {
  SmtpPeer peer;
  FakeTransport t("220 ready\r\n", std::ref(peer), 5);
  Events events;
  std::string message = "From: tim\r\nBcc: hidden@example.test,\r\n  more@example.test\r\nSubject: x\r\n\r\n.\r\n..two\r\nBcc: stays\r\nlast";
  ASSERT_TRUE(sendMessage(t, request(message), events.progress()));
  const std::vector<std::string> expected = {"EHLO client\r\n",
                                             "AUTH CRAM-MD5\r\n",
                                             "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw\r\n",
                                             "MAIL FROM:<tim@example.test>\r\n",
                                             "RCPT TO:<ann@example.test>\r\n",
                                             "RCPT TO:<bob@example.test>\r\n",
                                             "RCPT TO:<hidden@example.test>\r\n",
                                             "DATA\r\n",
                                             "QUIT\r\n"};
  EXPECT_EQ(peer.commands, expected);
  EXPECT_EQ(peer.data, "From: tim\r\nSubject: x\r\n\r\n..\r\n...two\r\nBcc: stays\r\nlast\r\n");
  EXPECT_EQ(events.seen.front(), (std::pair<int, std::string>{1, "220 ready\r\n"}));
  EXPECT_EQ(t.closes, 1);
}

TEST(SmtpSession, MechanismsAndRefusals) {
  {  // LOGIN when CRAM-MD5 is not offered, PLAIN when only it is.
    SmtpPeer peer;
    peer.ehlo = "250-x\r\n250-AUTH=LOGIN PLAIN\r\n250 OK\r\n";
    FakeTransport t("220\r\n", std::ref(peer));
    ASSERT_TRUE(sendMessage(t, request("x"), nullptr));
    EXPECT_EQ(peer.commands[1], "AUTH LOGIN\r\n");
    EXPECT_EQ(peer.commands[2], base64Encode("tim") + "\r\n");
    peer = SmtpPeer();
    peer.ehlo = "250-x\r\n250 AUTH PLAIN\r\n";
    FakeTransport t2("220\r\n", std::ref(peer));
    ASSERT_TRUE(sendMessage(t2, request("x"), nullptr));
    EXPECT_EQ(peer.commands[1], "AUTH PLAIN " + base64Encode(std::string("\0tim\0tanstaaftanstaaf", 21)) + "\r\n");
  }
  {  // No AUTH line: no authentication although credentials are set; 502 to EHLO: HELO.
    SmtpPeer peer;
    peer.ehlo = "502 not here\r\n";
    FakeTransport t("220\r\n", std::ref(peer));
    ASSERT_TRUE(sendMessage(t, request("x"), nullptr));
    EXPECT_EQ(peer.commands[1], "HELO client\r\n");
    EXPECT_EQ(peer.commands[2], "MAIL FROM:<tim@example.test>\r\n");
  }
  // Line breaks or NUL in envelope or credentials: nothing is sent at all.
  for (std::string SmtpRequest::*field : {&SmtpRequest::from, &SmtpRequest::to, &SmtpRequest::username, &SmtpRequest::password}) {
    SmtpPeer peer;
    FakeTransport t("220\r\n", std::ref(peer));
    SmtpRequest r = request("x");
    r.*field += std::string("\r\nRCPT TO:<x@evil.test>", 23);
    EXPECT_FALSE(sendMessage(t, r, nullptr));
    r.*field = std::string("a\0b", 3);
    EXPECT_FALSE(sendMessage(t, r, nullptr));
    EXPECT_EQ(t.connects, 0);
  }
  {  // No connection: the fixed text; a refused sender ends the session.
    SmtpPeer peer;
    FakeTransport t("220\r\n", std::ref(peer));
    t.canConnect = false;
    Events events;
    EXPECT_FALSE(sendMessage(t, request("x"), events.progress()));
    EXPECT_EQ(events.seen.back(), (std::pair<int, std::string>{0, "can't connect to the smtp server"}));
    FakeTransport t2("220\r\n", [](std::string_view l) -> std::string { return l.substr(0, 4) == "MAIL" ? "550 no\r\n" : "250 ok\r\n"; });
    EXPECT_FALSE(sendMessage(t2, request("x"), nullptr));
    EXPECT_EQ(t2.sent.find("DATA"), std::string::npos);
  }
  {  // A handler answering false to a transferred line stops the transfer.
    SmtpPeer peer;
    FakeTransport t("220\r\n", std::ref(peer));
    EXPECT_FALSE(sendMessage(t, request("a\r\nb\r\nc"), [](int code, std::string_view) { return code != kTransferred; }));
    EXPECT_EQ(t.sent.find("a\r\n"), std::string::npos);  // held back, never completed by the dot
    EXPECT_EQ(t.sent.find("\r\n.\r\n"), std::string::npos);
  }
}

TEST(SmtpSession, LongMessageInPieces) {
  std::string message;
  for (int i = 0; i < 5000; ++i) message += (i % 7 == 0 ? "." : "") + std::string(40, char('a' + i % 26)) + "\r\n";
  SmtpPeer peer;
  FakeTransport t("220\r\n", std::ref(peer), 4096);
  int lines = 0;
  ASSERT_TRUE(sendMessage(t, request(message), [&](int code, std::string_view) { lines += code == kTransferred; return true; }));
  EXPECT_EQ(lines, 5000);
  std::string stuffed;
  forEachDataLine(message, [&](std::string_view l) { stuffed += l; return true; });
  EXPECT_EQ(peer.data, stuffed);
  EXPECT_GT(stuffed.size(), 3 * 65536u);
}

TEST(SmtpSession, RepliesAndAddresses) {
  FakeTransport t("250-first\r\n250-second\r\n250 last\r\n", [](std::string_view) { return std::string(); }, 3);
  EXPECT_EQ(readSmtpReply(t), "250-first\r\n250-second\r\n250 last\r\n");
  FakeTransport cut("250-first\r\n", [](std::string_view) { return std::string(); });
  EXPECT_EQ(readSmtpReply(cut), std::nullopt);  // the peer closed inside the reply
  EXPECT_EQ(envelopeAddresses(" A <a@x>, b@y>;;c@z "), (std::vector<std::string>{"a@x", "b@y", "c@z"}));
}

// A POP3 peer over a mailbox of three messages.
std::string pop3Peer(std::string_view line) {
  if (line == "USER u\r\n" || line == "PASS p\r\n" || line == "NOOP\r\n") return "+OK\r\n";
  if (line == "STAT\r\n") return "+OK 3 320\r\n";
  if (line == "LIST\r\n") return "+OK 3 messages\r\n1 100\r\n2 120\r\n3 100\r\n.\r\n";
  if (line == "LIST 2\r\n") return "+OK 2 120\r\n";
  if (line == "UIDL\r\n") return "+OK\r\n1 aaa\r\n2 " + std::string(71, 'x') + "\r\n3 ccc\r\n.\r\n";
  if (line == "UIDL 3\r\n") return "+OK 3 ccc\r\n";
  if (line == "RETR 1\r\n") return "+OK 40 octets\r\nSubject: s\r\n\r\n..\r\n...dots\r\nend\r\n.\r\n";
  return "-ERR no such message\r\n";
}

TEST(Pop3Client, CommandsOverAMailbox) {
  for (size_t piece : {1u, 4u, 4096u}) {
    FakeTransport t("+OK ready\r\n", pop3Peer, piece);
    Events events;
    Pop3Client c(t, events.progress());
    ASSERT_TRUE(c.connect("u", "p"));
    EXPECT_TRUE(c.simple("NOOP\r\n"));
    EXPECT_EQ(c.stat(), "3 320");
    EXPECT_EQ(c.listOne(2), 120);
    auto sizes = c.listAll();
    ASSERT_TRUE(sizes);
    EXPECT_EQ(*sizes, (std::vector<std::optional<int64_t>>{100, 120, 100}));
    auto ids = c.uidlAll();
    ASSERT_TRUE(ids);  // an identifier over 70 characters is not taken
    EXPECT_EQ(*ids, (std::vector<std::optional<std::string>>{"aaa", std::nullopt, "ccc"}));
    EXPECT_EQ(c.uidlOne(3), "ccc");
    EXPECT_EQ(c.retrieve("RETR 1\r\n"), "Subject: s\r\n\r\n.\r\n..dots\r\nend\r\n");
    EXPECT_FALSE(c.simple("DELE 9\r\n"));
    EXPECT_EQ(events.seen.back(), (std::pair<int, std::string>{1, "-ERR no such message\r\n"}));
    EXPECT_TRUE(c.simple("NOOP\r\n"));  // the connection is still in step
  }
}

TEST(Pop3Client, AbortsAndBrokenPeers) {
  for (size_t piece : {8u, 4096u}) {  // a message that comes in one piece is reported too
    FakeTransport t("+OK\r\n", pop3Peer, piece);
    Pop3Client c(t, [](int code, std::string_view) { return code != kTransferred; });
    ASSERT_TRUE(c.connect("", ""));
    EXPECT_EQ(c.retrieve("RETR 1\r\n"), std::nullopt);
    EXPECT_FALSE(c.isOpen());
    EXPECT_FALSE(c.simple("NOOP\r\n"));
  }

  FakeTransport cut("+OK\r\n", [](std::string_view) { return std::string("+OK\r\npartial line"); });
  Pop3Client d(cut, nullptr);
  ASSERT_TRUE(d.connect("", ""));
  EXPECT_EQ(d.retrieve("RETR 1\r\n"), std::nullopt);  // closed before the terminator
  FakeTransport refused("-ERR go away\r\n", pop3Peer);
  Pop3Client e(refused, nullptr);
  EXPECT_FALSE(e.connect("u", "p"));
}

}  // namespace
}  // namespace vorlo::mail
