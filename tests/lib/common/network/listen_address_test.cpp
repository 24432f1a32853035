// One listen address for every server: the environment's
// ZELOR_LISTEN_ADDRESS, read back from the sockets the servers really bind.
#include "common/network/listen_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "bound_sockets.h"
#include "common/network/tcp_server.h"
#include "common/network/tcp_server_tcpip.h"
#include "common/network/udp_service.h"

namespace zelor::common::network {
namespace {

using zelor::test::allOn;
using zelor::test::boundSockets;
using zelor::test::newSockets;

TEST(ListenAddress, ComesFromTheEnvironmentAndRefusesWhatIsNoAddress) {
  struct Case {
    const char* value;  // null: unset
    const char* expected;
  };
  for (const Case& c : {Case{nullptr, "0.0.0.0"}, Case{"", "0.0.0.0"}, Case{"127.0.0.1", "127.0.0.1"},
                        Case{"10.1.2.3", "10.1.2.3"}, Case{"localhost", "127.0.0.1"},
                        Case{"127.0.0.1 ", "127.0.0.1"}, Case{"300.1.1.1", "127.0.0.1"}}) {
    SCOPED_TRACE(c.value ? c.value : "(unset)");
    if (c.value) {
      setenv("ZELOR_LISTEN_ADDRESS", c.value, 1);
    } else {
      unsetenv("ZELOR_LISTEN_ADDRESS");
    }
    EXPECT_EQ(listenAddress(), c.expected);
    in_addr expected{};
    inet_pton(AF_INET, c.expected, &expected);
    EXPECT_EQ(listenAddressIPv4(), expected.s_addr);
  }
  unsetenv("ZELOR_LISTEN_ADDRESS");
}

class ServersListenOnTheSetting : public ::testing::Test {
 protected:
  void SetUp() override { setenv("ZELOR_LISTEN_ADDRESS", "127.0.0.1", 1); }
  void TearDown() override { unsetenv("ZELOR_LISTEN_ADDRESS"); }
};

TEST_F(ServersListenOnTheSetting, OneClientServer) {
  const auto before = boundSockets();
  TCPServer_TCPIP server;
  ASSERT_EQ(server.TCPServerStart(0, ""), 0);
  const auto added = newSockets(before);
  EXPECT_TRUE(allOn(added, "127.0.0.1")) << zelor::test::listed(added);
  server.stop();
}

TEST_F(ServersListenOnTheSetting, BlockingServer) {
  const auto before = boundSockets();
  TCPServer server;
  // The start blocks until a client comes: it is let go by connecting.
  std::thread start([&] { server.TCPServerStart(0, ""); });
  std::set<std::string> added;
  for (int i = 0; i < 200 && added.empty(); ++i) {
    added = newSockets(before);
    if (added.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_TRUE(allOn(added, "127.0.0.1")) << zelor::test::listed(added);
  ASSERT_EQ(added.size(), 1u);
  const std::string bound = *added.begin();
  const int port = std::atoi(bound.substr(bound.find(':') + 1).c_str());
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  EXPECT_EQ(connect(client, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  start.join();
  close(client);
}

TEST_F(ServersListenOnTheSetting, DatagramServer) {
  const auto before = boundSockets();
  udpService service;
  ASSERT_EQ(service.udpStart(0, "127.0.0.1"), 0);
  const auto added = newSockets(before);
  EXPECT_TRUE(allOn(added, "127.0.0.1")) << zelor::test::listed(added);
}

}  // namespace
}  // namespace zelor::common::network
