// The kernel's log lines leave the cycle through a lock-free ring: the cycle
// never waits for the reader, a reader that falls behind loses the oldest
// lines (and counts them), and every line it reads is whole.
#include "subProcess/core/kernel_log_ring.h"

#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "common/kernel/core_interface.h"
#include "stdout_capture.h"
#include "subProcess/core/core_callbacks.h"
#include "subProcess/core/kernel_log_drain.h"

namespace {

long voluntarySwitches() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  return usage.ru_nvcsw;
}

// Line n: its number, a filler of a length that varies with n, and a
// checksum of both, so that a line mixed from two writes shows.
std::string numberedLine(std::uint64_t n) {
  const std::string filler(n % 200, static_cast<char>('a' + n % 26));
  unsigned sum = 0;
  for (char c : std::to_string(n) + filler) sum = sum * 31 + static_cast<unsigned char>(c);
  return "line " + std::to_string(n) + " " + filler + " sum " + std::to_string(sum) + "\r\n";
}

// The number of a whole numbered line, or -1.
long long wholeLineNumber(const char* line) {
  unsigned long long n = 0;
  if (std::sscanf(line, "line %llu ", &n) != 1) return -1;
  return numberedLine(n) == line ? static_cast<long long>(n) : -1;
}

void drainAll(KernelLogRing& ring) {
  char line[KernelLogRing::kLineBytes];
  while (ring.pop(line)) {
  }
}

}  // namespace

TEST(KernelLogRing, TheCycleFillsItWithoutWaitingAndTheReaderGetsTheNewestWholeLines) {
  // The ring the kernel's log callback fills, through that callback.
  core_interface table{};
  fillCoreCallbacks(table);
  KernelLogRing& ring = kernelLogRing();
  drainAll(ring);
  const std::uint64_t droppedBefore = ring.dropped();

  constexpr std::uint64_t kOver = 100;
  constexpr std::uint64_t kLines = KernelLogRing::kSlots + kOver;
  std::string lines[kLines];
  for (std::uint64_t n = 0; n < kLines; ++n) lines[n] = numberedLine(n);
  const long before = voluntarySwitches();
  for (std::uint64_t n = 0; n < kLines; ++n) table.log(lines[n].c_str());
  EXPECT_EQ(voluntarySwitches(), before) << "the cycle waited while it logged";

  char line[KernelLogRing::kLineBytes];
  std::uint64_t next = kOver;
  while (ring.pop(line)) {
    ASSERT_LT(next, kLines);
    EXPECT_EQ(wholeLineNumber(line), static_cast<long long>(next)) << line;
    ++next;
  }
  EXPECT_EQ(next, kLines) << "the newest lines are all there";
  EXPECT_EQ(ring.dropped() - droppedBefore, kOver);
  EXPECT_FALSE(ring.pop(line)) << "nothing read twice";
}

TEST(KernelLogRing, LinesLongerThanASlotAreCutAndNullIsIgnored) {
  auto ring = std::make_unique<KernelLogRing>();
  const std::string longLine(1000, 'x');
  ring->push(longLine.c_str());
  ring->push(nullptr);
  ring->push("");
  char line[KernelLogRing::kLineBytes];
  ASSERT_TRUE(ring->pop(line));
  EXPECT_EQ(std::string(line), std::string(KernelLogRing::kLineBytes - 1, 'x'));
  ASSERT_TRUE(ring->pop(line));
  EXPECT_EQ(std::string(line), "");
  EXPECT_FALSE(ring->pop(line));
  EXPECT_EQ(ring->pushed(), 2u);
  EXPECT_EQ(ring->dropped(), 0u);
}

// A writer and the reader at once: every line read is whole and in order,
// and what was neither read nor counted lost is nothing.
TEST(KernelLogRing, AReaderBesideAWriterReadsOnlyWholeLines) {
  auto ring = std::make_unique<KernelLogRing>();
  constexpr std::uint64_t kLines = 100000;
  std::atomic<bool> written{false};
  std::thread writer([&] {
    for (std::uint64_t n = 0; n < kLines; ++n) ring->push(numberedLine(n).c_str());
    written = true;
  });
  std::uint64_t read = 0;
  long long last = -1;
  bool torn = false;
  char line[KernelLogRing::kLineBytes];
  for (;;) {
    const bool done = written.load();
    while (ring->pop(line)) {
      const long long n = wholeLineNumber(line);
      if (n < 0 || n <= last) {
        torn = true;
        ADD_FAILURE() << "not whole or out of order after " << last << ": " << line;
        break;
      }
      last = n;
      ++read;
    }
    if (torn || done) break;
  }
  writer.join();
  if (!torn) {
    EXPECT_EQ(read + ring->dropped(), kLines);
    EXPECT_EQ(last, static_cast<long long>(kLines - 1));
  }
}

// The drain writes the lines into the data server's log without the
// kernel's line end, and reports the lines the ring lost.
TEST(KernelLogRing, TheDrainWritesTheLinesAndTheLossIntoTheLog) {
  auto ring = std::make_unique<KernelLogRing>();
  KernelLogDrain drain(*ring);
  ring->push("elapsed ERR_ALGS_TIMEOUT\r\n");
  ring->push("elapsed[0] 12\r\n");
  zelor::test::StdoutCapture out;
  drain.drainOnce();
  for (std::size_t i = 0; i < KernelLogRing::kSlots + 3; ++i) ring->push("filler\r\n");
  drain.drainOnce();
  drain.drainOnce();
  const std::string printed = out.finish();
  EXPECT_NE(printed.find("] elapsed ERR_ALGS_TIMEOUT\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("] elapsed[0] 12\n"), std::string::npos) << printed;
  EXPECT_EQ(printed.find('\r'), std::string::npos) << printed;
  EXPECT_NE(printed.find("kernel log: 3 lines lost (3 in all)"), std::string::npos) << printed;
  std::size_t losses = 0;
  for (std::size_t at = printed.find("lines lost"); at != std::string::npos; at = printed.find("lines lost", at + 1)) {
    ++losses;
  }
  EXPECT_EQ(losses, 1u) << "a loss is reported once";
}

// Started, the drain empties the ring by itself; stopped, it is joined.
TEST(KernelLogRing, TheStartedDrainEmptiesTheRingUntilStopped) {
  auto ring = std::make_unique<KernelLogRing>();
  KernelLogDrain drain(*ring);
  zelor::test::StdoutCapture out;
  drain.start();
  ring->push("first\r\n");
  drain.stop();
  ring->push("after stop\r\n");
  const std::string printed = out.finish();
  EXPECT_NE(printed.find("] first\n"), std::string::npos) << printed;
  EXPECT_EQ(printed.find("after stop"), std::string::npos) << printed;
  char line[KernelLogRing::kLineBytes];
  EXPECT_TRUE(ring->pop(line));
  EXPECT_STREQ(line, "after stop\r\n");
}
