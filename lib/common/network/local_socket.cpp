#include "common/network/local_socket.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <vector>

namespace zelor::common::network {

namespace {

constexpr std::size_t kFrameHeader = 2;

// Abstract address: a leading zero byte, then the name.
socklen_t makeAddress(const std::string& name, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  const std::size_t n = std::min(name.size(), sizeof addr.sun_path - 1);
  std::memcpy(addr.sun_path + 1, name.data(), n);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + n);
}

struct Client {
  int fd;
  std::vector<std::uint8_t> pending;
};

// Hands every whole frame in c.pending to the handler.
void dispatchFrames(Client& c, void* context, LocalSocket::Handler handler) {
  std::size_t at = 0;
  while (c.pending.size() - at >= kFrameHeader) {
    const std::size_t length = (std::size_t{c.pending[at]} << 8) | c.pending[at + 1];
    if (c.pending.size() - at - kFrameHeader < length) break;
    handler(context, c.fd, c.pending.data() + at + kFrameHeader, length);
    at += kFrameHeader + length;
  }
  c.pending.erase(c.pending.begin(), c.pending.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

LocalSocket::LocalSocket(std::string name) : name_(std::move(name)) {
  if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

LocalSocket::~LocalSocket() {
  const int fd = listenFd_.exchange(-1);
  if (fd >= 0) close(fd);
  for (int w : wake_) {
    if (w >= 0) close(w);
  }
}

int LocalSocket::startServer() {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un addr;
  const socklen_t len = makeAddress(name_, addr);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 || listen(fd, kMaxClients) != 0) {
    const int saved = errno;
    close(fd);
    errno = saved;
    return -1;
  }
  listenFd_ = fd;
  return 0;
}

void LocalSocket::runListener(void* context, Handler handler) {
  const int listenFd = listenFd_.load();
  if (listenFd < 0 || handler == nullptr) return;
  std::vector<Client> clients;
  std::vector<pollfd> fds;
  while (!stop_) {
    fds.clear();
    fds.push_back({wake_[0], POLLIN, 0});
    fds.push_back({listenFd, POLLIN, 0});
    for (const Client& c : clients) fds.push_back({c.fd, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      std::perror("[LocalSocket::runListener] poll");
      break;
    }
    if (fds[0].revents != 0) break;
    for (std::size_t i = fds.size(); i-- > 2;) {
      if (fds[i].revents == 0) continue;
      Client& c = clients[i - 2];
      std::uint8_t buf[4096];
      const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
      if (n <= 0) {
        close(c.fd);
        clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i - 2));
        continue;
      }
      c.pending.insert(c.pending.end(), buf, buf + n);
      dispatchFrames(c, context, handler);
    }
    if (fds[1].revents & POLLIN) {
      const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd >= 0 && clients.size() < static_cast<std::size_t>(kMaxClients)) {
        clients.push_back({fd, {}});
      } else if (fd >= 0) {
        close(fd);
      }
    }
  }
  for (const Client& c : clients) close(c.fd);
}

void LocalSocket::stop() {
  stop_ = true;
  if (wake_[1] >= 0) {
    const char b = 1;
    [[maybe_unused]] const ssize_t n = write(wake_[1], &b, 1);
  }
}

int LocalSocket::connectTo(const std::string& name) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un addr;
  const socklen_t len = makeAddress(name, addr);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool LocalSocket::sendFrame(int fd, const void* data, std::size_t length) {
  if (length > 0xFFFF) return false;
  std::vector<std::uint8_t> frame(kFrameHeader + length);
  frame[0] = static_cast<std::uint8_t>(length >> 8);
  frame[1] = static_cast<std::uint8_t>(length);
  if (length > 0) std::memcpy(frame.data() + kFrameHeader, data, length);
  return sendAll(fd, frame.data(), frame.size());
}

bool LocalSocket::sendAll(int fd, const void* data, std::size_t length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  while (length > 0) {
    const ssize_t n = send(fd, p, length, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace zelor::common::network
