// brevan's identification-file service: the data server's request on
// channel 11 of segment 12 moves the /tmp/identify* files into the project's
// identification folder, and channel 12 then begins with the done byte.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include <gtest/gtest.h>

#include "common/transport/segment.h"
#include "install_paths.h"
#include "support/brevan_rig.h"

namespace zelor::test {
namespace {

namespace fs = std::filesystem;
using zelor::common::transport::Segment;

const std::string kDest = std::string(zelor::paths::kProjectDir) + "/process/identify/";

class IdentifyService : public ::testing::Test {
 protected:
  void SetUp() override {
    brevan_ = std::make_unique<Brevan>();
    ASSERT_TRUE(brevan_->waitForPorts());
    ASSERT_TRUE(segment_.IsOpen());
    buffer_.assign(segment_.Conf().GetBlockBufSize(), 0);
    segment_.Clear(12);
  }
  void TearDown() override {
    if (console_ >= 0) close(console_);
    for (const char* name : {"/tmp/identify1.csv", "/tmp/identify2.csv"}) unlink(name);
  }

  // The data server's request: the one data byte 1.
  void request() {
    const unsigned char frame[] = {0x00, 0x01, 0x01};
    ASSERT_EQ(segment_.Write(11, frame, sizeof frame), 1);
  }
  // Channel 12's block began with the byte 1 within the time.
  bool doneWithin(std::chrono::milliseconds timeout) {
    return waitFor([&] { return segment_.Read(12, buffer_.data()) > 0 && buffer_[0] == 1; }, timeout);
  }
  bool consoleShows(const std::string& text, std::chrono::milliseconds timeout) {
    return waitFor(
        [&] {
          if (console_ < 0) console_ = open(zelor::paths::kFifoBrevan, O_RDONLY | O_NONBLOCK);
          char buf[65536];
          ssize_t n;
          while (console_ >= 0 && (n = read(console_, buf, sizeof buf)) > 0) {
            consoleText_.append(buf, static_cast<std::size_t>(n));
          }
          return consoleText_.find(text) != std::string::npos;
        },
        timeout);
  }

  std::unique_ptr<Brevan> brevan_;
  Segment segment_{12};
  std::vector<unsigned char> buffer_;
  int console_ = -1;  // brevan's console FIFO, opened once brevan made it
  std::string consoleText_;
};

TEST_F(IdentifyService, MovesTheRunsFilesAndAnswersDone) {
  std::ofstream("/tmp/identify1.csv") << "1,2,3\n";
  std::ofstream("/tmp/identify2.csv") << "4,5,6\n";
  request();
  EXPECT_TRUE(doneWithin(2s)) << "no done byte on channel 12";
  EXPECT_EQ(readFile(kDest + "identify1.csv"), "1,2,3\n");
  EXPECT_EQ(readFile(kDest + "identify2.csv"), "4,5,6\n");
  EXPECT_FALSE(fs::exists("/tmp/identify1.csv"));
  EXPECT_FALSE(fs::exists("/tmp/identify2.csv"));
  EXPECT_TRUE(consoleShows("===================  start Identify cp  ===========================", 2s)) << consoleText_;
  EXPECT_TRUE(consoleShows("===================  Auto Identify is over ===========================", 2s))
      << consoleText_;
}

TEST_F(IdentifyService, AnswersDoneWithNothingToMove) {
  request();
  EXPECT_TRUE(doneWithin(2s)) << "no done byte on channel 12";
  EXPECT_TRUE(fs::is_empty(kDest));
}

TEST_F(IdentifyService, KeepsTheFilesWhenTheDestinationIsMissing) {
  fs::remove_all(kDest);
  std::ofstream("/tmp/identify1.csv") << "1,2,3\n";
  std::ofstream("/tmp/identify2.csv") << "4,5,6\n";
  request();
  EXPECT_TRUE(doneWithin(2s)) << "no done byte on channel 12";
  EXPECT_EQ(readFile("/tmp/identify1.csv"), "1,2,3\n");
  EXPECT_EQ(readFile("/tmp/identify2.csv"), "4,5,6\n");
  EXPECT_FALSE(fs::exists(kDest));
}

}  // namespace
}  // namespace zelor::test
