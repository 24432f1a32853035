// The local stream server hands whole request frames to its handler, however
// the bytes arrive, serves several clients, and stops on request.
#include "common/network/local_socket.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

using zelor::common::network::LocalSocket;

namespace {

std::string uniqueName() { return "zelor.test.local." + std::to_string(getpid()) + "." + std::to_string(rand()); }

// Echoes every request back with its length in front (one byte).
void echo(void* context, int fd, const std::uint8_t* request, std::size_t length) {
  static_cast<std::vector<std::string>*>(context)->emplace_back(reinterpret_cast<const char*>(request), length);
  const std::uint8_t n = static_cast<std::uint8_t>(length);
  LocalSocket::sendAll(fd, &n, 1);
  LocalSocket::sendAll(fd, request, length);
}

std::string receive(int fd, std::size_t n, int timeoutMs = 2000) {
  std::string got;
  while (got.size() < n) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) break;
    char buf[256];
    const ssize_t k = recv(fd, buf, std::min(sizeof buf, n - got.size()), 0);
    if (k <= 0) break;
    got.append(buf, static_cast<std::size_t>(k));
  }
  return got;
}

class LocalSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(server_.startServer(), 0);
    thread_ = std::thread([this] { server_.runListener(&seen_, echo); });
  }
  void TearDown() override {
    server_.stop();
    thread_.join();
  }
  std::string name_ = uniqueName();
  LocalSocket server_{name_};
  std::vector<std::string> seen_;
  std::thread thread_;
};

}  // namespace

TEST_F(LocalSocketTest, FramesSplitOrJoinedReachTheHandlerWhole) {
  const int fd = LocalSocket::connectTo(name_);
  ASSERT_GE(fd, 0);
  // One frame in three pieces, then two frames in one send.
  const std::uint8_t split[] = {0x00, 0x05, 'h', 'e', 'l', 'l', 'o'};
  ASSERT_TRUE(LocalSocket::sendAll(fd, split, 1));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(LocalSocket::sendAll(fd, split + 1, 3));
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ASSERT_TRUE(LocalSocket::sendAll(fd, split + 4, 3));
  EXPECT_EQ(receive(fd, 6), std::string("\x05hello"));
  const std::uint8_t joined[] = {0x00, 0x01, 'a', 0x00, 0x00, 0x00, 0x02, 'b', 'c'};
  ASSERT_TRUE(LocalSocket::sendAll(fd, joined, sizeof joined));
  EXPECT_EQ(receive(fd, 2 + 1 + 3), std::string("\x01" "a" "\x00" "\x02" "bc", 6));
  close(fd);
}

TEST_F(LocalSocketTest, SeveralClientsAreServedAndAGoneClientDisturbsNoOther) {
  const int a = LocalSocket::connectTo(name_);
  const int b = LocalSocket::connectTo(name_);
  ASSERT_GE(a, 0);
  ASSERT_GE(b, 0);
  const std::uint8_t partial[] = {0x00, 0x09, 'x'};  // never completed
  ASSERT_TRUE(LocalSocket::sendAll(a, partial, sizeof partial));
  ASSERT_TRUE(LocalSocket::sendFrame(b, "one", 3));
  EXPECT_EQ(receive(b, 4), "\x03one");
  close(a);
  ASSERT_TRUE(LocalSocket::sendFrame(b, "two", 3));
  EXPECT_EQ(receive(b, 4), "\x03two");
  close(b);
}

TEST(LocalSocket, ConnectingToNoServerFailsAndAnUnstartedListenerReturns) {
  EXPECT_EQ(LocalSocket::connectTo(uniqueName()), -1);
  LocalSocket idle(uniqueName());
  idle.runListener(nullptr, echo);  // returns at once
  SUCCEED();
}
