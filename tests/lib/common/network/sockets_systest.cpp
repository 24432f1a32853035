// Socket classes against plain clients and servers on the loopback.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "wait_for.h"

#include "common/network/tcp_client.h"
#include "common/network/tcp_server.h"
#include "common/network/tcp_server_tcpip.h"
#include "common/network/udp_service.h"
#include "stdout_capture.h"

namespace {

using namespace std::chrono_literals;
using zelor::common::network::TCPClient;
using zelor::common::network::TCPServer;
using zelor::common::network::TCPServer_TCPIP;
using zelor::common::network::udpService;
using Clock = std::chrono::steady_clock;

sockaddr_in loopback(uint16_t port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port);
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return addr;
}

// A plain client socket; -1 when nothing listens within the retries.
int connectTo(uint16_t port, int attempts = 1) {
  for (int i = 0; i < attempts; ++i) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in addr = loopback(port);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return fd;
    close(fd);
    std::this_thread::sleep_for(10ms);
  }
  return -1;
}

std::string recvText(int fd, int timeoutMs = 2000) {
  timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  char buf[256];
  const ssize_t n = recv(fd, buf, sizeof buf, 0);
  if (n < 0) return "<error " + std::to_string(errno) + ">";
  return std::string(buf, static_cast<size_t>(n));
}

// Closes with a reset, so the next send of the peer fails at once.
void closeWithReset(int fd) {
  linger l{1, 0};
  setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  close(fd);
}

template <typename Pred>
bool waitFor(Pred pred) {
  for (int i = 0; i < 400; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return false;
}

// Sends until the closed peer makes send fail, then a few times more: the
// first error may report the reset, the later ones are the broken pipe that
// would raise SIGPIPE. Returns the last result.
template <typename Send>
int sendUntilError(Send send) {
  int r = 0;
  for (int i = 0; i < 200 && r >= 0; ++i) {
    r = send();
    if (r >= 0) std::this_thread::sleep_for(5ms);
  }
  for (int i = 0; i < 3; ++i) r = send();
  return r;
}

// Every test here must end with the process alive even when a peer is gone.
class Sockets : public ::testing::Test {
 protected:
  void SetUp() override { std::signal(SIGPIPE, SIG_DFL); }
};

}  // namespace

TEST_F(Sockets, OneClientServerRefusesSecondAndServesNextAfterClose) {
  zelor::test::StdoutCapture capture;
  TCPServer_TCPIP server;
  char buf[64] = {};
  const auto before = Clock::now();
  const int earlyRecv = server.recvData(buf, sizeof buf, 0);
  const auto earlyRecvTime = Clock::now() - before;
  const int earlySend = server.sendData("x", 0);
  const int started = server.TCPServerStart(29999, "127.0.0.1");

  const int first = connectTo(29999, 50);
  const bool accepted = waitFor([&] { return server.isAccepted(); });
  const ssize_t pinged = send(first, "ping", 4, 0);
  const int got = server.recvData(buf, sizeof buf, 2000);
  const std::string ping(buf, got > 0 ? static_cast<size_t>(got) : 0);

  const int second = connectTo(29999);
  const std::string secondSees = recvText(second);

  const int sent = server.sendData("pong\0ignored", 0);
  const std::string firstSees = recvText(first);
  const int closed = server.closeRwfd();
  const std::string firstAfterClose = recvText(first);

  const int third = connectTo(29999, 50);
  send(third, "three", 5, 0);
  int thirdGot = -1;
  waitFor([&] { return (thirdGot = server.recvData(buf, sizeof buf, 100)) > 0; });
  const std::string three(buf, thirdGot > 0 ? static_cast<size_t>(thirdGot) : 0);
  server.stop();
  const std::string text = capture.finish();

  EXPECT_EQ(earlyRecv, -1);
  EXPECT_LT(earlyRecvTime, 1s) << "recvData without a client must not block";
  EXPECT_EQ(earlySend, -1);
  ASSERT_EQ(started, 0);
  ASSERT_GE(first, 0);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(pinged, 4);
  EXPECT_EQ(ping, "ping");
  EXPECT_EQ(secondSees, "") << "the second client's connection ends at once";
  EXPECT_EQ(sent, 4) << "len 0 sends up to the terminating zero";
  EXPECT_EQ(firstSees, "pong") << "the first client keeps working";
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(firstAfterClose, "");
  EXPECT_EQ(three, "three") << "after closeRwfd the next client is served";
  EXPECT_NE(text.find("[TCPServer_TCPIP::TCPServerStart] bind port 29999 success!\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[TCPServer_TCPIP::waitConnect] port:29999 accepted connection from ip:127.0.0.1 port:"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[TCPServer_TCPIP::waitConnect] port:29999 refused a new connection ip:127.0.0.1 port:"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("[closeRwfd] enter sockrwfd = "), std::string::npos) << text;
  for (int fd : {first, second, third}) close(fd);
}

TEST_F(Sockets, OneClientServerStopsAndFreesItsPort) {
  zelor::test::StdoutCapture quiet;
  int restarted = -1;
  {
    TCPServer_TCPIP server;
    EXPECT_EQ(server.TCPServerStart(30003, "127.0.0.1"), 0);
    EXPECT_EQ(server.TCPServerStart(30003, "127.0.0.1"), -1) << "one start per object";
    TCPServer_TCPIP clash;
    EXPECT_EQ(clash.TCPServerStart(30003, "127.0.0.1"), -2) << "the port is taken";
    const int client = connectTo(30003, 50);
    waitFor([&] { return server.isAccepted(); });
    close(client);
  }
  TCPServer_TCPIP again;
  restarted = again.TCPServerStart(30003, "127.0.0.1");
  again.stop();
  again.stop();
  quiet.finish();
  EXPECT_EQ(restarted, 0) << "a stopped server leaves its port free";
}

TEST_F(Sockets, ClosedPeerGivesErrorsNotSigpipe) {
  zelor::test::StdoutCapture quiet;
  // One-client server towards a client that reset.
  TCPServer_TCPIP tcpip;
  ASSERT_EQ(tcpip.TCPServerStart(30010, "127.0.0.1"), 0);
  const int a = connectTo(30010, 50);
  waitFor([&] { return tcpip.isAccepted(); });
  waitFor([&] { return tcpip.sendData("hello", 0) == 5; });
  closeWithReset(a);
  const int tcpipLast = sendUntilError([&] { return tcpip.sendData("more", 0); });
  char buf[16];
  std::memset(buf, 'x', sizeof buf);
  const int tcpipRecv = tcpip.recvData(buf, sizeof buf, 100);

  // Blocking server towards a client that reset.
  TCPServer blocking;
  char none[4] = {'y', 'y', 'y', 'y'};
  const int blockingEarly = blocking.recvData(none, sizeof none, 10);
  int b = -1;
  std::thread peer([&] { b = connectTo(30011, 100); });
  const int blockingStarted = blocking.TCPServerStart(30011, "");
  peer.join();
  const int blockingSent = blocking.sendData("hi", 0);
  const std::string peerGot = recvText(b);
  closeWithReset(b);
  const int blockingLast = sendUntilError([&] { return blocking.sendData("more", 0); });

  // Client towards a server that reset.
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in addr = loopback(30012);
  const int one = 1;
  setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  listen(listener, 1);
  TCPClient client;
  const int clientStarted = client.TCPClientStart(30012, "127.0.0.1", 500);
  const int served = accept(listener, nullptr, nullptr);
  closeWithReset(served);
  const int clientLast = sendUntilError([&] { return client.sendData("more", 0); });
  close(listener);
  quiet.finish();

  EXPECT_LT(tcpipLast, 0);
  EXPECT_LE(tcpipRecv, 0);
  EXPECT_EQ(blockingEarly, -1) << "no client yet";
  EXPECT_EQ(blockingStarted, 0);
  EXPECT_EQ(blockingSent, 2);
  EXPECT_EQ(peerGot, "hi");
  EXPECT_LT(blockingLast, 0);
  EXPECT_EQ(clientStarted, 0);
  EXPECT_LT(clientLast, 0);
  // The failed receives wrote nothing.
  EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'x'));
  EXPECT_EQ(std::string(none, sizeof none), "yyyy");
}

TEST_F(Sockets, ClientPrintsOnlyTheBytesItSends) {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in addr = loopback(30020);
  bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  listen(listener, 1);
  TCPClient client;
  zelor::test::StdoutCapture capture;
  const int notYet = client.sendData("abc", 0);
  const int started = client.TCPClientStart(30020, "127.0.0.1", 0);
  const int peer = accept(listener, nullptr, nullptr);
  const char unterminated[6] = {'a', 'b', 'c', 'X', 'Y', 'Z'};
  const int sent = client.sendData(unterminated, 3);
  const std::string peerGot = recvText(peer);
  send(peer, "back", 4, 0);
  char buf[16] = {};
  const int got = client.recvData(buf, sizeof buf, 2000);
  const int nothing = client.recvData(buf, sizeof buf, 50);
  const std::string text = capture.finish();

  EXPECT_EQ(notYet, -1);
  EXPECT_EQ(started, 0);
  EXPECT_EQ(sent, 3);
  EXPECT_EQ(peerGot, "abc");
  EXPECT_EQ(got, 4);
  EXPECT_EQ(nothing, -1) << "time-out";
  EXPECT_NE(text.find("[TCPClient::sendData]:buf=abc,bufSize=3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("connect to host:127.0.0.1 port:30020 success!!! \n"), std::string::npos) << text;
  close(peer);
  close(listener);
}

TEST_F(Sockets, ReconnectLoopPausesWhileServerIsDownAndConnectsWhenUp) {
  TCPClient client;
  client.setPauseUs(20000);
  zelor::test::StdoutCapture capture;
  const int refused = client.TCPClientStart(30030, "127.0.0.1", 1000);
  const auto loopStart = std::chrono::steady_clock::now();
  std::thread loop(TCPClient::ReConnectSubProcess, &client);
  const auto failuresIn = [](const std::string& text) {
    std::size_t n = 0;
    for (std::size_t pos = 0; (pos = text.find("[TCPClient::connectServer] connect faild", pos)) != std::string::npos; ++pos)
      ++n;
    return n;
  };
  zelor::test::waitFor([&] { return failuresIn(capture.peek()) >= 3; }, 3s);
  const std::string whileDown = capture.finish();
  const auto downMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - loopStart).count();

  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in addr = loopback(30030);
  bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
  listen(listener, 1);
  zelor::test::StdoutCapture quiet;
  const bool connected = waitFor([&] { return client.isConnected(); });
  client.stopLoop();
  loop.join();
  quiet.finish();

  EXPECT_LT(refused, 0);
  const std::size_t failures = failuresIn(whileDown);
  EXPECT_GE(failures, 2u) << whileDown;
  EXPECT_LE(failures, static_cast<std::size_t>(downMs / 20 + 2))
      << "21 ms between attempts, not a spinning loop: " << failures << " in " << downMs << " ms";
  EXPECT_TRUE(connected) << "the loop reconnects once the server is up";
  close(listener);
}

TEST_F(Sockets, UdpBindsOnlyForLoopbackAddressAndAppliesEachTimeout) {
  zelor::test::StdoutCapture capture;
  udpService server;
  const int serverStarted = server.udpStart(5000, "127.0.0.1");
  udpService sender;
  const int senderStarted = sender.udpStart(5001, "localhost");
  udpService clash;
  const int clashStarted = clash.udpStart(5000, "127.0.0.1");

  const char unterminated[4] = {'p', 'i', 'n', 'g'};
  const int sent = sender.senddata(unterminated, "127.0.0.1", 5000, 2, 77);
  char buf[64] = {};
  const int got = server.recvdata(buf, sizeof buf, 2000);
  const std::string gotText(buf, got > 0 ? static_cast<size_t>(got) : 0);
  const int sentZero = sender.senddata("whole", "127.0.0.1", 5000, 0, 0);
  const int gotZero = server.recvdata(buf, sizeof buf, 2000);

  // The send-only endpoint has no port: a datagram to 5001 reaches nobody.
  const int raw = socket(AF_INET, SOCK_DGRAM, 0);
  const sockaddr_in to = loopback(5001);
  sendto(raw, "lost", 4, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
  const int unbound = sender.recvdata(buf, sizeof buf, 50);

  // The first call's long time-out does not stick to the later short one.
  const auto before = Clock::now();
  const int timedOut = server.recvdata(buf, sizeof buf, 50);
  const auto waited = Clock::now() - before;
  const int badAddress = sender.senddata("x", "not an address", 5000, 0, 0);
  const std::string text = capture.finish();

  EXPECT_EQ(serverStarted, 0);
  EXPECT_EQ(senderStarted, 0);
  EXPECT_EQ(clashStarted, -3);
  EXPECT_EQ(sent, 2);
  EXPECT_EQ(gotText, "pi");
  EXPECT_EQ(sentZero, 5);
  EXPECT_EQ(gotZero, 5);
  EXPECT_EQ(unbound, -1);
  EXPECT_EQ(timedOut, -1);
  EXPECT_LT(waited, 1500ms);
  EXPECT_EQ(badAddress, -1);
  EXPECT_NE(text.find("udpService::udpStart got ip 127.0.0.1 in udp server mode , bind socket port 5000\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("bind socket port 5001"), std::string::npos) << text;
  EXPECT_NE(text.find("[senddata] : ip:127.0.0.1,port:5000;buf=pi,bufsize=2,timeout=77\n"), std::string::npos)
      << text;
  close(raw);
}

TEST_F(Sockets, BlockingServerListenLoopTakesClientAndStops) {
  zelor::test::StdoutCapture capture;
  TCPServer server;
  int client = -1;
  std::thread peer([&] { client = connectTo(30040, 100); });
  const int started = server.TCPServerStart(30040, "127.0.0.1");
  peer.join();
  close(client);

  // With the first client taken the loop only idles; stopLoop ends it.
  server.setPauseUs(0);
  std::thread loop(TCPServer::listenSubProcess, &server);
  zelor::test::waitFor([&] { return capture.peek().find("TCPServer::listenSubProcess timeout = 0 \n") != std::string::npos; },
                       3s);
  // Idling, it never listens again.
  zelor::test::staysFalse([&] { return capture.peek().find("TCPServer::listenSubProcess listen ...") != std::string::npos; },
                          150ms);
  server.stopLoop();
  loop.join();
  const std::string text = capture.finish();

  EXPECT_EQ(started, 0);
  EXPECT_NE(text.find("[TCPServer::TCPServerStart] bind port 30040 success!\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[TCPServer::waitConnect] new connection ip:127.0.0.1 port:"), std::string::npos) << text;
  EXPECT_NE(text.find("TCPServer::listenSubProcess timeout = 0 \n"), std::string::npos) << text;
  EXPECT_EQ(text.find("TCPServer::listenSubProcess listen ..."), std::string::npos) << "already connected: " << text;
}
