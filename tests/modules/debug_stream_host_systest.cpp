// The motion kernel's log lines on the debug port of the real data server,
// cycling in the PLC-runtime stand-in.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include <gtest/gtest.h>

#include "support/data_server_host.h"
#include "svr/support/http_client.h"
#include "svr/support/queue_client.h"

namespace {

using namespace std::chrono_literals;
using zelor::test::waitFor;

constexpr int kDebugPort = 11000;

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

TEST(KernelDebugStream, SpeedRatioReadShowsTheKernelsLine) {
  zelor::test::DataServerHost host;
  ASSERT_TRUE(host.started()) << host.diagnostics();
  int fd = -1;
  ASSERT_TRUE(waitFor([&] { return (fd = zelor::test::connectLoopback(kDebugPort)) >= 0; }, 10s))
      << host.diagnostics();

  // Read the speed ratio (id 52) until the kernel, once it has its
  // parameters, answers it and logs the read.
  std::string got;
  const std::string line = "executed(read) ... sysParams->speedFactorRatio: ";
  EXPECT_TRUE(waitFor([&] {
    const auto reply = zelor::test::exchangeOverQueues(zelor::test::commandPacket(52, 0, 0), 500);
    if (!reply.got) return false;
    return waitFor([&] {
      readAvailable(fd, got);
      return got.find(line) != std::string::npos;
    }, 1s);
  }, 30s)) << got.substr(got.size() > 2000 ? got.size() - 2000 : 0) << host.diagnostics();
  const std::size_t at = got.find(line);
  ASSERT_NE(at, std::string::npos);
  const std::size_t begin = got.rfind("Command ", at);
  EXPECT_NE(begin, std::string::npos);
  EXPECT_NE(got.find("\r\n", at), std::string::npos);
  close(fd);
  EXPECT_EQ(host.stop(), 0) << host.endedBy();
}

}  // namespace
