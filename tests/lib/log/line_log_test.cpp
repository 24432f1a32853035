// Line log: the "[LEVEL|func@file,line] " form, on stdout or a descriptor.
#include <fcntl.h>
#include <unistd.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "log/line_log.h"

namespace {

std::string readAll(int fd) {
  std::string all;
  char buf[4096];
  for (ssize_t n; (n = read(fd, buf, sizeof buf)) > 0;) all.append(buf, static_cast<size_t>(n));
  return all;
}

class LineLogToPipe : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(pipe(fds_), 0);
    fcntl(fds_[1], F_SETPIPE_SZ, 1 << 20);
    zelor::log::setLineLogTarget(fds_[1], zelor::log::kLineLogDescriptorMode);
  }
  void TearDown() override {
    zelor::log::setLineLogTarget(-1, 0);
    close(fds_[0]);
  }
  std::string collect() {
    close(fds_[1]);
    return readAll(fds_[0]);
  }
  int fds_[2] = {-1, -1};
};

}  // namespace

TEST_F(LineLogToPipe, WritesTaggedLineWithRelativeSource) {
  const int line = __LINE__ + 1;
  ZLOG_ERROR("value %d of %s", 7, "x");
  const std::string got = collect();
  EXPECT_EQ(got, "[ERROR|TestBody@tests/lib/log/line_log_test.cpp," + std::to_string(line) +
                     "] value 7 of x\n");
}

TEST_F(LineLogToPipe, LevelTagsAreFiveLetters) {
  ZLOG_TRACE("a");
  ZLOG_DEBUG("b");
  ZLOG_WARN("c");
  ZLOG_ERROR("d");
  ZLOG_CRTCL("e");
  const std::string got = collect();
  std::vector<std::string> tags;
  std::regex tag(R"(\[([A-Z]{5})\|)");
  for (auto it = std::sregex_iterator(got.begin(), got.end(), tag); it != std::sregex_iterator(); ++it)
    tags.push_back((*it)[1]);
  EXPECT_EQ(tags, (std::vector<std::string>{"TRACE", "DEBUG", "WARNI", "ERROR", "CRTCL"}));
}

TEST_F(LineLogToPipe, LongLineIsCutAtBufferSize) {
  const std::string big(2000, 'z');
  ZLOG_TRACE("%s", big.c_str());
  const std::string got = collect();
  EXPECT_EQ(got.size(), static_cast<size_t>(zelor::log::kLineLogBufferSize - 1));
  EXPECT_EQ(got.back(), 'z');
}

TEST_F(LineLogToPipe, ConcurrentLinesStayWhole) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      const std::string payload(300, static_cast<char>('a' + t));
      for (int i = 0; i < 200; ++i) ZLOG_TRACE("%d:%s", t, payload.c_str());
    });
  }
  for (auto& th : threads) th.join();
  const std::string got = collect();
  std::regex whole(R"(\[TRACE\|operator\(\)@[^,]+,\d+\] (\d):([a-d])\2{299})");
  size_t lines = 0, pos = 0;
  for (size_t nl; (nl = got.find('\n', pos)) != std::string::npos; pos = nl + 1, ++lines) {
    const std::string line = got.substr(pos, nl - pos);
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, whole)) << line;
    EXPECT_EQ(m[1].str()[0] - '0', m[2].str()[0] - 'a');
  }
  EXPECT_EQ(lines, 800u);
}

TEST(LineLogToStdout, PrintsWhenNotInDescriptorMode) {
  zelor::log::setLineLogTarget(-1, 0);
  testing::internal::CaptureStdout();
  ZLOG_WARN("plain %s", "out");
  const std::string got = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(std::regex_match(got, std::regex(R"(\[WARNI\|TestBody@[^,]+,\d+\] plain out\n)"))) << got;
}
