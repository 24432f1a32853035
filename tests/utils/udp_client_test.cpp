// Report datagrams reach a loopback receiver, one per sendMsg.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "json/udp_client.h"

namespace {

// A UDP socket on an ephemeral loopback port.
class Receiver {
 public:
  Receiver() {
    fd_ = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
  }
  ~Receiver() { close(fd_); }
  int port() const { return port_; }

  // The next datagram, or "<none>" after 2 s.
  std::string next() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 2000) != 1) return "<none>";
    char buf[2048];
    const ssize_t n = recv(fd_, buf, sizeof buf, 0);
    return n < 0 ? "<error>" : std::string(buf, static_cast<std::size_t>(n));
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(UdpClient, DatagramsArriveOnePerSend) {
  Receiver receiver;
  UdpClient client;
  ASSERT_EQ(client.createSocket("127.0.0.1", receiver.port()), 0);
  EXPECT_EQ(client.sendMsg("first", 5), 5);
  EXPECT_EQ(client.sendMsg("second line", 6), 6);
  EXPECT_EQ(receiver.next(), "first");
  EXPECT_EQ(receiver.next(), "second");
}

// Without an address a socket sends to ZELOR_UDP_DESTINATION, else to
// loopback; the receiver listens on 127.0.0.1 only.
TEST(UdpClient, DefaultDestinationIsLoopbackUnlessConfigured) {
  struct Case {
    const char* variable;  // null: unset
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "report"},
      {"", "report"},
      {"127.0.0.1", "report"},
      {"127.0.0.2", "<none>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.variable ? c.variable : "(unset)");
    Receiver receiver;
    if (c.variable) {
      ASSERT_EQ(setenv(UdpClient::kDestinationVariable, c.variable, 1), 0);
    } else {
      unsetenv(UdpClient::kDestinationVariable);
    }
    UdpClient client;
    ASSERT_EQ(client.createSocket("", receiver.port()), 0);
    EXPECT_EQ(client.sendMsg("report", 6), 6);
    EXPECT_EQ(receiver.next(), c.expected);
    unsetenv(UdpClient::kDestinationVariable);
  }
}

TEST(UdpClient, MissingInterfaceFailsQuietly) {
  UdpClient client;
  EXPECT_EQ(client.CreateSocketEthX("eth2", "127.0.0.1", 5000), -1);
  EXPECT_EQ(client.CreateSocketEthX("WiFi", "127.0.0.1", 5000), -1);
  EXPECT_EQ(client.sendMsg("eth2", "x", 1), -1);
  EXPECT_EQ(client.sendMsg("WiFi", "x", 1), -1);
}

TEST(UdpClient, BadArgumentsAndReleasedSocketsSendNothing) {
  Receiver receiver;
  UdpClient client;
  EXPECT_EQ(client.sendMsg("x", 1), -1);  // no socket yet
  EXPECT_EQ(client.createSocket("not an address", receiver.port()), -1);
  EXPECT_EQ(client.createSocket("127.0.0.1", 0), -1);
  EXPECT_EQ(client.createSocket("127.0.0.1", 70000), -1);
  ASSERT_EQ(client.createSocket("127.0.0.1", receiver.port()), 0);
  EXPECT_EQ(client.sendMsg(nullptr, 3), -1);
  EXPECT_EQ(client.sendMsg("x", -1), -1);
  client.release();
  EXPECT_EQ(client.sendMsg("x", 1), -1);
  EXPECT_EQ(receiver.next(), "<none>");
}

}  // namespace
