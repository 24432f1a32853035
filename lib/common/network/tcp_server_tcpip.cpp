#include "common/network/tcp_server_tcpip.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "common/network/listen_address.h"
#include "common/network/socket_io.h"

namespace zelor::common::network {

namespace {

constexpr int kKeepIdleS = 6;
constexpr int kKeepIntervalS = 5;
constexpr int kKeepCount = 3;
constexpr auto kFirstAcceptDelay = std::chrono::milliseconds(100);
constexpr auto kAcceptPause = std::chrono::milliseconds(10);

void setIntOption(int fd, int level, int name, int value) { setsockopt(fd, level, name, &value, sizeof value); }

}  // namespace

TCPServer_TCPIP::TCPServer_TCPIP() { std::puts("[TCPServer_TCPIP::TCPServer_TCPIP] construct!"); }

TCPServer_TCPIP::~TCPServer_TCPIP() { stop(); }

int TCPServer_TCPIP::TCPServerStart(uint16_t port, std::string) {
  if (acceptThread_.joinable()) return -1;  // one start per object
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  setIntOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
  setIntOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
  setIntOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepIdleS);
  setIntOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepIntervalS);
  setIntOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepCount);
  port_ = port;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = listenAddressIPv4();
  addr.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
    shutdown(fd, SHUT_RDWR);
    close(fd);
    return -2;
  }
  std::printf("[TCPServer_TCPIP::TCPServerStart] bind port %d success!\n", port);
  if (listen(fd, 1) < 0) {
    std::perror("[TCPServer_TCPIP::TCPServerStart] listen faild");
    close(fd);
    return -3;
  }
  listenFd_ = fd;
  stopping_ = false;
  acceptThread_ = std::thread(&TCPServer_TCPIP::listenSubProcess, this);
  return 0;
}

void TCPServer_TCPIP::listenSubProcess() {
  std::puts("TCPServer_TCPIP::listenSubProcess entered !");
  std::this_thread::sleep_for(kFirstAcceptDelay);
  while (!stopping_) {
    std::puts("[TCPServer_TCPIP::listenSubProcess] waiting a client to connect....");
    sockaddr_in peer{};
    socklen_t peerLen = sizeof peer;
    // stop() shuts the listening socket down, which ends this accept.
    const int fd = accept(listenFd_, reinterpret_cast<sockaddr*>(&peer), &peerLen);
    if (fd >= 0) {
      accepted_ = true;
      char ip[128] = {};
      inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
      int free = -1;
      if (clientFd_.compare_exchange_strong(free, fd)) {
        std::printf("[TCPServer_TCPIP::waitConnect] port:%d accepted connection from ip:%s port:%d\n", port_, ip,
                    ntohs(peer.sin_port));
      } else {
        shutdown(fd, SHUT_RDWR);
        close(fd);
        std::printf(
            "[TCPServer_TCPIP::waitConnect] port:%d refused a new connection ip:%s port:%d,socket are alread in "
            "use...\n",
            port_, ip, ntohs(peer.sin_port));
      }
    }
    std::this_thread::sleep_for(kAcceptPause);
  }
}

int TCPServer_TCPIP::sendData(const char* data, uint32_t len) {
  const int fd = clientFd_;
  if (!accepted_ || fd < 0 || data == nullptr) return -1;
  return sendNoSignal(fd, data, len);
}

int TCPServer_TCPIP::recvData(char* buf, uint32_t size, uint32_t timeoutMs) {
  const int fd = clientFd_;
  if (fd < 0) return -1;
  return recvWithTimeout(fd, buf, size, timeoutMs, "[TCPServer_TCPIP::recvdata] set time out faild!!!!!  ", -3);
}

int TCPServer_TCPIP::closeRwfd() {
  const int fd = clientFd_.exchange(-1);
  std::printf("[%s] enter sockrwfd = %d \n", "closeRwfd", fd);
  if (fd < 0) return -1;
  shutdown(fd, SHUT_RDWR);
  return close(fd);
}

void TCPServer_TCPIP::stop() {
  stopping_ = true;
  const int listener = listenFd_;
  if (listener >= 0) shutdown(listener, SHUT_RDWR);
  if (acceptThread_.joinable()) acceptThread_.join();
  listenFd_ = -1;
  if (listener >= 0) close(listener);
  const int client = clientFd_.exchange(-1);
  if (client >= 0) {
    shutdown(client, SHUT_RDWR);
    close(client);
  }
}

}  // namespace zelor::common::network
