// Load on brevan: closed-loop command workloads on ports 29999 and 30003
// while ten clients read each feedback port (30004, 30005, 30006), a prober
// knocks on every port once a second, and brevan's CPU time is measured idle
// and under load. Prints each measure beside its target.
//   command_load <brevan pid> [seconds per run, default 60] [workload...]
// Workloads are named in workloads.cpp (default: all of them). 30005 and
// 30006 must run with "cycle" 8, 30006 with every field on.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/ipc/real_time_data.h"
#include "feedback_clients.h"
#include "load_stats.h"
#include "log_reader/log_queue_reader.h"
#include "workloads.h"

namespace zelor::bench {
namespace {

using namespace std::chrono_literals;

constexpr double kExchangeTargetMs = 5.5;
constexpr double kStubTargetMs = 1.0;
constexpr double kJitterTargetMs = 0.5;
constexpr double kGapLimitMs = 25.0;
constexpr double kIdleCpuTargetPercent = 3.0;
constexpr int kFeedbackClientsPerPort = 10;
constexpr double kRealSlack = 1.2;
constexpr std::size_t kPoseOffset = offsetof(RealTimeData_t, ActualPose);
constexpr std::size_t kJointsOffset = offsetof(RealTimeData_t, QActual);

double msBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// utime + stime of a process, in clock ticks.
long cpuTicks(int pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) stime = std::stol(field);
  }
  return utime + stime;
}

// CPU of pid over a stretch, in percent of one core.
class CpuMeter {
 public:
  explicit CpuMeter(int pid) : pid_(pid), ticks_(cpuTicks(pid)), start_(Clock::now()) {}
  double percent() const {
    const double wall = std::chrono::duration<double>(Clock::now() - start_).count();
    return 100.0 * static_cast<double>(cpuTicks(pid_) - ticks_) / static_cast<double>(sysconf(_SC_CLK_TCK)) / wall;
  }

 private:
  int pid_;
  long ticks_;
  Clock::time_point start_;
};

// Lines of brevan's log channel 15 that the run counts.
class LogCounter {
 public:
  LogCounter()
      : thread_([this] {
          std::string line;
          while (!stop_) {
            if (!zelor::sim::readLogChannel(15, line, 100)) continue;
            if (line.find("recv packet faild") != std::string::npos) ++recvFailed_;
            if (line.find("waiting for a vaild value") != std::string::npos) ++validityWaitLines_;
            if (line.find("cleared a msg in responseMsq") != std::string::npos) ++drainedLines_;
            readCounts(line);
          }
        }) {}
  ~LogCounter() {
    stop_ = true;
    thread_.join();
  }
  int recvFailed() const { return recvFailed_.load(); }
  int validityWaitLines() const { return validityWaitLines_.load(); }
  int drainedLines() const { return drainedLines_.load(); }
  // brevan's exchange counters as it last logged them (-1 before the first).
  long matched() const { return matched_.load(); }
  long drained() const { return drained_.load(); }

 private:
  // "replies matched by sequence: N, drained late: M"
  void readCounts(const std::string& line) {
    static constexpr const char* kMatched = "replies matched by sequence: ";
    static constexpr const char* kDrained = ", drained late: ";
    const std::size_t at = line.find(kMatched);
    if (at == std::string::npos) return;
    const std::size_t late = line.find(kDrained, at);
    if (late == std::string::npos) return;
    matched_ = std::atol(line.c_str() + at + std::strlen(kMatched));
    drained_ = std::atol(line.c_str() + late + std::strlen(kDrained));
  }

  std::atomic<bool> stop_{false};
  std::atomic<int> recvFailed_{0};
  std::atomic<int> validityWaitLines_{0};
  std::atomic<int> drainedLines_{0};
  std::atomic<long> matched_{-1};
  std::atomic<long> drained_{-1};
  std::thread thread_;
};

// The time of each command port's latest reply, for the exchange latency.
std::atomic<std::int64_t> gLastReplyNs[2];

std::int64_t nowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

struct CommandResult {
  std::vector<double> latencyMs;
  std::vector<double> exchangeMs;
  int minusOne = 0;
  int outOfOrder = 0;
  bool broken = false;
};

// One command port's client: runs a workload in a closed loop.
class CommandClient {
 public:
  CommandClient(int port, int index) : port_(port), index_(index), fd_(connectLoopback(port)) {}
  ~CommandClient() {
    if (fd_ >= 0) close(fd_);
  }
  bool connected() const { return fd_ >= 0; }

  CommandResult run(const Workload& w, Clock::time_point end) {
    CommandResult r;
    std::size_t turn = 0;
    while (Clock::now() < end && !r.broken) {
      const std::vector<std::string>& commands = w.sends[turn++ % w.sends.size()];
      std::string text;
      for (const std::string& c : commands) text += c;
      const Clock::time_point sent = Clock::now();
      const std::int64_t sentNs = nowNs();
      if (::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size())) {
        r.broken = true;
        break;
      }
      for (const std::string& command : commands) {
        std::string reply;
        if (!readReply(reply)) {
          r.broken = true;
          break;
        }
        const Clock::time_point got = Clock::now();
        const std::int64_t gotNs = nowNs();
        r.latencyMs.push_back(msBetween(sent, got));
        if (w.singleExchange) {
          const std::int64_t other = gLastReplyNs[1 - index_].load();
          const std::int64_t from = std::max(sentNs, other < gotNs ? other : sentNs);
          r.exchangeMs.push_back(static_cast<double>(gotNs - from) / 1e6);
        }
        gLastReplyNs[index_] = gotNs;
        if (!w.stub && reply.rfind("-1,{},", 0) == 0) ++r.minusOne;
        if (reply.size() < command.size() + 1 || reply.compare(reply.size() - command.size() - 1, command.size(),
                                                                command) != 0) {
          ++r.outOfOrder;
        }
      }
    }
    return r;
  }

 private:
  // One reply up to and with its ';'.
  bool readReply(std::string& reply) {
    for (;;) {
      const std::size_t end = pending_.find(';');
      if (end != std::string::npos) {
        reply = pending_.substr(0, end + 1);
        pending_.erase(0, end + 1);
        return true;
      }
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 5000) != 1) return false;
      char buf[4096];
      const ssize_t n = recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return false;
      pending_.append(buf, static_cast<std::size_t>(n));
    }
  }

  int port_;
  int index_;
  int fd_;
  std::string pending_;
};

// Once a second: one more connection to each busy port. A feedback port must
// hold it in the backlog (no data) and a command port refuse or hold it (no
// reply); served clients must not notice.
class Prober {
 public:
  explicit Prober(std::vector<int> ports)
      : ports_(std::move(ports)), thread_([this] {
          while (!stop_) {
            for (int port : ports_) probe(port);
            for (int i = 0; i < 10 && !stop_; ++i) std::this_thread::sleep_for(100ms);
          }
        }) {}
  ~Prober() {
    stop_ = true;
    thread_.join();
  }
  int served() const { return served_.load(); }
  int probes() const { return probes_.load(); }

 private:
  void probe(int port) {
    ++probes_;
    // A full backlog drops the handshake, so the connect waits: held.
    const int fd = connectLoopback(port, 200);
    if (fd < 0) return;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) == 1) {
      char byte;
      if (recv(fd, &byte, 1, MSG_DONTWAIT) > 0) ++served_;  // data: it was served
    }
    close(fd);
  }
  std::vector<int> ports_;
  std::atomic<bool> stop_{false};
  std::atomic<int> served_{0};
  std::atomic<int> probes_{0};
  std::thread thread_;
};

struct FeedbackPort {
  int port = 0;
  std::size_t length = 0;
  std::vector<std::unique_ptr<FeedbackClient>> clients;
};

void printLatency(const char* label, const Percentiles& p) {
  std::printf("    %-28s n=%zu p50 %.3f  p95 %.3f  p99 %.3f  max %.3f ms\n", label, p.count, p.p50, p.p95, p.p99,
              p.max);
}

// The sender's side of one port's stream: per packet, the earliest arrival
// over the port's clients (when the broadcast began) and the spread to the
// latest (how long it took). Clients are matched packet by packet to the
// first one: a run may start while a broadcast is half done.
void printBroadcast(int port, const std::vector<std::vector<Clock::time_point>>& arrivals) {
  if (arrivals.empty() || arrivals[0].size() < 3) return;
  const std::vector<Clock::time_point>& base = arrivals[0];
  std::vector<std::ptrdiff_t> shift;
  for (const auto& a : arrivals) {
    std::ptrdiff_t best = 0;
    double bestDistance = 1e18;
    for (std::ptrdiff_t s = -1; s <= 1; ++s) {
      const std::ptrdiff_t k = 1 + s;
      if (k < 0 || k >= static_cast<std::ptrdiff_t>(a.size())) continue;
      const double d = std::fabs(msBetween(base[1], a[static_cast<std::size_t>(k)]));
      if (d < bestDistance) {
        bestDistance = d;
        best = s;
      }
    }
    shift.push_back(best);
  }
  std::vector<double> gaps, spreads;
  Clock::time_point previous{};
  for (std::size_t k = 1; k + 1 < base.size(); ++k) {
    Clock::time_point first = base[k], last = base[k];
    bool whole = true;
    for (std::size_t c = 0; c < arrivals.size() && whole; ++c) {
      const std::ptrdiff_t at = static_cast<std::ptrdiff_t>(k) + shift[c];
      whole = at >= 0 && at < static_cast<std::ptrdiff_t>(arrivals[c].size());
      if (!whole) break;
      first = std::min(first, arrivals[c][static_cast<std::size_t>(at)]);
      last = std::max(last, arrivals[c][static_cast<std::size_t>(at)]);
    }
    if (!whole) break;
    if (previous != Clock::time_point{}) gaps.push_back(msBetween(previous, first));
    spreads.push_back(msBetween(first, last));
    previous = first;
  }
  const Percentiles g = percentiles(gaps), sp = percentiles(spreads);
  std::printf("    port %d broadcasts: first arrival every p50 %.3f p99 %.3f max %.3f ms; first to last client "
              "p50 %.3f p99 %.3f max %.3f ms\n",
              port, g.p50, g.p99, g.max, sp.p50, sp.p99, sp.max);
}

// Inter-arrival figures of every feedback client over one run; checks the
// jitter of 30004 when asked.
void reportFeedback(std::vector<FeedbackPort>& ports, bool checkJitter, Verdicts& v) {
  for (FeedbackPort& fp : ports) {
    std::vector<std::vector<Clock::time_point>> arrivals;
    std::size_t best = 0;
    for (auto& c : fp.clients) {
      arrivals.push_back(c->takeArrivals());
      best = std::max(best, arrivals.back().size());
    }
    printBroadcast(fp.port, arrivals);
    double worstJitter = 0, worstGap = 0, worstP99 = 0, medianP50 = 0;
    std::size_t fewest = best;
    for (const auto& a : arrivals) {
      std::vector<double> gaps;
      for (std::size_t i = 1; i < a.size(); ++i) gaps.push_back(msBetween(a[i - 1], a[i]));
      const Percentiles p = percentiles(gaps);
      worstJitter = std::max(worstJitter, p.p99 - p.p50);
      worstGap = std::max(worstGap, p.max);
      worstP99 = std::max(worstP99, p.p99);
      medianP50 += p.p50 / static_cast<double>(arrivals.size());
      fewest = std::min(fewest, a.size());
    }
    std::printf("    port %d: packets per client %zu..%zu, inter-arrival p50 %.3f (mean of clients), worst p99 %.3f, "
                "worst max %.3f ms\n",
                fp.port, fewest, best, medianP50, worstP99, worstGap);
    if (checkJitter && fp.port == 30004) {
      v.check(worstJitter <= kJitterTargetMs, "30004 jitter p99-p50 " + std::to_string(worstJitter) + " ms <= 0.5 ms");
    }
    v.check(static_cast<double>(fewest) >= 0.99 * static_cast<double>(best),
            "port " + std::to_string(fp.port) + " every client >= 99 % of the best one's packets");
    v.check(worstGap <= kGapLimitMs, "port " + std::to_string(fp.port) + " no gap over 25 ms (worst " +
                                         std::to_string(worstGap) + " ms)");
  }
}

// One whole 30004 packet read on a connection of its own; empty when none
// comes in time.
std::vector<unsigned char> onePacket30004(std::chrono::milliseconds timeout) {
  const Clock::time_point end = Clock::now() + timeout;
  while (Clock::now() < end) {
    const int fd = connectLoopback(30004, 1000);
    if (fd < 0) {
      std::this_thread::sleep_for(100ms);
      continue;
    }
    std::vector<unsigned char> packet(sizeof(RealTimeData_t));
    std::size_t got = 0;
    while (got < packet.size() && Clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) != 1) continue;
      const ssize_t n = recv(fd, packet.data() + got, packet.size() - got, 0);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    close(fd);
    if (got == packet.size() && packet[0] == 0xA0 && packet[1] == 0x05) return packet;
    std::this_thread::sleep_for(100ms);
  }
  return {};
}

// One command on a connection of its own: its reply, or "" after the time-out.
std::string commandOnce(int port, const std::string& line, std::chrono::milliseconds timeout) {
  const int fd = connectLoopback(port, 1000);
  if (fd < 0) return "";
  std::string reply;
  const Clock::time_point end = Clock::now() + timeout;
  if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(line.size())) {
    while (reply.find(';') == std::string::npos && Clock::now() < end) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) != 1) continue;
      char buf[512];
      const ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) break;
      reply.append(buf, static_cast<std::size_t>(n));
    }
  }
  close(fd);
  return reply.find(';') == std::string::npos ? "" : reply;
}

// True once the joints read the same in packets 300 ms
// apart.
bool waitForStillArm(std::chrono::milliseconds timeout) {
  const Clock::time_point end = Clock::now() + timeout;
  std::vector<unsigned char> before = onePacket30004(2s);
  while (!before.empty() && Clock::now() < end) {
    std::this_thread::sleep_for(300ms);
    std::vector<unsigned char> now = onePacket30004(2s);
    if (now.empty()) return false;
    if (std::memcmp(before.data() + kJointsOffset, now.data() + kJointsOffset, 4 * sizeof(double)) == 0) return true;
    before = std::move(now);
  }
  return false;
}

// With the real data server and kernel: enables the arm and points W6 at its
// present pose (read from 30004), so that every move ends within a few cycles
// and the kernel's queue never fills.
bool prepareRealArm(std::vector<Workload>& list) {
  std::printf("== real data server and kernel: enabling the arm\n");
  // The snapshot behind the stream starts some seconds after the data server.
  if (onePacket30004(60s).empty()) {
    std::fprintf(stderr, "no 30004 packet from the real data server\n");
    return false;
  }
  const std::string enabled = commandOnce(29999, "EnableRobot()", 30s);
  std::printf("    EnableRobot() answered \"%s\"\n", enabled.c_str());
  if (enabled.rfind("0,{},", 0) != 0) return false;
  const std::vector<unsigned char> packet = onePacket30004(5s);
  if (packet.empty()) return false;
  double pose[4];
  std::memcpy(pose, packet.data() + kPoseOffset, sizeof pose);
  char move[160];
  std::snprintf(move, sizeof move, "MovJ(%.4f,%.4f,%.4f,%.4f)", pose[0], pose[1], pose[2], pose[3]);
  // A first move to the present pose, on the hand the arm starts on: a null
  // move that runs, and ends, before the measured ones.
  const std::string first = commandOnce(30003, move, 5s);
  if (first.rfind("0,{},", 0) != 0) {
    std::fprintf(stderr, "the first move was answered \"%s\"\n", first.c_str());
    return false;
  }
  if (!waitForStillArm(30s)) {
    std::fprintf(stderr, "the arm did not come to rest after the first move\n");
    return false;
  }
  std::printf("    W6 moves to the present pose: %s\n", move);
  for (Workload& w : list) {
    if (w.name == "W6") w.sends = {{move}};
  }
  std::this_thread::sleep_for(500ms);  // the ports free the slots of these connections
  return true;
}

int run(int pid, int seconds, const std::vector<std::string>& names, bool real) {
  Verdicts v;
  LogCounter log;
  // The ports come up during brevan's start-up.
  for (int i = 0; i < 100; ++i) {
    const int fd = connectLoopback(30006);
    if (fd >= 0) {
      close(fd);
      break;
    }
    std::this_thread::sleep_for(100ms);
  }
  std::this_thread::sleep_for(1s);

  std::printf("== idle: no client, 10 s\n");
  {
    CpuMeter idle(pid);
    std::this_thread::sleep_for(10s);
    const double percent = idle.percent();
    v.check(percent < kIdleCpuTargetPercent, "idle brevan CPU " + std::to_string(percent) + " % of one core < 3 %");
  }

  std::vector<Workload> list = workloads();
  // Against the real data server and kernel every latency may be 20 % longer
  // (and a closed loop's throughput as much lower).
  const double slack = real ? kRealSlack : 1.0;
  if (real && !prepareRealArm(list)) return 1;
  const double exchangeTargetMs = kExchangeTargetMs * slack;
  const double stubTargetMs = kStubTargetMs * slack;

  std::vector<FeedbackPort> feedback(3);
  feedback[0].port = 30004;
  feedback[0].length = 1440;
  feedback[1].port = 30005;
  feedback[1].length = 1440;
  feedback[2].port = 30006;
  feedback[2].length = 1252;
  for (FeedbackPort& fp : feedback) {
    for (int i = 0; i < kFeedbackClientsPerPort; ++i) {
      fp.clients.push_back(std::make_unique<FeedbackClient>(fp.port, fp.length));
      if (!fp.clients.back()->connected()) std::printf("    port %d: client %d could not connect\n", fp.port, i);
      std::this_thread::sleep_for(60ms);  // one accept walk each
    }
  }
  CommandClient ports[2] = {CommandClient(29999, 0), CommandClient(30003, 1)};
  if (!ports[0].connected() || !ports[1].connected()) {
    std::fprintf(stderr, "a command port did not accept the load client\n");
    return 1;
  }
  std::this_thread::sleep_for(1s);
  for (FeedbackPort& fp : feedback)
    for (auto& c : fp.clients) c->takeArrivals();

  auto prober = std::make_unique<Prober>(std::vector<int>{29999, 30003, 30004, 30005, 30006});
  CpuMeter load(pid);
  const int recvFailedBefore = log.recvFailed();
  const int drainedLinesBefore = log.drainedLines();
  for (const Workload& w : list) {
    if (!names.empty() && std::find(names.begin(), names.end(), w.name) == names.end()) continue;
    for (int clients = 1; clients <= 2; ++clients) {
      std::printf("== %s (%s), %d command client%s, %d s\n", w.name.c_str(), w.description.c_str(), clients,
                  clients == 1 ? "" : "s", seconds);
      const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
      CommandResult results[2];
      std::vector<std::thread> threads;
      for (int c = 0; c < clients; ++c) threads.emplace_back([&, c] { results[c] = ports[c].run(w, end); });
      for (std::thread& t : threads) t.join();

      std::vector<double> all, exchange;
      std::size_t replies = 0;
      for (int c = 0; c < clients; ++c) {
        const CommandResult& r = results[c];
        const std::string label = std::string(c == 0 ? "29999" : "30003") + " reply latency";
        printLatency(label.c_str(), percentiles(r.latencyMs));
        std::printf("    %s: %.1f commands/s\n", c == 0 ? "29999" : "30003", r.latencyMs.size() / double(seconds));
        all.insert(all.end(), r.latencyMs.begin(), r.latencyMs.end());
        exchange.insert(exchange.end(), r.exchangeMs.begin(), r.exchangeMs.end());
        replies += r.latencyMs.size();
        v.check(!r.broken, "command client on port " + std::string(c == 0 ? "29999" : "30003") + " kept its connection");
        v.check(r.minusOne == 0, "no \"-1,{},\" reply (" + std::to_string(r.minusOne) + ")");
        v.check(r.outOfOrder == 0, "every reply whole and in order (" + std::to_string(r.outOfOrder) + " not)");
      }
      std::printf("    total: %.1f commands/s\n", all.size() / double(seconds));
      const Percentiles total = percentiles(all);
      if (w.stub) {
        v.check(total.p99 <= stubTargetMs,
                "stub round trip p99 " + std::to_string(total.p99) + " ms <= " + std::to_string(stubTargetMs) + " ms");
      } else if (w.latencyTarget && clients == 1) {
        v.check(total.p99 <= exchangeTargetMs,
                "reply p99 " + std::to_string(total.p99) + " ms <= " + std::to_string(exchangeTargetMs) + " ms");
      } else if (w.latencyTarget) {
        const Percentiles ex = percentiles(exchange);
        printLatency("exchange latency", ex);
        v.check(ex.p99 <= exchangeTargetMs,
                "exchange p99 " + std::to_string(ex.p99) + " ms <= " + std::to_string(exchangeTargetMs) + " ms");
      }
      if (std::optional<RateTargets> t = rateTargets(w, clients)) {
        t->perSecond /= slack;
        t->eachPerSecond /= slack;
        t->p50Ms *= slack;
        t->p99Ms *= slack;
        t->maxMs *= slack;
        const double rate = all.size() / double(seconds);
        v.check(rate >= t->perSecond, "throughput " + std::to_string(rate) + " /s >= " + std::to_string(t->perSecond));
        for (int c = 0; c < clients; ++c) {
          const double each = results[c].latencyMs.size() / double(seconds);
          v.check(each >= t->eachPerSecond, std::string(c == 0 ? "29999" : "30003") + " throughput " +
                                                std::to_string(each) + " /s >= " + std::to_string(t->eachPerSecond));
        }
        v.check(total.p50 <= t->p50Ms, "reply p50 " + std::to_string(total.p50) + " ms <= " + std::to_string(t->p50Ms));
        v.check(total.p99 <= t->p99Ms, "reply p99 " + std::to_string(total.p99) + " ms <= " + std::to_string(t->p99Ms));
        v.check(total.max <= t->maxMs, "reply max " + std::to_string(total.max) + " ms <= " + std::to_string(t->maxMs));
      }
      if (clients == 2 && replies > 0) {
        for (int c = 0; c < 2; ++c) {
          const double share = 100.0 * results[c].latencyMs.size() / double(replies);
          v.check(share >= 45.0, std::string(c == 0 ? "29999" : "30003") + " share of replies " +
                                     std::to_string(share) + " % >= 45 %");
        }
      }
      reportFeedback(feedback, w.name == "W1" || w.name == "W2" || w.name == "W6", v);
    }
  }
  const double loadCpu = load.percent();
  std::printf("== over all runs\n");
  std::printf("    brevan CPU under load: %.1f %% of one core\n", loadCpu);
  v.check(log.recvFailed() - recvFailedBefore == 0,
          "no \"recv packet faild\" line (" + std::to_string(log.recvFailed() - recvFailedBefore) + ")");
  std::printf("    \" waiting for a vaild value\" lines (one per 3 s of waiting): %d\n", log.validityWaitLines());
  // brevan logs its counters at most once a second, while it exchanges.
  std::printf("    replies matched by sequence: %ld, drained late: %ld (\"cleared a msg\" lines seen: %d)\n",
              log.matched(), log.drained(), log.drainedLines() - drainedLinesBefore);
  v.check(log.drainedLines() - drainedLinesBefore == 0,
          "no reply drained late (" + std::to_string(log.drainedLines() - drainedLinesBefore) + ")");
  std::printf("    prober: %d probes, %d served beyond the limit\n", prober->probes(), prober->served());
  v.check(prober->served() == 0, "no probe served beyond the per-port limit");
  prober.reset();
  for (FeedbackPort& fp : feedback) {
    std::uint64_t framing = 0;
    int dropped = 0;
    for (auto& c : fp.clients) {
      framing += c->framingErrors();
      dropped += c->dropped() ? 1 : 0;
    }
    v.check(framing == 0 && dropped == 0, "port " + std::to_string(fp.port) + ": no framing error (" +
                                              std::to_string(framing) + "), no dropped client (" +
                                              std::to_string(dropped) + ")");
  }

  // Stall check: one 30004 client stops reading; once its buffers are full it
  // is dropped after one send time-out, and the others see one gap at most.
  std::printf("== stall check: one 30004 client stops reading\n");
  FeedbackClient& stalled = *feedback[0].clients.front();
  for (auto& c : feedback[0].clients) c->takeArrivals();
  const std::uint64_t framingBefore = [&] {
    std::uint64_t n = 0;
    for (auto& c : feedback[0].clients) n += c->framingErrors();
    return n;
  }();
  stalled.pause(true);
  const Clock::time_point stallStart = Clock::now();
  bool gone = false;
  while (!gone && Clock::now() - stallStart < 120s) {
    std::this_thread::sleep_for(200ms);
    const int fd = connectLoopback(30004, 200);  // takes the freed slot, if one is free
    if (fd >= 0) {
      pollfd p{fd, POLLIN, 0};
      gone = poll(&p, 1, 200) == 1;
      close(fd);
    }
  }
  stalled.pause(false);
  std::printf("    the stalled client was %s after %.1f s\n", gone ? "dropped" : "NOT dropped",
              std::chrono::duration<double>(Clock::now() - stallStart).count());
  v.check(gone, "stalled client dropped");
  double worstGap = 0;
  std::uint64_t framingAfter = 0;
  for (std::size_t i = 1; i < feedback[0].clients.size(); ++i) {
    const auto a = feedback[0].clients[i]->takeArrivals();
    for (std::size_t k = 1; k < a.size(); ++k) worstGap = std::max(worstGap, msBetween(a[k - 1], a[k]));
  }
  for (auto& c : feedback[0].clients) framingAfter += c->framingErrors();
  std::printf("    worst gap of the nine others: %.1f ms (about one 500 ms time-out expected)\n", worstGap);
  v.check(worstGap <= 700.0, "the others' worst gap <= one time-out (+200 ms)");
  v.check(framingAfter == framingBefore, "no lost or partial packet for the others");

  std::printf("== targets: %d met, %d missed\n", v.met, v.missed);
  return v.missed == 0 ? 0 : 3;
}

}  // namespace
}  // namespace zelor::bench

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // progress shows while it runs
  // --real: brevan talks to the real data server and kernel, not the peer.
  const bool real = argc > 1 && std::string(argv[1]) == "--real";
  if (real) {
    --argc;
    ++argv;
  }
  if (argc < 2) {
    std::fprintf(stderr, "usage: command_load [--real] <brevan pid> [seconds per run] [workload...]\n");
    return 2;
  }
  std::vector<std::string> names(argv + std::min(argc, 3), argv + argc);
  return zelor::bench::run(std::atoi(argv[1]), argc > 2 ? std::atoi(argv[2]) : 60, names, real);
}
