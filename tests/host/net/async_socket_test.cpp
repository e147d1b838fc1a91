// The framework's event-driven socket under Wine: a TCP echo between two of our sockets on
// 127.0.0.1 with every notification, a refused connection, and UDP datagrams.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/async_socket.h"

namespace vorlo::fw {
namespace {

// Records every notification; `on` lets a test act on one.
class Probe : public AsyncSocket {
 public:
  std::vector<std::string> seen;
  std::function<void(const std::string&, int)> on;

 protected:
  void record(const char* name, int error) {
    seen.push_back(error ? std::string(name) + ":" + std::to_string(error) : std::string(name));
    if (on) on(name, error);
  }
  void onAccept(int e) override { record("accept", e); }
  void onClose(int e) override { record("close", e); }
  void onConnect(int e) override { record("connect", e); }
  void onSend(int e) override { record("send", e); }
  void onReceive(int e) override { record("receive", e); }
  void onOutOfBandData(int e) override { record("oob", e); }
};

// Pumps the thread's messages until the condition holds (or 10 seconds pass).
bool pumpUntil(const std::function<bool()>& done) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > 10000) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

bool has(const Probe& p, const std::string& name) {
  for (const std::string& s : p.seen)
    if (s == name) return true;
  return false;
}

TEST(AsyncSocket, TcpEchoWithEveryEvent) {
  Probe server, peer, client;
  ASSERT_TRUE(server.create(0, SOCK_STREAM, AsyncSocket::kAllEvents, "127.0.0.1"));
  ASSERT_TRUE(server.listen());
  std::string host;
  unsigned port = 0;
  ASSERT_TRUE(server.sockName(&host, &port));
  EXPECT_EQ(host, "127.0.0.1");
  ASSERT_NE(port, 0u);

  std::string echoed, received;
  server.on = [&](const std::string& what, int) {
    if (what == "accept") EXPECT_TRUE(server.accept(peer));
  };
  peer.on = [&](const std::string& what, int) {
    if (what != "receive") return;
    char buffer[256];
    int n = peer.receive(buffer, sizeof buffer);
    if (n > 0) {
      echoed.append(buffer, n);
      peer.send(buffer, n);
    }
  };
  client.on = [&](const std::string& what, int) {
    if (what == "receive") {
      char buffer[256];
      int n = client.receive(buffer, sizeof buffer);
      if (n > 0) received.append(buffer, n);
    }
  };
  ASSERT_TRUE(client.create());
  EXPECT_FALSE(client.connect("127.0.0.1", port));  // pending: the result comes as onConnect
  EXPECT_EQ(WSAGetLastError(), WSAEWOULDBLOCK);
  ASSERT_TRUE(pumpUntil([&] { return has(client, "connect") && has(client, "send") && peer.isOpen(); }));
  std::string peerHost;
  unsigned clientPort = 0, seenPort = 0;
  ASSERT_TRUE(client.sockName(nullptr, &clientPort));
  ASSERT_TRUE(peer.peerName(&peerHost, &seenPort));
  EXPECT_EQ(peerHost, "127.0.0.1");
  EXPECT_EQ(seenPort, clientPort);

  EXPECT_EQ(client.send("hello, echo", 11), 11);
  ASSERT_TRUE(pumpUntil([&] { return received == "hello, echo"; }));
  EXPECT_EQ(echoed, "hello, echo");
  u_long readable = 99;
  EXPECT_TRUE(client.ioCtl(FIONREAD, &readable));
  EXPECT_EQ(readable, 0u);

  EXPECT_TRUE(client.setOption(SO_KEEPALIVE, 1));
  int keepAlive = 0;
  EXPECT_TRUE(client.getOption(SO_KEEPALIVE, &keepAlive));
  EXPECT_NE(keepAlive, 0);

  client.close();
  ASSERT_TRUE(pumpUntil([&] { return has(peer, "close"); }));
  EXPECT_TRUE(has(server, "accept"));
  EXPECT_FALSE(client.isOpen());
  EXPECT_EQ(client.send("x", 1), SOCKET_ERROR);
}

TEST(AsyncSocket, RefusedConnectionAndBadUse) {
  Probe listener;  // a port that was free a moment ago and has no listener now
  ASSERT_TRUE(listener.create(0, SOCK_STREAM, AsyncSocket::kAllEvents, "127.0.0.1"));
  unsigned port = 0;
  ASSERT_TRUE(listener.sockName(nullptr, &port));
  listener.close();
  Probe client;
  ASSERT_TRUE(client.create());
  client.connect("127.0.0.1", port);
  ASSERT_TRUE(pumpUntil([&] { return !client.seen.empty(); }));
  EXPECT_EQ(client.seen[0], "connect:" + std::to_string(WSAECONNREFUSED));
  EXPECT_FALSE(client.create());  // already has a socket
  Probe unused;
  EXPECT_FALSE(unused.listen());
  EXPECT_FALSE(unused.connect("127.0.0.1", port));
  EXPECT_FALSE(unused.create(0, SOCK_STREAM, AsyncSocket::kAllEvents, "no such host.invalid"));
}

TEST(AsyncSocket, UdpDatagrams) {
  Probe a, b;
  ASSERT_TRUE(a.create(0, SOCK_DGRAM, AsyncSocket::kAllEvents, "127.0.0.1"));
  ASSERT_TRUE(b.create(0, SOCK_DGRAM, AsyncSocket::kAllEvents, "127.0.0.1"));
  unsigned portA = 0, portB = 0;
  ASSERT_TRUE(a.sockName(nullptr, &portA));
  ASSERT_TRUE(b.sockName(nullptr, &portB));
  std::string got, from;
  unsigned fromPort = 0;
  b.on = [&](const std::string& what, int) {
    if (what != "receive") return;
    char buffer[64];
    int n = b.receiveFrom(buffer, sizeof buffer, &from, &fromPort);
    if (n > 0) got.append(buffer, n);
  };
  EXPECT_EQ(a.sendTo("datagram", 8, portB, "127.0.0.1"), 8);
  ASSERT_TRUE(pumpUntil([&] { return !got.empty(); }));
  EXPECT_EQ(got, "datagram");
  EXPECT_EQ(from, "127.0.0.1");
  EXPECT_EQ(fromPort, portA);
}

}  // namespace
}  // namespace vorlo::fw
