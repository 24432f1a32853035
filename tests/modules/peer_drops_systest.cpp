// A client that drops its connection while a reply is being written to it
// never ends the process that serves it nor stops the data server's cycle:
// the data port's HTTP server (inside the PLC runtime's process), brevan's
// text command ports, its file server, its app-protocol port and its feedback
// stream on 30004, both programs started
// with SIGPIPE at its default action.
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "exchange/exchange_pack.h"
#include "install_paths.h"
#include "rpc_api/rpc_execute_api.h"
#include "support/brevan_rig.h"
#include "support/data_server_host.h"
#include "svr/support/http_client.h"

namespace zelor::test {
namespace {

constexpr int kDataPort = 12345;  // quillon_data_port of the installation

// How the client leaves while the server still has reply bytes for it.
enum class Drop {
  kReset,           // closes with unread replies: the server's socket is reset
  kHalfCloseFirst,  // ends its sending side, waits, then the reset
  // The end of its requests and the reset together: a server that writes
  // before it has seen the end meets a broken pipe (SIGPIPE for a writer
  // without MSG_NOSIGNAL, such as the HTTP server's library).
  kCloseAndReset,
};

const char* nameOf(Drop drop) {
  switch (drop) {
    case Drop::kReset:
      return "reset";
    case Drop::kHalfCloseFirst:
      return "half close, then reset";
    case Drop::kCloseAndReset:
      return "half close and reset at once";
  }
  return "";
}

// Sends many requests on one connection without reading their replies, until
// the server is stuck writing (the client's small receive buffer is full and
// no more arrives), then drops the connection. True when replies had begun.
// A connection with a small receive buffer; -1 when refused.
int connectSmall(int port) { return connectLoopback(port, 4096); }

// A text port holds one client: a connection made while the previous client
// still holds the slot is closed at once, so one that stays open 300 ms is
// the port's.
int connectHeld(int port) {
  for (int attempt = 0; attempt < 50; ++attempt) {
    const int fd = connectSmall(port);
    if (fd < 0) return -1;
    pollfd p{fd, POLLIN | POLLRDHUP, 0};
    if (poll(&p, 1, 300) == 0) return fd;
    close(fd);
    std::this_thread::sleep_for(50ms);
  }
  return -1;
}

bool dropWhileTheServerWrites(int port, const std::string& requests, Drop drop, bool oneClientPort) {
  const int fd = oneClientPort ? connectHeld(port) : connectSmall(port);
  if (fd < 0) return false;
  // Send until everything is out or the server takes no more for 1 s.
  std::size_t sent = 0;
  while (sent < requests.size()) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 1000) != 1) break;
    const ssize_t n = send(fd, requests.data() + sent, requests.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n <= 0 && errno != EAGAIN) break;
    if (n > 0) sent += static_cast<std::size_t>(n);
  }
  // Wait until the replies stop coming: the server is stuck in its write.
  int pending = -1;
  for (int still = 0, round = 0; still < 20 && round < 500; ++round) {
    int now = 0;
    ioctl(fd, FIONREAD, &now);
    still = now == pending && now > 0 ? still + 1 : 0;
    pending = now;
    std::this_thread::sleep_for(10ms);
  }
  if (drop == Drop::kHalfCloseFirst) {
    shutdown(fd, SHUT_WR);
    std::this_thread::sleep_for(200ms);
  }
  if (drop == Drop::kCloseAndReset) shutdown(fd, SHUT_WR);
  const linger reset{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
  close(fd);
  return pending > 0;
}

std::string repeated(const std::string& one, std::size_t times) {
  std::string all;
  all.reserve(one.size() * times);
  for (std::size_t i = 0; i < times; ++i) all += one;
  return all;
}

// The kernel of the cycling data server answers a read; a loaded machine
// may make one answer miss the exchange's 0.1 s, so a few are tried.
bool kernelAnswers() {
  auto& api = zelor::modules::rpcExecuteApis::rpcExecuteApi::Instance();
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (Packet* reply = api.alloc_GetJointAngle()) {
      api.freePluginPacket(reply);
      return true;
    }
  }
  return false;
}

class PeerDrops : public ::testing::Test {
 protected:
  void SetUp() override {
    // As a service manager starts them: a SIGPIPE would end either program.
    std::signal(SIGPIPE, SIG_DFL);
    host_ = std::make_unique<DataServerHost>();
    ASSERT_TRUE(host_->started()) << host_->diagnostics();
    brevan_ = std::make_unique<Brevan>();
    ASSERT_TRUE(brevan_->waitForPorts()) << "ports 29999 and 30003 never listened";
    ASSERT_TRUE(waitForHttp(kDataPort, "/properties/axis", 30000)) << host_->diagnostics();
    m_exchange.open(zelor::paths::kLogKeyPath);
    ASSERT_TRUE(kernelAnswers()) << "the kernel never answered\n" << host_->diagnostics();
  }

  void TearDown() override {
    brevan_.reset();
    host_.reset();
  }

  // Both programs still run, the host cycles to the end and exits cleanly.
  void expectBothLiveAndTheCycleWentOn() {
    EXPECT_TRUE(brevan_->process().running()) << "brevan ended: " << howItEnded(brevan_->process());
    ASSERT_TRUE(host_->running()) << "the data server's process ended: " << host_->endedBy() << "\n"
                                  << host_->diagnostics();
    EXPECT_TRUE(kernelAnswers()) << "the kernel stopped answering\n" << host_->diagnostics();
    const long long periods = host_->periodsSinceStart();
    const int status = host_->stop();
    ASSERT_TRUE(WIFEXITED(status)) << status << host_->diagnostics();
    EXPECT_EQ(WEXITSTATUS(status), 0) << host_->diagnostics();
    // Generous for a loaded machine; a cycle that stopped for good stays far below.
    EXPECT_GE(host_->cyclesReported(), periods / 4) << "of " << periods << " periods\n" << host_->diagnostics();
  }

  std::unique_ptr<DataServerHost> host_;
  std::unique_ptr<Brevan> brevan_;
};

TEST_F(PeerDrops, ADataPortClientLeavingMidReplyEndsNeitherTheServerNorTheCycle) {
  const std::string requests = repeated("GET /properties/axis HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 5000);
  for (int round = 0; round < 5; ++round) {
    for (Drop drop : {Drop::kReset, Drop::kHalfCloseFirst, Drop::kCloseAndReset}) {
      SCOPED_TRACE(testing::Message() << nameOf(drop) << ", round " << round);
      EXPECT_TRUE(dropWhileTheServerWrites(kDataPort, requests, drop, false)) << "no reply had begun";
      const HttpReply next = httpRequest(kDataPort, "GET", "/properties/axis", "", 5000);
      ASSERT_TRUE(host_->running()) << "the data server's process ended: " << host_->endedBy() << "\n"
                                    << host_->diagnostics();
      ASSERT_TRUE(next.answered) << "the HTTP server stopped serving";
      EXPECT_EQ(next.status, 200);
    }
  }
  expectBothLiveAndTheCycleWentOn();
}

TEST_F(PeerDrops, ATextPortClientLeavingMidReplyEndsNeitherBrevanNorThePort) {
  // Each reply echoes its 60000-byte command.
  const std::string requests = repeated("Foo(" + std::string(60000, 'x') + ")", 40);
  for (int port : {29999, 30003}) {
    for (Drop drop : {Drop::kReset, Drop::kHalfCloseFirst}) {
      SCOPED_TRACE(testing::Message() << "port " << port << ", " << nameOf(drop));
      EXPECT_TRUE(dropWhileTheServerWrites(port, requests, drop, true)) << "no reply had begun";
      const auto served = timeToBeServed(port, 5s);
      ASSERT_TRUE(brevan_->process().running()) << "brevan ended: " << howItEnded(brevan_->process());
      EXPECT_TRUE(served) << "the port took no new client";
    }
  }
  // The other programs' cycle went on meanwhile.
  expectBothLiveAndTheCycleWentOn();
}

TEST_F(PeerDrops, AFileServerClientLeavingMidReadEndsNeitherBrevanNorTheServer) {
  constexpr int kFilePort = 22001;
  ASSERT_TRUE(waitFor([] { return listening(kFilePort); }, 10s)) << "port 22001 never listened";
  const std::string project = zelor::paths::kProjectDir;
  std::ofstream(project + "/large.bin", std::ios::binary) << std::string(4 << 20, 'L');
  std::ofstream(project + "/small.txt") << "small";
  const std::string requests = repeated("GET /file/read/large.bin HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 4);
  for (Drop drop : {Drop::kReset, Drop::kHalfCloseFirst, Drop::kCloseAndReset}) {
    SCOPED_TRACE(nameOf(drop));
    EXPECT_TRUE(dropWhileTheServerWrites(kFilePort, requests, drop, false)) << "no reply had begun";
    const HttpReply next = httpRequest(kFilePort, "GET", "/file/read/small.txt", "", 5000);
    ASSERT_TRUE(brevan_->process().running()) << "brevan ended: " << howItEnded(brevan_->process());
    ASSERT_TRUE(next.answered) << "the file server stopped serving";
    EXPECT_EQ(next.status, 200);
  }
  expectBothLiveAndTheCycleWentOn();
}

TEST_F(PeerDrops, AnAppLeavingMidAnswerEndsNeitherBrevanNorPort6000) {
  constexpr int kAppPort = 6000;
  ASSERT_TRUE(waitFor([] { return listening(kAppPort); }, 10s)) << "port 6000 never listened";
  // Heartbeats of the largest body, each echoed whole.
  std::string heartbeat("\0\0\0\0\0\x01\x07\xFB", 8);
  heartbeat += std::string(2043, 'h');
  const std::string requests = repeated(heartbeat, 2000);
  for (Drop drop : {Drop::kReset, Drop::kHalfCloseFirst, Drop::kCloseAndReset}) {
    SCOPED_TRACE(nameOf(drop));
    EXPECT_TRUE(dropWhileTheServerWrites(kAppPort, requests, drop, true)) << "no answer had begun";
    auto next = acceptedClient(kAppPort, 5s);
    ASSERT_TRUE(brevan_->process().running()) << "brevan ended: " << howItEnded(brevan_->process());
    ASSERT_TRUE(next) << "port 6000 took no new client";
    EXPECT_EQ(next->exchange(heartbeat, heartbeat).size(), heartbeat.size()) << "the new client was not served";
  }
  expectBothLiveAndTheCycleWentOn();
}

// The feedback stream sends its record every 8 ms without being asked: a
// client that stops reading leaves brevan stuck within a packet when it goes.
TEST_F(PeerDrops, AFeedbackClientLeavingMidPacketEndsNeitherBrevanNorTheStream) {
  constexpr std::size_t kPacket = 1440;
  ASSERT_TRUE(waitFor([] { return listening(30004); }, 10s)) << "port 30004 never listened";
  // The data server starts writing the record some 10 s after its start.
  {
    Client first(30004);
    ASSERT_EQ(first.read(kPacket, 25s).size(), kPacket) << "the stream sends nothing from the data server's record";
  }
  for (Drop drop : {Drop::kReset, Drop::kHalfCloseFirst, Drop::kCloseAndReset}) {
    SCOPED_TRACE(nameOf(drop));
    EXPECT_TRUE(dropWhileTheServerWrites(30004, "", drop, false)) << "no packet had begun";
    std::string packets;
    EXPECT_TRUE(waitFor(
        [&] {
          Client next(30004);
          packets = next.read(3 * kPacket, 2s);
          return packets.size() == 3 * kPacket;
        },
        10s))
        << "the stream took no new client";
    ASSERT_TRUE(brevan_->process().running()) << "brevan ended: " << howItEnded(brevan_->process());
    if (packets.size() == 3 * kPacket) {
      for (std::size_t at = 0; at < packets.size(); at += kPacket) {
        EXPECT_EQ(packets.substr(at, 2), std::string("\xA0\x05", 2)) << "packet at " << at << " misaligned";
      }
    }
  }
  expectBothLiveAndTheCycleWentOn();
}

}  // namespace
}  // namespace zelor::test
