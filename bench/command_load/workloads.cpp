#include "workloads.h"

namespace zelor::bench {

namespace {

std::vector<std::string> tenCp() {
  // Distinct values, so that the order of the replies shows.
  std::vector<std::string> ten;
  for (int v = 50; v < 60; ++v) ten.push_back("CP(" + std::to_string(v) + ")");
  return ten;
}

}  // namespace

const std::vector<Workload>& workloads() {
  static const std::vector<Workload> table = {
      {"W0", "ServoP(), a stub with no packet exchange", {{"ServoP()"}}, true, false, false},
      {"W1", "SpeedFactor(50)/(60): one immediate exchange (id 52)", {{"SpeedFactor(50)"}, {"SpeedFactor(60)"}},
       false, true, true},
      {"W1q", "CP(50)/(60): one queued exchange (id 51)", {{"CP(50)"}, {"CP(60)"}}, false, true, true},
      {"W2", "SpeedJ(50)/(60): the 83 read and the queued 83 write", {{"SpeedJ(50)"}, {"SpeedJ(60)"}}, false, false,
       false},
      {"Wp", "ten CP() in one send, replies in order", {tenCp()}, false, false, false},
  };
  return table;
}

}  // namespace zelor::bench
