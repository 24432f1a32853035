#include "realtime_data/tcp_dispenser.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "common/network/listen_address.h"
#include "common/network/socket_io.h"

namespace zelor::modules::realTimeData {

namespace {

constexpr auto kWalkPause = std::chrono::milliseconds(50);

}  // namespace

tcpDispenser::tcpDispenser() {
  for (std::atomic<int>& fd : clients_) fd = -1;
}

tcpDispenser::~tcpDispenser() {
  // The accept thread uses this object: wake it from accept and wait for it
  // before anything goes.
  stopping_ = true;
  if (listenFd_ != -1) shutdown(listenFd_, SHUT_RDWR);
  if (acceptThread_.joinable()) acceptThread_.join();
  if (listenFd_ != -1 && listenFd_ != 0) close(listenFd_);
  {
    std::lock_guard lock(sendMutex_);
    for (std::atomic<int>& fd : clients_) {
      if (fd >= 0) close(fd);
      fd = -1;
    }
  }
  std::printf("[%s] release port:%d!\n", "~tcpDispenser", port_);
}

int tcpDispenser::init(int port, int maximum, bool noDelay) {
  if (maximum > kSlots) maximum = kSlots;
  if (maximum < 0) maximum = 0;
  {
    std::lock_guard lock(sendMutex_);
    maximum_ = static_cast<std::uint16_t>(maximum);
    port_ = static_cast<std::uint16_t>(port);
    for (int i = 0; i < maximum_; ++i) clients_[i] = -1;
  }
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ == -1) return -1;
  const int on = 1;
  setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (noDelay) setsockopt(listenFd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port_);
  addr.sin_addr.s_addr = zelor::common::network::listenAddressIPv4();
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    perror("bind  error");
    return -2;
  }
  socklen_t length = sizeof addr;
  if (port_ == 0 && getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
    port_ = ntohs(addr.sin_port);
  }
  if (listen(listenFd_, maximum_) != 0) {
    perror("listen error");
    return -3;
  }
  std::printf("[%s] bind and listen port:%d success!\n", "init", port_);
  acceptThread_ = std::thread(&tcpDispenser::ListenProcss, this);
  return 0;
}

void tcpDispenser::ListenProcss(void* self) {
  signal(SIGPIPE, SIG_IGN);
  auto* d = static_cast<tcpDispenser*>(self);
  while (d->listenFd_ != -1 && !d->stopping_) {
    d->acceptWalk();
    std::this_thread::sleep_for(kWalkPause);
  }
}

void tcpDispenser::acceptWalk() {
  for (int i = 0; i < maximum_ && !stopping_; ++i) {
    if (clients_[i] != -1) continue;
    std::puts("befor accept...");
    sockaddr_in peer{};
    socklen_t length = 16;
    const int fd = accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd >= 0 && stopping_) {
      close(fd);
      return;
    }
    if (fd >= 0) {
      // The kernel doubles the value for its own book-keeping.
      const int buffer = kBufferedPackets * kLargestPacket * 2;
      setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
    }
    {
      std::lock_guard lock(sendMutex_);
      clients_[i] = fd < 0 ? -1 : fd;
      if (fd >= 0) addresses_[i] = peer;
    }
    std::puts("after accept...");
    if (fd >= 0) {
      char ip[INET_ADDRSTRLEN] = {};
      inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
      std::printf("[tcpDispenser::ListenProcss] local port:%d  accepted an new connection ip:%s,port:%d\n", port_, ip,
                  ntohs(peer.sin_port));
    }
  }
}

int tcpDispenser::sendMsg(const char* data, unsigned short length) {
  std::lock_guard lock(sendMutex_);
  const int n = static_cast<int>(common::network::sendLength(data, length));
  return _send(data, n);
}

bool tcpDispenser::sendWhole(int fd, const char* data, int length, int& lastResult) {
  // Packets carry no framing: a client that got part of one would read every
  // later packet misaligned, so a packet goes whole at once or the client goes.
  // What waits unsent beside the payload room of the buffer (half its size:
  // the other half is the kernel's book-keeping) tells whether it fits.
  int queued = 0;
  int buffer = 0;
  socklen_t size = sizeof buffer;
  if (ioctl(fd, SIOCOUTQ, &queued) == 0 && getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, &size) == 0 &&
      queued + length > buffer / 2) {
    lastResult = -1;
    errno = EAGAIN;
    return false;
  }
  ssize_t n;
  do {
    n = send(fd, data, static_cast<std::size_t>(length), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  lastResult = n < 0 ? -1 : static_cast<int>(n);
  if (n >= 0 && n < length) errno = EAGAIN;
  return n == length;
}

int tcpDispenser::_send(const char* data, int length) {
  int result = -1;
  for (int i = 0; i < maximum_; ++i) {
    const int fd = clients_[i];
    if (fd < 0) continue;
    if (sendWhole(fd, data, length, result)) continue;
    std::printf("[tcpDispenser::_send] client %d socket:%d send return = %d!\n", i, fd, result);
    perror("send :");
    close(fd);
    clients_[i] = -1;
  }
  return result;
}

int tcpDispenser::clientCount() {
  int n = 0;
  for (int i = 0; i < maximum_; ++i) n += clients_[i] >= 0 ? 1 : 0;
  return n;
}

}  // namespace zelor::modules::realTimeData
