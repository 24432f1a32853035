// The broadcast server: whole packets to every client, and a client that
// stops reading or goes away is dropped without harming the others.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "realtime_data/tcp_dispenser.h"
#include "wait_for.h"

namespace zelor::modules::realTimeData {
namespace {

using namespace std::chrono_literals;
using test::waitFor;

int connectTo(std::uint16_t port, int receiveBuffer = 0) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (receiveBuffer > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

// Packet n: every byte is (n + i) mod 256, so a lost or misplaced byte shows.
std::vector<char> packet(std::uint32_t n, std::size_t size) {
  std::vector<char> p(size);
  for (std::size_t i = 0; i < size; ++i) p[i] = static_cast<char>((n + i) & 0xFF);
  return p;
}

// Reads everything the socket gets until stopped.
class Reader {
 public:
  explicit Reader(int fd) : fd_(fd), thread_([this] {
    char buf[65536];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) != 1) continue;
      const ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) break;
      got_.insert(got_.end(), buf, buf + n);
      received_ += static_cast<std::size_t>(n);
    }
  }) {}
  ~Reader() { finish(); }
  void finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::size_t received() const { return received_.load(); }
  const std::vector<char>& bytes() const { return got_; }

 private:
  int fd_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> received_{0};
  std::vector<char> got_;
  std::thread thread_;
};

class Dispenser : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(d_.init(0, 10, true), 0); }
  int accepted(int receiveBuffer = 0) {
    const int before = d_.clientCount();
    const int fd = connectTo(d_.port(), receiveBuffer);
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(waitFor([&] { return d_.clientCount() == before + 1; }, 3s)) << "client not accepted";
    return fd;
  }
  tcpDispenser d_;
};

TEST_F(Dispenser, WithoutClientsASendReportsMinusOne) {
  const std::vector<char> p = packet(0, 1440);
  EXPECT_EQ(d_.sendMsg(p.data(), 1440), -1);
}

TEST_F(Dispenser, StalledClientIsDroppedAtOnceAndTheOtherGetsEveryByteInOrder) {
  const int stalled = accepted(4096);  // never read
  const int reading = accepted();
  Reader reader(reading);
  constexpr std::size_t kSize = 1440;
  std::uint32_t sent = 0;
  // Its buffers fill after some dozens of packets; the first packet that does
  // not fit whole drops it.
  while (sent < 2000 && d_.clientCount() == 2) {
    const std::vector<char> p = packet(sent, kSize);
    EXPECT_EQ(d_.sendMsg(p.data(), static_cast<unsigned short>(kSize)), static_cast<int>(kSize));
    ++sent;
  }
  ASSERT_EQ(d_.clientCount(), 1) << "the stalled client was never dropped";
  for (int i = 0; i < 3; ++i, ++sent) {
    const std::vector<char> p = packet(sent, kSize);
    EXPECT_EQ(d_.sendMsg(p.data(), static_cast<unsigned short>(kSize)), static_cast<int>(kSize));
  }
  ASSERT_TRUE(waitFor([&] { return reader.received() == sent * kSize; }, 5s))
      << "reader got " << reader.received() << " of " << sent * kSize;
  reader.finish();
  for (std::uint32_t n = 0; n < sent; ++n) {
    const std::vector<char> expected = packet(n, kSize);
    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), reader.bytes().begin() + static_cast<long>(n * kSize)))
        << "packet " << n << " damaged";
  }
  close(stalled);
  close(reading);
}

TEST_F(Dispenser, AClientThatPausesForEightPacketsKeepsItsPlaceAndGetsThemWhole) {
  const int pausing = accepted(1);  // the smallest receive buffer the system allows
  constexpr std::size_t kSize = 1440;
  for (std::uint32_t n = 0; n < 8; ++n) {
    const std::vector<char> p = packet(n, kSize);
    d_.sendMsg(p.data(), static_cast<unsigned short>(kSize));
  }
  EXPECT_EQ(d_.clientCount(), 1) << "dropped while its send buffer had room";
  Reader reader(pausing);
  ASSERT_TRUE(waitFor([&] { return reader.received() == 8 * kSize; }, 5s)) << reader.received();
  reader.finish();
  for (std::uint32_t n = 0; n < 8; ++n) {
    const std::vector<char> expected = packet(n, kSize);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), reader.bytes().begin() + static_cast<long>(n * kSize)));
  }
  close(pausing);
}

TEST_F(Dispenser, ClosedClientIsDroppedAndTheOthersKeepReceiving) {
  const int leaving = accepted();
  const int staying = accepted();
  Reader reader(staying);
  close(leaving);
  const std::vector<char> p = packet(1, 1440);
  std::size_t sent = 0;
  ASSERT_TRUE(waitFor([&] {
    d_.sendMsg(p.data(), 1440);
    sent += 1440;
    return d_.clientCount() == 1;
  }, 3s));
  EXPECT_TRUE(waitFor([&] { return reader.received() == sent; }, 3s)) << reader.received() << " of " << sent;
  close(staying);
}

TEST_F(Dispenser, AnEleventhClientWaitsUntilASlotFrees) {
  std::vector<int> fds;
  for (int i = 0; i < 10; ++i) fds.push_back(accepted());
  const int eleventh = connectTo(d_.port());
  ASSERT_GE(eleventh, 0) << "held in the backlog, not refused";
  EXPECT_TRUE(test::staysFalse([&] { return d_.clientCount() != 10; }, 150ms)) << "an 11th client was accepted";
  const std::vector<char> p = packet(2, 1440);
  d_.sendMsg(p.data(), 1440);
  pollfd pf{eleventh, POLLIN, 0};
  EXPECT_EQ(poll(&pf, 1, 100), 0) << "the 11th client got data";

  close(fds.front());
  ASSERT_TRUE(waitFor([&] {
    d_.sendMsg(p.data(), 1440);
    pf.revents = 0;
    return poll(&pf, 1, 0) == 1;
  }, 3s)) << "the 11th client never got a slot";
  char buf[1440];
  std::size_t got = 0;
  while (got < sizeof buf) {
    const ssize_t n = recv(eleventh, buf + got, sizeof buf - got, 0);
    ASSERT_GT(n, 0);
    got += static_cast<std::size_t>(n);
  }
  EXPECT_TRUE(std::equal(p.begin(), p.end(), buf)) << "the first packet is whole";
  for (std::size_t i = 1; i < fds.size(); ++i) close(fds[i]);
  close(eleventh);
}

TEST(DispenserLifetime, DestroyingWhileTheAcceptThreadWaitsEndsItAndClosesClients) {
  int client = -1;
  {
    tcpDispenser d;
    ASSERT_EQ(d.init(0, 2, true), 0);
    client = connectTo(d.port());
    ASSERT_TRUE(waitFor([&] { return d.clientCount() == 1; }, 3s));
  }
  // The client sees its connection closed.
  pollfd pf{client, POLLIN, 0};
  ASSERT_EQ(poll(&pf, 1, 2000), 1);
  char byte;
  EXPECT_EQ(recv(client, &byte, 1, 0), 0);
  close(client);
}

TEST(DispenserLifetime, BindFailureReportsMinusTwo) {
  tcpDispenser first;
  ASSERT_EQ(first.init(0, 1, true), 0);
  // A port someone listens on cannot be bound again.
  tcpDispenser second;
  EXPECT_EQ(second.init(first.port(), 1, true), -2);
}

}  // namespace
}  // namespace zelor::modules::realTimeData
