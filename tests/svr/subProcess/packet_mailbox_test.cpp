#include "subProcess/core/packet_mailbox.h"

#include <sched.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "stdout_capture.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

Packet request(std::uint16_t id, std::uint16_t length = 2) {
  Packet p{};
  p.header[0] = p.header[1] = 0xAA;
  p.length = length;
  p.cmdId = id;
  return p;
}

// A kernel that answers the pending request in its next cycles with the
// replies the test gives it.
class FakeKernel {
 public:
  explicit FakeKernel(PacketMailbox& box) : box_(box) {}
  ~FakeKernel() { stopCycling(); }

  // Every cycle: fetch the pending request and answer it with reply(), which
  // may post several replies.
  template <typename Reply>
  void cycle(Reply reply) {
    thread_ = std::thread([this, reply] {
      while (!stop_) {
        Packet in{};
        if (box_.fetch(&in)) reply(box_, in);
        std::this_thread::sleep_for(4ms);
      }
    });
  }
  void stopCycling() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  PacketMailbox& box_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

int exchange(PacketMailbox& box, const Packet& p, Packet& reply, int& replyLen) {
  Packet src = p;
  return box.exchange(p.cmdId, reinterpret_cast<char*>(&src), p.length + 5, reinterpret_cast<char*>(&reply),
                      &replyLen);
}

}  // namespace

TEST(PacketMailbox, KernelReplyComesBackWithHeaderAndLength) {
  PacketMailbox box;
  box.setRunning(true);
  FakeKernel kernel(box);
  kernel.cycle([](PacketMailbox& b, const Packet& in) {
    Packet out = in;
    out.header[0] = out.header[1] = 0;  // the mailbox puts the header back
    out.length = 4;
    out.params[0] = 0x11;
    out.params[1] = 0x22;
    b.answer(&out);
  });
  Packet reply{};
  int len = 0;
  ASSERT_EQ(exchange(box, request(80), reply, len), 1);
  EXPECT_EQ(reply.header[0], 0xAA);
  EXPECT_EQ(reply.header[1], 0xAA);
  EXPECT_EQ(reply.cmdId, 80);
  EXPECT_EQ(reply.params[1], 0x22);
  EXPECT_EQ(len, 4 + 6);
}

TEST(PacketMailbox, UnansweredRequestFailsAfterTwoSecondsAndTheNextExchangeWorks) {
  PacketMailbox box;
  box.setRunning(true);
  Packet reply{};
  int len = 0;
  zelor::test::StdoutCapture out;
  const auto begin = Clock::now();
  const int result = exchange(box, request(31), reply, len);
  const auto waited = Clock::now() - begin;
  const std::string printed = out.finish();
  EXPECT_EQ(result, 0);
  EXPECT_GE(waited, 1700ms);
  EXPECT_LE(waited, 2300ms);
  EXPECT_NE(printed.find("Package timeout..."), std::string::npos) << printed;
  EXPECT_NE(printed.find("[END] id: 31, recv_flag is true !!! reset ."), std::string::npos) << printed;
  Packet in{};
  EXPECT_EQ(box.fetch(&in), 0) << "the unanswered request stays pending";

  FakeKernel kernel(box);
  kernel.cycle([](PacketMailbox& b, const Packet& in) { b.answer(&in); });
  EXPECT_EQ(exchange(box, request(32), reply, len), 1);
  EXPECT_EQ(reply.cmdId, 32);
}

TEST(PacketMailbox, SecondReplyOfACycleIsDroppedAndLateRepliesNeverReachTheNextRequester) {
  PacketMailbox box;
  box.setRunning(true);
  std::atomic<int> answered{0};
  FakeKernel kernel(box);
  kernel.cycle([&](PacketMailbox& b, const Packet& in) {
    Packet first = in;
    first.length = 3;  // one parameter byte
    first.params[0] = 1;
    Packet second = first;
    second.params[0] = 2;
    b.answer(&first);
    b.answer(&second);
    ++answered;
  });
  Packet reply{};
  int len = 0;
  ASSERT_EQ(exchange(box, request(84), reply, len), 1);
  EXPECT_EQ(reply.params[0], 1);
  kernel.stopCycling();

  // A reply that arrives after its requester gave up (here: posted while no
  // exchange waits) is not the next requester's.
  Packet late = request(84);
  late.length = 3;
  late.params[0] = 7;
  box.answer(&late);
  FakeKernel next(box);
  next.cycle([](PacketMailbox& b, const Packet& in) {
    Packet out = in;
    out.length = 3;
    out.params[0] = 9;
    b.answer(&out);
  });
  zelor::test::StdoutCapture out;
  ASSERT_EQ(exchange(box, request(84), reply, len), 1);
  const std::string printed = out.finish();
  EXPECT_EQ(reply.params[0], 9);
  EXPECT_NE(printed.find("send_flag is true !!! reset ."), std::string::npos) << printed;
}

TEST(PacketMailbox, ReplyOfAnotherCommandIsDiscardedAndTheWaitGoesOn) {
  PacketMailbox box;
  box.setRunning(true);
  FakeKernel kernel(box);
  std::atomic<int> cycles{0};
  kernel.cycle([&](PacketMailbox& b, const Packet& in) {
    if (cycles++ == 0) {
      Packet other = request(246);
      b.answer(&other);  // clears the pending request: the kernel took it
      // The request itself is answered a little later by an "old" cycle.
      std::this_thread::sleep_for(20ms);
      Packet own = in;
      b.answer(&own);
    }
  });
  Packet reply{};
  int len = 0;
  zelor::test::StdoutCapture out;
  const int result = exchange(box, request(84), reply, len);
  out.finish();
  ASSERT_EQ(result, 1);
  EXPECT_EQ(reply.cmdId, 84);
}

TEST(PacketMailbox, RefusesRequestsOfImpossibleSizeAndNeverWritesPastAPacket) {
  PacketMailbox box;
  box.setRunning(true);
  char buf[3000] = {};
  char dst[3000];
  int len = 0;
  for (int bad : {-1, 0, 6, 2057, 2900}) {
    zelor::test::StdoutCapture out;
    EXPECT_EQ(box.exchange(10, buf, bad, dst, &len), 0) << bad;
    EXPECT_NE(out.finish().find("ERROR"), std::string::npos) << bad;
    Packet in{};
    EXPECT_EQ(box.fetch(&in), 0) << "nothing posted for " << bad;
  }

  // A reply whose length field claims more than a packet holds.
  FakeKernel kernel(box);
  kernel.cycle([](PacketMailbox& b, const Packet& in) {
    Packet out = in;
    out.length = 0xFFFF;
    b.answer(&out);
  });
  std::memset(dst, 0x5A, sizeof dst);
  Packet p = request(10, 0);
  ASSERT_EQ(box.exchange(10, reinterpret_cast<char*>(&p), 7, dst, &len), 1);
  EXPECT_EQ(static_cast<unsigned char>(dst[sizeof(Packet) - 1]), 0);
  EXPECT_EQ(dst[sizeof(Packet)], 0x5A) << "copied past the packet";
}

TEST(PacketMailbox, StopEndsAWaitingExchange) {
  PacketMailbox box;
  box.setRunning(true);
  std::thread stopper([&] {
    std::this_thread::sleep_for(200ms);
    box.setRunning(false);
    box.wake();
  });
  Packet reply{};
  int len = 0;
  zelor::test::StdoutCapture out;
  const auto begin = Clock::now();
  EXPECT_EQ(exchange(box, request(10), reply, len), 0);
  const auto waited = Clock::now() - begin;
  stopper.join();
  EXPECT_NE(out.finish().find("Stop by external..."), std::string::npos);
  EXPECT_LT(waited, 1s);
}

// Back-to-back exchanges with a kernel that answers as soon as it sees a
// request: the answer to one request must never clear the next one's flag.
TEST(PacketMailbox, BackToBackExchangesAreAllAnswered) {
  PacketMailbox box;
  box.setRunning(true);
  std::atomic<bool> stop{false};
  // Both on one CPU, so that the woken requester often runs before the kernel
  // side has finished its answer.
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(0, &one);
  cpu_set_t saved;
  sched_getaffinity(0, sizeof saved, &saved);
  sched_setaffinity(0, sizeof one, &one);
  std::thread kernel([&] {
    while (!stop) {
      Packet in{};
      if (box.fetch(&in)) box.answer(&in);
      std::this_thread::sleep_for(50us);
    }
  });
  int failed = 0;
  zelor::test::StdoutCapture out;
  for (int i = 0; i < 2000 && failed == 0; ++i) {
    Packet reply{};
    int len = 0;
    if (exchange(box, request(999), reply, len) != 1) ++failed;
  }
  const std::string printed = out.finish();
  stop = true;
  kernel.join();
  sched_setaffinity(0, sizeof saved, &saved);
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(printed.find("recv_flag is true"), std::string::npos) << "a request stayed pending after its reply";
}

TEST(PacketMailbox, ARequesterMayWaitLessThanTwoSeconds) {
  PacketMailbox box;
  box.setRunning(true);
  Packet reply{};
  int len = 0;
  struct Case {
    int timeoutUs;
    std::chrono::milliseconds atLeast;
    std::chrono::milliseconds below;
  };
  // Limits outside 1..2 s mean the 2 s.
  const Case cases[] = {{100'000, 90ms, 1000ms}, {0, 1700ms, 2600ms}, {5'000'000, 1700ms, 2600ms}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.timeoutUs);
    Packet src = request(33);
    zelor::test::StdoutCapture out;
    const auto begin = Clock::now();
    const int result = box.exchange(33, reinterpret_cast<char*>(&src), 7, reinterpret_cast<char*>(&reply), &len,
                                    c.timeoutUs);
    const auto waited = Clock::now() - begin;
    out.finish();
    EXPECT_EQ(result, 0);
    EXPECT_GE(waited, c.atLeast);
    EXPECT_LT(waited, c.below);
  }
  FakeKernel kernel(box);
  kernel.cycle([](PacketMailbox& b, const Packet& in) { b.answer(&in); });
  Packet src = request(34);
  EXPECT_EQ(box.exchange(34, reinterpret_cast<char*>(&src), 7, reinterpret_cast<char*>(&reply), &len, 250'000), 1);
  EXPECT_EQ(reply.cmdId, 34);
}
