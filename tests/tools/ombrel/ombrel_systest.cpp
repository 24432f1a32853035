// The log terminal program, driven as the system drives it: a producer's
// output on its standard input, the lines read back from the channel queue.
#include <sys/ipc.h>
#include <sys/msg.h>

#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "built_paths.h"
#include "install_paths.h"
#include "log_reader/log_queue_reader.h"
#include "process.h"

using zelor::sim::drainLogChannel;
using zelor::test::runProcess;

namespace {

const std::string kUsage =
    std::string("Usage: STDOUT_SOURCE | ") + zelor::test::built::kOmbrel +
    " [0 ~ 15] [name] \n    channel must exist.\n";

const std::string kStamp = R"(\[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}\] )";

bool anyLogQueueExists() {
  for (int ch = 0; ch < 16; ++ch) {
    if (msgget(ftok(zelor::paths::kLogKeyPath, ch), 0) >= 0) return true;
  }
  return false;
}

}  // namespace

TEST(Ombrel, BadChannelPrintsUsageAndCreatesNoQueue) {
  const std::vector<std::vector<std::string>> cases = {
      {zelor::test::built::kOmbrel},
      {zelor::test::built::kOmbrel, "16"},
      {zelor::test::built::kOmbrel, "-1"},
  };
  for (const auto& argv : cases) {
    const auto r = runProcess(argv, "line\n");
    EXPECT_EQ(r.exitCode, 255) << argv.size();
    EXPECT_EQ(r.out, kUsage);
  }
  EXPECT_FALSE(anyLogQueueExists());
}

TEST(Ombrel, ForwardsLinesStampedWithName) {
  const auto r = runProcess({zelor::test::built::kOmbrel, "0", "lua"}, "first\n\nlast line\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("this stream will redirect to channel1 \n"), std::string::npos) << r.out;
  const auto got = drainLogChannel(0);
  ASSERT_EQ(got.size(), 4u);
  // The announcement goes through the channel's own (default) pattern.
  EXPECT_NE(got[0].find("] [0] [info] [main#21] this stream is redirect from ombrel  --- " +
                        std::string(zelor::test::built::kOmbrel) + " ;channel id:0;\n\n"),
            std::string::npos)
      << got[0];
  EXPECT_TRUE(std::regex_match(got[1], std::regex(kStamp + "lua first\n"))) << got[1];
  EXPECT_TRUE(std::regex_match(got[2], std::regex(kStamp + "lua \n"))) << got[2];
  EXPECT_TRUE(std::regex_match(got[3], std::regex(kStamp + "lua last line\n"))) << got[3];
}

TEST(Ombrel, ChannelArgumentAndNameRules) {
  struct Case {
    std::vector<std::string> args;
    int channel;
    std::string channelName;
    std::string stampedName;  // what follows the date in a forwarded line
  };
  const std::vector<Case> cases = {
      {{"abc"}, 0, "channel1", "  "},       // not a number reads as 0; no name
      {{"3", "a", "b"}, 3, "channel4", "  "},  // extra words: empty name
      {{"15", "50%d"}, 15, "channel16", " 50%d "},  // "%" stays literal
  };
  for (const Case& c : cases) {
    std::vector<std::string> argv{zelor::test::built::kOmbrel};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto r = runProcess(argv, "x");  // last line without newline is still sent
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("this stream will redirect to " + c.channelName + " \n"), std::string::npos);
    const auto got = drainLogChannel(c.channel);
    ASSERT_EQ(got.size(), 2u) << c.channelName;
    EXPECT_EQ(got[1].substr(25), c.stampedName + "x\n") << got[1];
  }
}

TEST(Ombrel, OverlongLineBecomesOneMessage) {
  const std::string big(100000, 'q');
  const auto r = runProcess({zelor::test::built::kOmbrel, "5", "n"}, big + "\nnext\n");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto got = drainLogChannel(5);
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[1].size(), 2048u);
  EXPECT_EQ(got[1].substr(28, 3), "qqq");
  EXPECT_TRUE(std::regex_match(got[2], std::regex(kStamp + "n next\n"))) << got[2];
}

TEST(Ombrel, EndOfInputExitsAtOnce) {
  const auto r = runProcess({zelor::test::built::kOmbrel, "2"}, "", std::chrono::seconds(5));
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
}
