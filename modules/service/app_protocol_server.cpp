// Port 6000: accepting the one client and reading its framed messages.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "common/network/listen_address.h"
#include "common/network/socket_io.h"
#include "service/app_protocol.h"

namespace zelor::modules::service {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSilenceWaitMs = 10000;
constexpr int kMaxSilences = 2;
constexpr int kListenBacklog = 10;
// An app that stops reading cannot hold an answer's writer for ever.
constexpr std::uint32_t kSendTimeoutMs = 5000;

void reportFailure(const char* what) { std::printf("%s: %s\n", what, std::strerror(errno)); }

class SocketStream : public AppProtocol::ByteStream {
 public:
  explicit SocketStream(int fd) : fd_(fd) {}
  int wait(int timeoutMs) override {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      pollfd p{fd_, POLLIN, 0};
      const int ready = poll(&p, 1, left > 0 ? static_cast<int>(left) : 0);
      if (ready >= 0) return ready > 0 ? 1 : 0;
      if (errno != EINTR) return -1;
    }
  }
  ssize_t receive(void* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = recv(fd_, buffer, size, 0);
      if (got >= 0 || errno != EINTR) return got;
    }
  }

 private:
  int fd_;
};

// Exactly size bytes, each piece waited for until the deadline.
bool readExact(AppProtocol::ByteStream& stream, std::uint8_t* out, std::size_t size, Clock::time_point deadline) {
  std::size_t got = 0;
  while (got < size) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || stream.wait(static_cast<int>(left)) != 1) return false;
    const ssize_t n = stream.receive(out + got, size - got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void AppProtocol::StartServer() {
  const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (server < 0) {
    reportFailure("[start_tcp_server] : socket");
    return;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = common::network::listenAddressIPv4();
  addr.sin_port = htons(kPort);
  if (bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
    reportFailure("[start_tcp_server] : bind");
    close(server);
    return;
  }
  std::puts("[start_tcp_server] : bind success.");
  if (listen(server, kListenBacklog) < 0) {
    reportFailure("[start_tcp_server] : listen");
    close(server);
    return;
  }
  std::puts("[start_tcp_server] : listen success.");
  for (;;) {
    sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    const int client = accept4(server, reinterpret_cast<sockaddr*>(&peer), &peerLength, SOCK_CLOEXEC);
    if (client < 0) {
      // A signal or a client gone before it was taken is no failure of the server.
      if (errno == EINTR || errno == ECONNABORTED) continue;
      reportFailure("[start_tcp_server] : connect");
      close(server);
      return;
    }
    char ip[INET_ADDRSTRLEN] = "";
    inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
    std::printf("[start_tcp_server] : new client conn[%d] accepted.\n", client);
    std::puts("----------------------------------------------");
    std::printf("[start_tcp_server] : client ip=%s, port=%d\n", ip, ntohs(peer.sin_port));
    if (++m_client_count > 1) {
      std::puts("client is exist, not to do other connect.");
      close(client);
      continue;
    }
    common::network::setSocketTimeout(client, SO_SNDTIMEO, kSendTimeoutMs);
    try {
      std::thread([this, client] { OnConnect(client); }).detach();
    } catch (const std::system_error& error) {
      std::printf("[start_tcp_server] : no thread for conn[%d]: %s\n", client, error.what());
      close(client);
      m_client_count = 0;
    }
  }
}

void AppProtocol::OnConnect(int fd) {
  {
    std::lock_guard lock(connectionMutex_);
    ++connection_;
    m_connected = 1;
  }
  Listen(fd);
}

void AppProtocol::Listen(int fd) {
  SocketStream stream(fd);
  for (;;) {
    int length = 0;
    const Received received = ReceiveMessage(stream, fd, m_message, length);
    if (received == Received::kSilence) continue;
    if (received == Received::kEnd || !OnMessage(fd, m_message, length)) {
      endConnection(fd);
      return;
    }
  }
}

void AppProtocol::endConnection(int fd) {
  std::lock_guard lock(connectionMutex_);
  close(fd);
  ++connection_;
  m_client_count = 0;
  m_connected = 0;
  m_cycle_flag = 0;
}

AppProtocol::Received AppProtocol::ReceiveMessage(ByteStream& stream, int fd, std::uint8_t* message, int& length) {
  const int ready = stream.wait(kSilenceWaitMs);
  if (ready < 0) {
    std::printf("[AppProtocol::fullRead] fd:[%d], select ERROR.\n", fd);
    return Received::kEnd;
  }
  if (ready == 0) {
    std::printf("[AppProtocol::fullRead] fd:[%d], Select timeout.\n", fd);
    return ++m_silence_count > kMaxSilences ? Received::kEnd : Received::kSilence;
  }
  // A message may come in pieces: all of it within the wait.
  const auto deadline = Clock::now() + std::chrono::milliseconds(kSilenceWaitMs);
  if (!readExact(stream, message, kHeaderBytes, deadline)) {
    std::puts("[AppProtocol::fullRead] recv header ERROR.");
    return Received::kEnd;
  }
  const std::size_t bodyLength = static_cast<std::size_t>(message[6] << 8 | message[7]);
  if (bodyLength > kMaxBody) {
    std::printf("[AppProtocol::fullRead] fd:[%d], body of %zu bytes over %zu, connection closed.\n", fd, bodyLength,
                kMaxBody);
    return Received::kEnd;
  }
  if (bodyLength == 0 || !readExact(stream, message + kHeaderBytes, bodyLength, deadline)) {
    std::puts("[AppProtocol::fullRead] recv body ERROR.");
    return Received::kEnd;
  }
  length = static_cast<int>(kHeaderBytes + bodyLength);
  return Received::kMessage;
}

}  // namespace zelor::modules::service
