// Channel log: selectors, patterns, cutting, dropping and concurrency, read
// back from the channel queues as the outside reader sees them.
#include <sys/ipc.h>
#include <sys/msg.h>

#include <atomic>
#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "install_paths.h"
#include "log/ombrel.h"
#include "log_reader/log_queue_reader.h"

using spdlog::ombrel;
using zelor::sim::drainLogChannel;

namespace {

void drainAll() {
  for (int ch = 0; ch < spdlog::kLogChannelCount; ++ch) drainLogChannel(ch);
}

class ChannelLog : public ::testing::Test {
 protected:
  void SetUp() override {
    ombrel::Instance();
    drainAll();
  }
};

std::vector<std::string> one(const std::string& s) { return {s}; }
const std::vector<std::string> kNothing;

}  // namespace

TEST_F(ChannelLog, CreatesSixteenQueuesWithTenKilobyteLimit) {
  for (int ch = 0; ch < spdlog::kLogChannelCount; ++ch) {
    const int q = msgget(ftok(zelor::paths::kLogKeyPath, ch), 0);
    ASSERT_GE(q, 0) << "channel " << ch;
    EXPECT_EQ(q, ombrel::Instance().sinks[ch]->queueId());
    msqid_ds attrs{};
    ASSERT_EQ(msgctl(q, IPC_STAT, &attrs), 0);
    EXPECT_EQ(attrs.msg_qbytes, spdlog::kLogQueueBytes) << "channel " << ch;
    EXPECT_EQ(ombrel::Instance().loggers[ch]->name(), std::to_string(ch));
  }
}

TEST_F(ChannelLog, SelectorChoosesChannelsAndPrefix) {
  // Channels 1 and 13 use the bare "%v" pattern, so the text is exactly what basicLog built.
  ombrel::basicLog(0x2002, 7, "f", spdlog::level::info, "mask {}", 1);
  EXPECT_EQ(drainLogChannel(1), one("[f#7]mask 1\n"));
  EXPECT_EQ(drainLogChannel(13), one("[f#7]mask 1\n"));

  ombrel::basicLog(~13, 8, "g", spdlog::level::err, "single {}", "x");
  EXPECT_EQ(drainLogChannel(13), one("[g#8] single x\n"));

  // Bits above 15 are ignored; bit 16 alone selects nothing.
  ombrel::basicLog(0x10000 | 0x2, 9, "h", spdlog::level::info, "high");
  EXPECT_EQ(drainLogChannel(1), one("[h#9]high\n"));

  for (int sel : {0, -17, -1000}) {
    ombrel::basicLog(sel, 1, "f", spdlog::level::info, "never");
  }
  ombrel::basicLog(0xFFFF, 1, "f", 6, "level six");
  ombrel::basicLog(0xFFFF, 1, "f", -1, "negative level");
  ombrel::basicLog(0xFFFF, 1, "f", spdlog::level::debug, "debug dropped");
  ombrel::basicLog(0xFFFF, 1, "f", spdlog::level::trace, "trace dropped");
  for (int ch = 0; ch < spdlog::kLogChannelCount; ++ch) {
    EXPECT_EQ(drainLogChannel(ch), kNothing) << "channel " << ch;
  }
}

TEST_F(ChannelLog, MaskReachesChannelsZeroAndFifteen) {
  ombrel::basicLog(0x8001, 42, "func", spdlog::level::info, "text");
  const auto ch0 = drainLogChannel(0);
  const auto ch15 = drainLogChannel(15);
  ASSERT_EQ(ch0.size(), 1u);
  ASSERT_EQ(ch15.size(), 1u);
  // Default pattern: "[date] [name] [info] " then the message.
  EXPECT_NE(ch0[0].find("] [0] [info] [func#42]text\n"), std::string::npos) << ch0[0];
  EXPECT_NE(ch15[0].find("] [15] [info] [func#42]text\n"), std::string::npos) << ch15[0];

  ombrel::basicLog(-16, 43, "func", spdlog::level::info, "text");
  const auto single = drainLogChannel(15);
  ASSERT_EQ(single.size(), 1u);
  EXPECT_NE(single[0].find("] [15] [info] [func#43] text\n"), std::string::npos) << single[0];
  EXPECT_EQ(drainLogChannel(0), kNothing);
}

TEST_F(ChannelLog, PatternsPerChannel) {
  ombrel::basicLog(1 << 7 | 1 << 1, 1, "f", spdlog::level::info, "{}", "body");
  const auto stamped = drainLogChannel(7);
  ASSERT_EQ(stamped.size(), 1u);
  EXPECT_TRUE(std::regex_match(
      stamped[0], std::regex(R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] \[f#1\]body\n)")))
      << stamped[0];
  EXPECT_EQ(drainLogChannel(1), one("[f#1]body\n"));
  for (int ch : {2, 3, 4, 6, 12, 13}) {
    ombrel::basicLog(1 << ch, 1, "f", spdlog::level::info, "bare");
    EXPECT_EQ(drainLogChannel(ch), one("[f#1]bare\n")) << "channel " << ch;
  }
}

TEST_F(ChannelLog, LongLineIsCutToFullMessageWithoutTerminator) {
  const std::string longText(3000, 'a');
  ombrel::basicLog(1 << 1, 1, "f", spdlog::level::info, "{}", longText);
  int q = msgget(ftok(zelor::paths::kLogKeyPath, 1), 0);
  spdlog::LogLine line{};
  ASSERT_EQ(msgrcv(q, &line, sizeof line.text, 0, IPC_NOWAIT), 2048);
  EXPECT_EQ(line.type, 1);
  const std::string text(line.text, sizeof line.text);
  EXPECT_EQ(text.find('\0'), std::string::npos);
  EXPECT_EQ(text.substr(0, 6), "[f#1]a");
}

TEST_F(ChannelLog, LongFormatIsCutAtTwoHundredBytes) {
  const std::string fmt(300, 'b');
  ombrel::basicLog(1 << 1, 1, "f", spdlog::level::info, fmt.c_str());
  const auto got = drainLogChannel(1);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0], "[f#1]" + std::string(199 - 5, 'b') + "\n");
}

TEST_F(ChannelLog, FullQueueDropsWithoutWaiting) {
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 6; ++i) ombrel::basicLog(1 << 2, i, "f", spdlog::level::info, "n{}", i);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  const auto got = drainLogChannel(2);
  ASSERT_EQ(got.size(), 5u);
  EXPECT_EQ(got.front(), "[f#0]n0\n");
  EXPECT_EQ(got.back(), "[f#4]n4\n");
}

TEST_F(ChannelLog, BadFormatDoesNotStopTheCaller) {
  ombrel::basicLog(1 << 3, 1, "f", spdlog::level::info, "{} {} {:q}", 1);
  ombrel::basicLog(1 << 3, 2, "f", spdlog::level::info, "after");
  const auto got = drainLogChannel(3);
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got.back(), "[f#2]after\n");
}

TEST_F(ChannelLog, ConcurrentThreadsGiveWholeLines) {
  // A reader keeps the queue drained while four threads log on one channel.
  constexpr int kThreads = 4, kLines = 200;
  std::atomic<bool> done{false};
  std::vector<std::string> seen;
  std::thread reader([&] {
    std::string text;
    while (!done) {
      if (zelor::sim::readLogChannel(4, text, 5)) seen.push_back(text);
    }
    for (auto& t : drainLogChannel(4)) seen.push_back(t);
  });
  std::vector<std::thread> writers;
  for (int t = 0; t < kThreads; ++t) {
    writers.emplace_back([t] {
      const std::string payload(100, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) {
        ombrel::basicLog(1 << 4, t, "w", spdlog::level::info, "{}", payload);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
  }
  for (auto& w : writers) w.join();
  done = true;
  reader.join();
  ASSERT_FALSE(seen.empty());
  for (const std::string& line : seen) {
    ASSERT_TRUE(std::regex_match(line, std::regex(R"(\[w#(\d)\]([a-d])\2{99}\n)"))) << line;
    EXPECT_EQ(line[3] - '0', line[5] - 'a') << line;
  }
}
