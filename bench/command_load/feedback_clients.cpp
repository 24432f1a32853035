#include "feedback_clients.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

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

// The arrival is the kernel's receive time stamp of the data, not the moment
// this thread woke up to read it: the wake-up delay of a load client with many
// threads says nothing of the stream.
ssize_t FeedbackClient::receive(std::vector<unsigned char>& buf, Clock::time_point& arrival) {
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(timespec))];
  iovec data{buf.data(), buf.size()};
  msghdr message{};
  message.msg_iov = &data;
  message.msg_iovlen = 1;
  message.msg_control = control;
  message.msg_controllen = sizeof control;
  const ssize_t n = recvmsg(fd_, &message, 0);
  arrival = Clock::now();
  for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_TIMESTAMPNS) continue;
    timespec stamp;
    std::memcpy(&stamp, CMSG_DATA(c), sizeof stamp);
    timespec realNow;
    clock_gettime(CLOCK_REALTIME, &realNow);
    const auto age = std::chrono::seconds(realNow.tv_sec - stamp.tv_sec) +
                     std::chrono::nanoseconds(realNow.tv_nsec - stamp.tv_nsec);
    if (age > Clock::duration::zero()) arrival -= std::chrono::duration_cast<Clock::duration>(age);
  }
  return n;
}

void FeedbackClient::run() {
  if (fd_ < 0) return;
  const int on = 1;
  setsockopt(fd_, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on);
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
    Clock::time_point now;
    const ssize_t n = receive(buf, now);
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
