#include "common/network/tcp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "common/network/listen_address.h"
#include "common/network/socket_io.h"

namespace zelor::common::network {

TCPServer::TCPServer() { std::puts("[TCPServer::TCPServer] construct!"); }

TCPServer::~TCPServer() {
  closeListener();
  const int client = clientFd_.exchange(-1);
  if (client >= 0) close(client);
}

void TCPServer::closeListener() {
  const int fd = listenFd_.exchange(-1);
  if (fd < 0) return;
  shutdown(fd, SHUT_RDWR);
  close(fd);
}

int TCPServer::TCPServerStart(uint16_t port, std::string) {
  closeListener();
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = listenAddressIPv4();
  addr.sin_port = htons(port);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
    shutdown(fd, SHUT_RDWR);
    close(fd);
    return -2;
  }
  listenFd_ = fd;
  std::printf("[TCPServer::TCPServerStart] bind port %d success!\n", port);
  if (listen(fd, 1) < 0) {
    std::perror("[TCPServer::TCPServerStart] listen faild");
    return -3;
  }
  std::puts("[TCPServer::TCPServerStart] waiting a client to connect....");
  return takeClient("[TCPServer::TCPServerStart]:") ? 0 : -4;
}

int TCPServer::waitConnect(uint32_t) {
  std::printf("[TCPServer::waitConnect] enter! ");
  return takeClient("[TCPServer::waitConnect]:") ? 0 : -1;
}

bool TCPServer::takeClient(const char* who) {
  sockaddr_in peer{};
  socklen_t peerLen = sizeof peer;
  const int client = accept(listenFd_, reinterpret_cast<sockaddr*>(&peer), &peerLen);
  if (client < 0) {
    std::perror(who);
    return false;
  }
  const int previous = clientFd_.exchange(client);
  if (previous >= 0) close(previous);
  connected_ = true;
  char ip[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &peer.sin_addr, ip, sizeof ip);
  std::printf("[TCPServer::waitConnect] new connection ip:%s port:%d\n", ip, ntohs(peer.sin_port));
  return true;
}

int TCPServer::sendData(const char* data, uint32_t len) {
  const int fd = clientFd_;
  if (!connected_ || fd < 0 || data == nullptr) return -1;
  return sendNoSignal(fd, data, len);
}

int TCPServer::recvData(char* buf, uint32_t size, uint32_t timeoutMs) {
  const int fd = clientFd_;
  if (fd < 0) return -1;
  return recvWithTimeout(fd, buf, size, timeoutMs, "[TCPServer::recvdata] set time out faild!!!!!  ", -3);
}

void* TCPServer::listenSubProcess(void* arg) {
  auto* server = static_cast<TCPServer*>(arg);
  std::printf("TCPServer::listenSubProcess timeout = %d \n", static_cast<int>(server->pauseUs_.load()));
  while (!server->loopStop_) {
    if (!server->connected_) {
      std::puts("TCPServer::listenSubProcess listen ...");
      server->waitConnect(0);
      std::puts("TCPServer::listenSubProcess listen done");
    }
    std::this_thread::sleep_for(std::chrono::microseconds(server->pauseUs_ + 100000ull));
  }
  return nullptr;
}

void TCPServer::stopLoop() {
  loopStop_ = true;
  const int fd = listenFd_;
  if (fd >= 0) shutdown(fd, SHUT_RD);
}

}  // namespace zelor::common::network
