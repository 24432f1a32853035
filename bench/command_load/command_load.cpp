// Load on brevan's port 29999: a stub command's round trip in a closed loop,
// then the CPU of brevan idle (no client, each port polling every 1 ms).
//   command_load <brevan pid> [seconds of load, default 60]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// utime + stime of a process, in clock ticks.
long cpuTicks(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

int connectPort(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: command_load <brevan pid> [seconds]\n");
    return 2;
  }
  const int pid = std::atoi(argv[1]);
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  const std::string command = "ServoP()";
  const std::string expected = "-1,{},ServoP();";

  int fd = -1;
  for (int i = 0; i < 100 && fd < 0; ++i) {
    fd = connectPort(29999);
    if (fd < 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (fd < 0) {
    std::fprintf(stderr, "port 29999 never answered\n");
    return 1;
  }
  std::vector<double> ms;
  const auto end = Clock::now() + std::chrono::seconds(seconds);
  char buf[256];
  while (Clock::now() < end) {
    const auto start = Clock::now();
    if (send(fd, command.data(), command.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(command.size())) break;
    std::size_t got = 0;
    while (got < expected.size()) {
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got != expected.size()) {
      std::fprintf(stderr, "reply cut short\n");
      return 1;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  close(fd);
  if (ms.empty()) return 1;
  std::sort(ms.begin(), ms.end());
  const double p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
  std::printf("stub round trip on 29999: %zu commands, p50 %.3f ms, p99 %.3f ms (target p99 <= 1 ms)%s\n",
              ms.size(), ms[ms.size() / 2], p99, p99 <= 1.0 ? "" : "  OVER TARGET");

  std::this_thread::sleep_for(std::chrono::seconds(1));  // the port back to idle
  const long ticksPerSecond = sysconf(_SC_CLK_TCK);
  const long before = cpuTicks(pid);
  const auto idleStart = Clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  const double wall = std::chrono::duration<double>(Clock::now() - idleStart).count();
  const double percent = 100.0 * static_cast<double>(cpuTicks(pid) - before) / ticksPerSecond / wall;
  std::printf("idle brevan CPU: %.2f %% of one core (target < 3 %%)%s\n", percent, percent < 3.0 ? "" : "  OVER TARGET");
  return 0;
}
