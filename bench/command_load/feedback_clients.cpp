#include "feedback_clients.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace zelor::bench {

int connectLoopback(int port, int timeoutMs) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (timeoutMs >= 0) fcntl(fd, F_SETFL, O_NONBLOCK);
  int result = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  if (result != 0 && errno == EINPROGRESS) {
    pollfd p{fd, POLLOUT, 0};
    int error = 0;
    socklen_t length = sizeof error;
    if (poll(&p, 1, timeoutMs) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0) {
      result = 0;
    }
  }
  if (result != 0) {
    close(fd);
    return -1;
  }
  if (timeoutMs >= 0) fcntl(fd, F_SETFL, 0);
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

FeedbackClient::FeedbackClient(int port, std::size_t length)
    : port_(port), length_(length), fd_(connectLoopback(port)), thread_([this] { run(); }) {}

FeedbackClient::~FeedbackClient() {
  stop_ = true;
  thread_.join();
  if (fd_ >= 0) close(fd_);
}

std::vector<Clock::time_point> FeedbackClient::takeArrivals() {
  std::lock_guard lock(mutex_);
  std::vector<Clock::time_point> taken;
  taken.swap(arrivals_);
  return taken;
}

void FeedbackClient::run() {
  if (fd_ < 0) return;
  const unsigned char low = static_cast<unsigned char>(length_ & 0xFF);
  const unsigned char high = static_cast<unsigned char>(length_ >> 8);
  std::vector<unsigned char> buf(64 * 1024);
  std::size_t partial = 0;  // bytes of the current packet already read
  unsigned char head[2] = {};
  bool framed = true;
  while (!stop_) {
    if (paused_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      continue;
    }
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, 50) != 1) continue;
    const ssize_t n = recv(fd_, buf.data(), buf.size(), 0);
    const Clock::time_point now = Clock::now();
    if (n <= 0) {
      dropped_ = true;
      return;
    }
    for (ssize_t i = 0; i < n && framed; ++i) {
      if (partial < 2) head[partial] = buf[static_cast<std::size_t>(i)];
      if (++partial == 2 && (head[0] != low || head[1] != high)) {
        ++framingErrors_;
        framed = false;  // no way to find the next packet's start
      }
      if (partial == length_) {
        partial = 0;
        ++packets_;
        std::lock_guard lock(mutex_);
        arrivals_.push_back(now);
      }
    }
  }
}

}  // namespace zelor::bench
