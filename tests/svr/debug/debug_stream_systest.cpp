// The debug stream in-process: lines handed to debug() reach every TCP client
// of port 11000 through the fixed queue 1234.
#include <poll.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "stdout_capture.h"
#include "subProcess/debug/debug_sub_process.h"
#include "support/http_client.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using zelor::test::connectLoopback;

constexpr int kPort = 11000;
constexpr auto kDeadline = 2s;

bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto until = Clock::now() + timeout;
  while (Clock::now() < until) {
    if (cond()) return true;
    std::this_thread::sleep_for(2ms);
  }
  return cond();
}

// Reads what is there now, without waiting.
void readAvailable(int fd, std::string& got) {
  char buf[65536];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return;
    const ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) return;
    got.append(buf, static_cast<std::size_t>(n));
  }
}

// Reads until got holds text.
bool receive(int fd, std::string& got, const std::string& text, std::chrono::milliseconds timeout = kDeadline) {
  return waitFor([&] {
    readAvailable(fd, got);
    return got.find(text) != std::string::npos;
  }, timeout);
}

// Lets the sandbox's queues grow past the system default, as the
// controller's root (with CAP_SYS_RESOURCE) may.
void allowQueueBytes(int bytes) {
  std::FILE* f = std::fopen("/proc/sys/kernel/msgmnb", "w");
  ASSERT_NE(f, nullptr);
  std::fprintf(f, "%d\n", bytes);
  std::fclose(f);
}

msqid_ds queueInfo() {
  msqid_ds info{};
  msgctl(msgget(DebugSubProcess::kQueueKey, 0), IPC_STAT, &info);
  return info;
}

class DebugStream : public ::testing::Test {
 protected:
  void startStream(int size = 50) {
    stream_ = std::make_unique<DebugSubProcess>(kPort, size);
    EXPECT_EQ(stream_->status(), ISubProcess::kNotRunning);
    stream_->start();
    EXPECT_EQ(stream_->status(), ISubProcess::kRunning);
  }

  // A connected client, once the loop has taken it into its table.
  int connectClient(std::size_t clientsAfter, int receiveBuffer = 0) {
    int fd = -1;
    waitFor([&] { return (fd = connectLoopback(kPort, receiveBuffer)) >= 0; }, kDeadline);
    EXPECT_GE(fd, 0);
    EXPECT_TRUE(waitFor([&] { return stream_->clientBacklog().size() == clientsAfter; }, kDeadline));
    return fd;
  }

  void TearDown() override { stream_.reset(); }

  std::unique_ptr<DebugSubProcess> stream_;
};

TEST_F(DebugStream, EveryClientGetsTheLinesAndALeavingClientHarmsNoOther) {
  zelor::test::StdoutCapture out;
  startStream();
  const int a = connectClient(1);
  std::string gotA;
  std::string gotB;

  ASSERT_EQ(stream_->debug("one\r\n"), 0);
  EXPECT_TRUE(receive(a, gotA, "one\r\n"));

  const std::string longLine = std::string(256, 'L') + std::string(44, 'X');
  ASSERT_EQ(stream_->debug(longLine.c_str()), 0);
  EXPECT_TRUE(receive(a, gotA, std::string(256, 'L')));
  ASSERT_EQ(stream_->debug("end\r\n"), 0);
  EXPECT_TRUE(receive(a, gotA, "end\r\n"));
  EXPECT_EQ(gotA, "one\r\n" + std::string(256, 'L') + "end\r\n");

  const int b = connectClient(2);
  ASSERT_EQ(stream_->debug("two\r\n"), 0);
  EXPECT_TRUE(receive(a, gotA, "two\r\n"));
  EXPECT_TRUE(receive(b, gotB, "two\r\n"));
  EXPECT_EQ(gotB, "two\r\n");

  close(a);
  EXPECT_TRUE(waitFor([&] { return stream_->clientBacklog().size() == 1; }, kDeadline));
  ASSERT_EQ(stream_->debug("three\r\n"), 0);
  EXPECT_TRUE(receive(b, gotB, "three\r\n"));
  EXPECT_EQ(gotB, "two\r\nthree\r\n");
  close(b);
  stream_.reset();

  const std::string printed = out.finish();
  EXPECT_NE(printed.find("Listen port:11000"), std::string::npos) << printed;
  EXPECT_NE(printed.find("New client arrived, current count:1."), std::string::npos) << printed;
  EXPECT_NE(printed.find("New client arrived, current count:2."), std::string::npos) << printed;
  EXPECT_NE(printed.find("Connection closed."), std::string::npos) << printed;
}

TEST_F(DebugStream, LinesLeaveTheQueueWithNoClient) {
  startStream();
  EXPECT_EQ(queueInfo().msg_qbytes, 50u * 256u);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(stream_->debug("unheard\r\n"), 0);
  EXPECT_TRUE(waitFor([] { return queueInfo().msg_qnum == 0; }, kDeadline)) << queueInfo().msg_qnum;
}

TEST_F(DebugStream, FullQueueDropsTheLineWithoutWaiting) {
  stream_ = std::make_unique<DebugSubProcess>(kPort, 50);
  for (int i = 0; i < 50; ++i) ASSERT_EQ(stream_->debug("kept\r\n"), 0) << i;
  const auto begin = Clock::now();
  errno = 0;
  EXPECT_EQ(stream_->debug("dropped\r\n"), -1);
  EXPECT_EQ(errno, EAGAIN);
  EXPECT_LT(Clock::now() - begin, 1s);
  EXPECT_EQ(queueInfo().msg_qnum, 50u);
  EXPECT_EQ(stream_->debug(nullptr), -1);
}

TEST_F(DebugStream, ManyLinesArriveWholeAndInOrder) {
  allowQueueBytes(500 * 256);
  startStream(500);
  EXPECT_EQ(queueInfo().msg_qbytes, 500u * 256u);
  const int a = connectClient(1);
  std::string expected;
  for (int i = 0; i < 300; ++i) {
    char line[64];
    std::snprintf(line, sizeof line, "line %03d of the stream\r\n", i);
    expected += line;
    ASSERT_EQ(stream_->debug(line), 0) << i;
  }
  std::string got;
  EXPECT_TRUE(receive(a, got, "line 299 of the stream\r\n", 5s));
  EXPECT_EQ(got, expected);
  close(a);
}

TEST_F(DebugStream, FloodingAndStalledClientsStayBounded) {
  allowQueueBytes(500 * 256);
  startStream(500);
  const int flooder = connectClient(1);
  const int stalled = connectClient(2, 4096);
  const int reader = connectClient(3);

  // 50 MB from one client: all taken and thrown away.
  std::thread flood([flooder] {
    const std::string chunk(1 << 16, 'f');
    std::size_t sent = 0;
    while (sent < 50u * 1000 * 1000) {
      const ssize_t n = send(flooder, chunk.data(), chunk.size(), MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
  });

  // 10,000 whole 256-byte lines, more than 2 MiB, while one client never reads.
  constexpr int kLines = 10000;
  std::atomic<std::size_t> readBytes{0};
  std::atomic<bool> reading{true};
  std::thread readerThread([&] {
    char buf[65536];
    while (reading) {
      pollfd p{reader, POLLIN, 20};
      if (poll(&p, 1, 20) > 0) {
        const ssize_t n = recv(reader, buf, sizeof buf, 0);
        if (n <= 0) return;
        readBytes += static_cast<std::size_t>(n);
      }
    }
  });
  std::string line(254, 'x');
  line += "\r\n";
  for (int i = 0; i < kLines; ++i) {
    const auto until = Clock::now() + kDeadline;
    while (stream_->debug(line.c_str()) != 0 && Clock::now() < until) std::this_thread::sleep_for(1ms);
  }
  flood.join();
  EXPECT_TRUE(waitFor([&] { return readBytes.load() == kLines * line.size(); }, 10s)) << readBytes.load();

  const std::size_t bound = DebugSubProcess::kMaxPendingOutput + DebugSubProcess::kLinesPerTick * 256;
  EXPECT_TRUE(waitFor([&] {
    const auto backlog = stream_->clientBacklog();
    return backlog.size() == 3 && std::all_of(backlog.begin(), backlog.end(), [](const auto& c) { return c.input == 0; });
  }, kDeadline));
  std::size_t largest = 0;
  for (const auto& client : stream_->clientBacklog()) largest = std::max(largest, client.output);
  EXPECT_GT(largest, DebugSubProcess::kMaxPendingOutput / 2);
  EXPECT_LE(largest, bound);

  reading = false;
  readerThread.join();
  for (int fd : {flooder, stalled, reader}) close(fd);
}

TEST_F(DebugStream, StopEndsTheLoopAndStartServesAgain) {
  startStream();
  const int a = connectClient(1);
  const auto begin = Clock::now();
  stream_->stop();
  EXPECT_LT(Clock::now() - begin, 3s);
  EXPECT_EQ(stream_->status(), 1);
  EXPECT_TRUE(stream_->clientBacklog().empty());
  const int refused = connectLoopback(kPort);
  EXPECT_LT(refused, 0);
  if (refused >= 0) close(refused);
  close(a);

  stream_->start();
  EXPECT_EQ(stream_->status(), ISubProcess::kRunning);
  const int b = connectClient(1);
  std::string got;
  ASSERT_EQ(stream_->debug("again\r\n"), 0);
  EXPECT_TRUE(receive(b, got, "again\r\n"));
  close(b);
}

}  // namespace
