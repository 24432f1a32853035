#include "plc_host/packet_endpoint.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace zelor::sim {

namespace {

constexpr int kMaxClients = 8;
// Longer than the host's 2 s wait, so the client always hears the outcome.
constexpr int kClientTimeoutSeconds = 5;

bool fillAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.data(), path.size());
  return true;
}

}  // namespace

ExchangeResult ExchangePacket(const std::string& socketPath, const Packet& request, Packet& reply) {
  sockaddr_un address;
  if (!fillAddress(socketPath, address)) return ExchangeResult::kError;
  const int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd == -1) return ExchangeResult::kError;
  const timeval timeout{kClientTimeoutSeconds, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ExchangeResult result = ExchangeResult::kError;
  if (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
      send(fd, &request, sizeof request, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof request)) {
    Packet answer;
    const ssize_t got = recv(fd, &answer, sizeof answer, 0);
    if (got == static_cast<ssize_t>(sizeof answer)) {
      std::memcpy(&reply, &answer, sizeof reply);
      result = ExchangeResult::kReply;
    } else if (got == 1) {
      unsigned char status;
      std::memcpy(&status, &answer, 1);
      result = status == kEndpointTimedOut ? ExchangeResult::kTimedOut : ExchangeResult::kRefused;
    }
  }
  close(fd);
  return result;
}

PacketEndpoint::~PacketEndpoint() { Stop(); }

bool PacketEndpoint::Start(const std::string& socketPath, Handler handler, std::string& error) {
  sockaddr_un address;
  if (!fillAddress(socketPath, address)) {
    error = "socket path empty or too long: " + socketPath;
    return false;
  }
  listener_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (listener_ == -1 || bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, kMaxClients) != 0 || pipe2(wake_, O_CLOEXEC) != 0) {
    error = "cannot serve " + socketPath + ": " + std::strerror(errno);
    if (listener_ != -1) close(listener_);
    listener_ = -1;
    return false;
  }
  path_ = socketPath;
  handler_ = std::move(handler);
  thread_ = std::thread([this] { serve(); });
  return true;
}

void PacketEndpoint::Stop() {
  if (thread_.joinable()) {
    const char byte = 0;
    [[maybe_unused]] const ssize_t n = write(wake_[1], &byte, 1);
    thread_.join();
  }
  for (int& fd : {std::ref(listener_), std::ref(wake_[0]), std::ref(wake_[1])}) {
    if (fd != -1) close(fd);
    fd = -1;
  }
  if (!path_.empty()) unlink(path_.c_str());
  path_.clear();
}

void PacketEndpoint::serve() {
  std::vector<int> clients;
  for (;;) {
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (int c : clients) fds.push_back({c, POLLIN, 0});
    if (poll(fds.data(), fds.size(), -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0) break;
    if ((fds[1].revents & POLLIN) != 0 && static_cast<int>(clients.size()) < kMaxClients) {
      const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client != -1) clients.push_back(client);
    }
    for (std::size_t i = 2; i < fds.size(); ++i) {
      if (fds[i].revents == 0) continue;
      const int client = fds[i].fd;
      const bool open = (fds[i].revents & POLLIN) != 0 && answer(client);
      if (!open) {
        close(client);
        std::erase(clients, client);
      }
    }
  }
  for (int c : clients) close(c);
}

bool PacketEndpoint::answer(int client) {
  Packet request;
  const ssize_t got = recv(client, &request, sizeof request, MSG_TRUNC);
  if (got <= 0) return false;  // the peer closed
  if (got != static_cast<ssize_t>(sizeof request)) {
    send(client, &kEndpointRefused, 1, MSG_NOSIGNAL);
    return true;
  }
  Packet reply;
  if (handler_(request, reply)) {
    send(client, &reply, sizeof reply, MSG_NOSIGNAL);
  } else {
    send(client, &kEndpointTimedOut, 1, MSG_NOSIGNAL);
  }
  return true;
}

}  // namespace zelor::sim
