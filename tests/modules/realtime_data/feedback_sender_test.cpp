// A sender on its own record and validity flag: the whole-record packet, and
// a re-initialisation that is not held up by a record that is never valid.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "realtime_data/realtime_data_sender.h"
#include "wait_for.h"

namespace zelor::modules::realTimeData {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A port free in this test's own network namespace.
std::uint16_t freePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

int connectTo(std::uint16_t port) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
    close(fd);
    std::this_thread::sleep_for(20ms);
  }
  return -1;
}

std::string readBytes(int fd, std::size_t size, std::chrono::milliseconds timeout) {
  std::string got;
  const auto deadline = Clock::now() + timeout;
  while (got.size() < size && Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 20) != 1) continue;
    char buf[4096];
    const ssize_t n = recv(fd, buf, std::min(sizeof buf, size - got.size()), 0);
    if (n <= 0) break;
    got.append(buf, static_cast<std::size_t>(n));
  }
  return got;
}

class Sender : public ::testing::Test {
 protected:
  void SetUp() override {
    auto* b = reinterpret_cast<unsigned char*>(&record_);
    for (std::size_t i = 0; i < sizeof record_; ++i) b[i] = static_cast<unsigned char>(i * 3 + 5);
    sender_.setDataSource(&record_);
    sender_.setValidFlag(&flag_);
  }
  RealTimeData_t record_{};
  std::uint16_t flag_ = 1;
  std::uint16_t port_ = freePort();
  tcpipRealTimeDataSender sender_;
};

TEST_F(Sender, SendsTheWholeRecordWithItsLengthInFront) {
  ASSERT_EQ(sender_.init(port_, 8, 10, 0), 0);
  EXPECT_EQ(sender_.period(), 8);
  const int fd = connectTo(port_);
  ASSERT_GE(fd, 0);
  const std::string two = readBytes(fd, 2 * 1440, 3s);
  ASSERT_EQ(two.size(), 2u * 1440);
  for (int k = 0; k < 2; ++k) {
    const char* p = two.data() + k * 1440;
    EXPECT_EQ(static_cast<unsigned char>(p[0]), 0xA0);
    EXPECT_EQ(static_cast<unsigned char>(p[1]), 0x05);
    EXPECT_EQ(std::memcmp(p + 2, reinterpret_cast<const char*>(&record_) + 2, 1438), 0) << "packet " << k;
  }
  close(fd);
}

TEST_F(Sender, WithoutADataSourceNothingIsFormatted) {
  tcpipRealTimeDataSender bare;
  EXPECT_EQ(bare.formatSendBuffer(), -1);
}

TEST_F(Sender, ReinitialisingIsNotHeldUpByARecordThatIsNeverValid) {
  std::atomic_ref<std::uint16_t>(flag_).store(0);
  ASSERT_EQ(sender_.init(port_, 4, 10, 0), 0);
  const int fd = connectTo(port_);
  ASSERT_GE(fd, 0);
  // The timer task now waits for the flag.
  ASSERT_TRUE(test::waitFor([&] { return sender_.validityWaits() >= 1; }, 3s));
  const auto start = Clock::now();
  ASSERT_EQ(sender_.init(port_, 8, 10, 0), 0);
  EXPECT_LT(Clock::now() - start, 1s) << "the stop waited for the flag";
  EXPECT_TRUE(readBytes(fd, 1, 100ms).empty()) << "sent while the record was not valid";
  EXPECT_GE(sender_.validityWaits(), 1u);

  std::atomic_ref<std::uint16_t>(flag_).store(1);
  const std::string packet = readBytes(fd, 1440, 3s);
  ASSERT_EQ(packet.size(), 1440u) << "sending did not resume";
  EXPECT_EQ(static_cast<unsigned char>(packet[0]), 0xA0);
  close(fd);
}

}  // namespace
}  // namespace zelor::modules::realTimeData
