// A report socket bound to a named interface sends through it; the test runs
// with its own network namespace, where binding to a device is allowed.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "json/udp_client.h"

TEST(UdpClientInterfaces, SocketOnLoopbackInterfaceDelivers) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(5001);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

  UdpClient client;
  ASSERT_EQ(client.CreateSocketEthX("lo", "127.0.0.1", 5001), 0);
  EXPECT_EQ(client.CreateSocketEthX("eth2", "127.0.0.1", 5001), -1);
  EXPECT_EQ(client.sendMsg("lo", "cursor 7", 8), 8);
  EXPECT_EQ(client.sendMsg("eth2", "cursor 7", 8), -1);

  pollfd p{fd, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 2000), 1);
  char buf[64];
  const ssize_t n = recv(fd, buf, sizeof buf, 0);
  EXPECT_EQ(std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0), "cursor 7");
  close(fd);
}
