#pragma once

// The named command workloads of the load run. Each is closed loop: the next
// send goes out when every reply of the previous one has come.

#include <optional>
#include <string>
#include <vector>

namespace zelor::bench {

// Throughput and reply-latency targets of a workload's run.
struct RateTargets {
  double perSecond;      // replies of all command clients together
  double eachPerSecond;  // replies of every command client
  double p50Ms;
  double p99Ms;
  double maxMs;
};

struct Workload {
  std::string name;
  std::string description;
  // Sends in turn, one after the other; a send holds one or more commands.
  std::vector<std::vector<std::string>> sends;
  // A reply "-1,{}," is the expected answer (a stub), not a failure.
  bool stub = false;
  // One packet exchange per command: the exchange latency is measured too.
  bool singleExchange = false;
  // The targets of one packet exchange apply to its latency.
  bool latencyTarget = false;
};

// Every workload, in the order they run.
const std::vector<Workload>& workloads();

// The throughput and latency targets of a workload's run with this many
// command clients (one per port), when it has any.
std::optional<RateTargets> rateTargets(const Workload& w, int clients);

}  // namespace zelor::bench
