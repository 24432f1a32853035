// One client that never reads beside nine that do: the nine get every packet
// on time, the stalled one is dropped. Packets are stamped when formatted, so
// gaps are judged on the packets' own time stamps.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/real_time_data.h"
#include "realtime_data/tcp_dispenser.h"
#include "realtime_data/timer.h"
#include "wait_for.h"

namespace zelor::modules::realTimeData {
namespace {

using namespace std::chrono_literals;
using test::waitFor;

constexpr int kPeriodMs = 8;
constexpr std::uint64_t kPeriodNs = kPeriodMs * 1'000'000u;
constexpr std::size_t kSize = sizeof(RealTimeData_t);

std::uint64_t monotonicNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::uint64_t>(t.tv_sec) * 1'000'000'000u + static_cast<std::uint64_t>(t.tv_nsec);
}

// Times the calling thread gave up the processor of its own accord.
long voluntarySwitches() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

int connectTo(std::uint16_t port, int receiveBuffer) {
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

// Reads everything its socket gets until finished.
class Reader {
 public:
  explicit Reader(int fd) : fd_(fd), thread_([this] {
    char buf[65536];
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) != 1) continue;
      const ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) break;
      bytes_.insert(bytes_.end(), buf, buf + n);
      received_ += static_cast<std::size_t>(n);
    }
  }) {}
  ~Reader() {
    finish();
    close(fd_);
  }
  void finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  std::size_t received() const { return received_.load(); }
  struct Packet {
    std::uint64_t sequence, stamp;
  };
  // Every whole packet received; only after finish.
  std::vector<Packet> packets() const {
    std::vector<Packet> out;
    for (std::size_t at = 0; at + kSize <= bytes_.size(); at += kSize) {
      RealTimeData_t r;
      std::memcpy(&r, bytes_.data() + at, kSize);
      out.push_back({r.TestValue, r.TimeStamp});
    }
    return out;
  }

 private:
  int fd_;
  std::atomic<bool> stop_{false};
  std::atomic<std::size_t> received_{0};
  std::vector<char> bytes_;
  std::thread thread_;
};

TEST(SlowFeedbackClient, NineReadersGetEveryPacketOnTimeAndTheStalledOneIsDropped) {
  tcpDispenser dispenser;
  ASSERT_EQ(dispenser.init(0, 10, true), 0);
  const int stalled = connectTo(dispenser.port(), 4096);
  ASSERT_GE(stalled, 0);
  std::vector<std::unique_ptr<Reader>> readers;
  for (int i = 0; i < 9; ++i) {
    const int fd = connectTo(dispenser.port(), 0);
    ASSERT_GE(fd, 0);
    readers.push_back(std::make_unique<Reader>(fd));
  }
  ASSERT_TRUE(waitFor([&] { return dispenser.clientCount() == 10; }, 5s));

  // Each packet carries its sequence number and the time it was made. How
  // often a broadcast let the thread sleep is counted: a blocking send is a
  // voluntary context switch, preemption on a busy machine is not.
  std::atomic<std::uint64_t> sent{0};
  std::atomic<long> broadcastWaits{0};
  RealTimeData_t record{};
  Timer timer;
  timer.start(kPeriodMs, [&] {
    record.MessageSize = static_cast<std::uint16_t>(kSize);
    record.TestValue = sent.load();
    record.TimeStamp = monotonicNs();
    char packet[kSize];
    std::memcpy(packet, &record, kSize);
    const long switchesBefore = voluntarySwitches();
    if (dispenser.sendMsg(packet, static_cast<unsigned short>(kSize)) == static_cast<int>(kSize)) ++sent;
    broadcastWaits += voluntarySwitches() - switchesBefore;
  });
  const bool dropped = waitFor([&] { return dispenser.clientCount() == 9; }, 10s);
  // Well past the drop, so the nine are seen to keep their pace after it.
  const std::uint64_t atDrop = sent.load();
  waitFor([&] { return sent.load() >= atDrop + 100; }, 10s);
  timer.stop();
  ASSERT_TRUE(dropped) << "the client that never reads was not dropped";
  EXPECT_EQ(dispenser.clientCount(), 9) << "a reading client was dropped";

  const std::uint64_t total = sent.load();
  ASSERT_GE(total, atDrop + 100);
  for (std::size_t i = 0; i < readers.size(); ++i) {
    Reader& reader = *readers[i];
    ASSERT_TRUE(waitFor([&] { return reader.received() == total * kSize; }, 5s))
        << "reader " << i << " got " << reader.received() << " bytes of " << total * kSize;
    reader.finish();
    const auto packets = reader.packets();
    ASSERT_EQ(packets.size(), total);
    std::vector<std::uint64_t> gaps;
    for (std::size_t n = 0; n < packets.size(); ++n) {
      ASSERT_EQ(packets[n].sequence, n) << "reader " << i << ": packet out of order or missing";
      if (n > 0) gaps.push_back(packets[n].stamp - packets[n - 1].stamp);
    }
    std::sort(gaps.begin(), gaps.end());
    // The period holds. Single late wake-ups of the timer thread on a busy
    // machine are its scheduler's, so the bound is on the usual gap.
    EXPECT_LT(gaps[gaps.size() / 2], kPeriodNs * 3 / 2)
        << "reader " << i << ": widest gap " << gaps.back() / 1000 << " us";
  }
  EXPECT_EQ(broadcastWaits.load(), 0) << "a broadcast waited";
  close(stalled);
}

struct DeadlineCase {
  std::int64_t previous, period, now, next;
};

class TimerDeadline : public ::testing::TestWithParam<DeadlineCase> {};

TEST_P(TimerDeadline, FollowsFixedStepsAndSkipsThosePast) {
  const DeadlineCase c = GetParam();
  EXPECT_EQ(Timer::nextDeadline(c.previous, c.period, c.now), c.next);
}

INSTANTIATE_TEST_SUITE_P(Cases, TimerDeadline,
                         ::testing::Values(
                             // The task took part of the period: the next deadline is not moved by it.
                             DeadlineCase{1000, 8, 1003, 1008},
                             // Woken exactly on time.
                             DeadlineCase{1000, 8, 1000, 1008},
                             // Reached exactly at the deadline: it is still due.
                             DeadlineCase{1000, 8, 1008, 1008},
                             // An overrun of one and a half periods: the one past is skipped.
                             DeadlineCase{1000, 8, 1012, 1016},
                             // Many periods late: the first deadline still ahead.
                             DeadlineCase{1000, 8, 1081, 1088}));

TEST(TimerPeriod, KeepsItsPeriodOnAverageWhateverTheTaskTakes) {
  // A task of 3 ms at a 8 ms period: a sleep after the task would make 11 ms.
  std::vector<std::uint64_t> stamps;
  std::atomic<std::size_t> runs{0};
  stamps.reserve(64);
  Timer timer;
  timer.start(kPeriodMs, [&] {
    if (runs.load() < 40) {
      stamps.push_back(monotonicNs());
      ++runs;
    }
    std::this_thread::sleep_for(3ms);
  });
  ASSERT_TRUE(waitFor([&] { return runs.load() >= 40; }, 10s));
  timer.stop();
  // A sleep after the task makes every interval at least 11 ms. Fixed
  // deadlines give 8 ms, and a late wake-up on a busy machine is followed by
  // a shorter interval back onto the grid.
  std::vector<std::uint64_t> intervals;
  for (std::size_t n = 1; n < stamps.size(); ++n) intervals.push_back(stamps[n] - stamps[n - 1]);
  std::sort(intervals.begin(), intervals.end());
  EXPECT_LT(intervals.front(), 10'000'000u) << "the task's time stretches the period";
  EXPECT_LT(intervals[intervals.size() / 2], 11'000'000u) << "the task's time stretches the period";
  // The grid is never run ahead of: n intervals span at least n - 1 periods.
  EXPECT_GE(stamps.back() - stamps.front(), (stamps.size() - 2) * kPeriodNs);
}

}  // namespace
}  // namespace zelor::modules::realTimeData
