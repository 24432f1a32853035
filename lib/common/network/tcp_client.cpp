#include "common/network/tcp_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

#include "common/network/socket_io.h"

namespace zelor::common::network {

TCPClient::~TCPClient() { closeSocket(); }

void TCPClient::closeSocket() {
  const int fd = fd_.exchange(-1);
  if (fd < 0) return;
  shutdown(fd, SHUT_RDWR);
  close(fd);
}

int TCPClient::makeSocket(const char* who) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) {
    std::printf("%s socket failed\n", who);
    return -1;
  }
  if (setSocketTimeout(fd, SO_SNDTIMEO, timeoutMs_ == 0 ? kNoTimeLimitMs : timeoutMs_) != 0) {
    std::perror("[TCPClient::TCPClientStart] :");
    close(fd);
    return -1;
  }
  fd_ = fd;
  return 0;
}

int TCPClient::connectOnce(const char* who) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(port_);
  if (inet_pton(AF_INET, ip_.c_str(), &addr.sin_addr) != 1) {
    std::printf("%s not an IPv4 address: %s\n", who, ip_.c_str());
    return -1;
  }
  const int r = connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  if (r < 0) {
    std::printf("%s connect faild !!! errcode = %d\n", who, errno);
    char what[96];
    std::snprintf(what, sizeof what, "%s connect ", who);
    std::perror(what);
    return r;
  }
  connected_ = true;
  std::printf("connect to host:%s port:%d success!!! \n", ip_.c_str(), port_);
  return 0;
}

int TCPClient::TCPClientStart(uint16_t port, std::string ip, uint32_t timeoutMs) {
  ip_ = std::move(ip);
  port_ = port;
  timeoutMs_ = timeoutMs;
  closeSocket();
  connected_ = false;
  if (makeSocket("[TCPClient::TCPClientStart]") != 0) return -1;
  return connectOnce("[TCPClient::TCPClientStart]");
}

int TCPClient::connectServer() {
  if (connected_) return 0;
  if (fd_ < 0 && makeSocket("[TCPClient::connectServer]") != 0) return -1;
  return connectOnce("[TCPClient::connectServer]");
}

int TCPClient::sendData(const char* data, uint32_t len) {
  if (data == nullptr) return -1;
  len = sendLength(data, len);
  // The data need not end in a zero: print no more than len bytes.
  std::printf("[TCPClient::sendData]:buf=%.*s,bufSize=%d\n", static_cast<int>(len), data, static_cast<int>(len));
  if (!connected_) return -1;
  return sendNoSignal(fd_, data, len);
}

int TCPClient::recvData(char* buf, uint32_t size, uint32_t timeoutMs) {
  const int fd = fd_;
  if (setSocketTimeout(fd, SO_RCVTIMEO, timeoutMs) != 0) {
    std::printf("[TCPClient::recvdata] set time out faild!!!!!  ");
    return -10;
  }
  return static_cast<int>(recv(fd, buf, size, 0));
}

void* TCPClient::ReConnectSubProcess(void* arg) {
  auto* client = static_cast<TCPClient*>(arg);
  while (!client->loopStop_) {
    client->connectServer();
    // Also after a failure, so a server that is down costs no spinning core.
    std::this_thread::sleep_for(std::chrono::microseconds(client->pauseUs_ + 1000ull));
  }
  return nullptr;
}

}  // namespace zelor::common::network
