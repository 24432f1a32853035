#pragma once

// The named command workloads of the load run. Each is closed loop: the next
// send goes out when every reply of the previous one has come.

#include <string>
#include <vector>

namespace zelor::bench {

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

}  // namespace zelor::bench
