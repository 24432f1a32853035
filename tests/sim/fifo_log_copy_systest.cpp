// The PLC host's copy of the data server's FIFO into its log file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "plc_host/fifo_log_copy.h"

namespace zelor::sim {
namespace {

constexpr const char* kFifo = "/tmp/copy.fifo";
constexpr const char* kLog = "/tmp/copy.log";
constexpr const char* kPrevious = "/tmp/copy.log.1";

std::string readFile(const char* path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

off_t sizeOf(const char* path) {
  struct stat st {};
  return stat(path, &st) == 0 ? st.st_size : -1;
}

class FifoCopy : public ::testing::Test {
 protected:
  void TearDown() override {
    copy_.Stop();
    unlink(kFifo);
    unlink(kLog);
    unlink(kPrevious);
  }

  // Writes as the data server does: a non-blocking writer that may come and go.
  static void writeLines(const std::string& line, int times) {
    const int fd = open(kFifo, O_WRONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < times; ++i) {
      ssize_t n;
      // A full FIFO: the test waits where the data server would lose the line.
      while ((n = write(fd, line.data(), line.size())) < 0 && errno == EAGAIN) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      ASSERT_EQ(n, static_cast<ssize_t>(line.size()));
    }
    close(fd);
  }

  FifoLogCopy copy_;
};

TEST_F(FifoCopy, CreatesTheFifoAndCopiesEveryLineUpToTheStop) {
  std::string error;
  ASSERT_TRUE(copy_.Start(kFifo, kLog, FifoLogCopy::kDefaultMaxBytes, error)) << error;
  struct stat st {};
  ASSERT_EQ(stat(kFifo, &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  writeLines("first line\n", 1);
  // A writer that closed and a new one: the copy goes on.
  writeLines("second line\n", 1);
  copy_.Stop();
  EXPECT_EQ(readFile(kLog), "first line\nsecond line\n");
}

TEST_F(FifoCopy, RotatesAtItsBoundKeepingOnePreviousFile) {
  std::string error;
  constexpr off_t kMax = 8192;
  ASSERT_TRUE(copy_.Start(kFifo, kLog, kMax, error)) << error;
  const std::string line(99, 'x');
  writeLines(line + "\n", 1000);  // 100 kB: several rotations
  copy_.Stop();
  EXPECT_GT(sizeOf(kPrevious), 0);
  EXPECT_LE(sizeOf(kPrevious), kMax + 4096);
  EXPECT_LE(sizeOf(kLog), kMax + 4096);
}

TEST_F(FifoCopy, RefusesAPathThatIsNoFifo) {
  std::ofstream(kFifo) << "plain file";
  std::string error;
  EXPECT_FALSE(copy_.Start(kFifo, kLog, FifoLogCopy::kDefaultMaxBytes, error));
  EXPECT_NE(error.find("is not a FIFO"), std::string::npos) << error;
}

}  // namespace
}  // namespace zelor::sim
