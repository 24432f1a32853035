#include "workloads.h"

namespace zelor::bench {

namespace {

std::vector<std::string> tenCp() {
  // Distinct values, so that the order of the replies shows.
  std::vector<std::string> ten;
  for (int v = 50; v < 60; ++v) ten.push_back("CP(" + std::to_string(v) + ")");
  return ten;
}

// Closed-loop moves to reachable points, each different from the one before.
std::vector<std::vector<std::string>> movJPoints() {
  static constexpr int kPoints[][4] = {
      {300, 0, -20, 0}, {280, 80, -40, 30}, {250, -100, -10, -45}, {320, 40, -60, 15}, {260, 120, -30, 60},
      {310, -60, 0, -20},
  };
  std::vector<std::vector<std::string>> sends;
  for (const auto& p : kPoints) {
    sends.push_back({"MovJ(" + std::to_string(p[0]) + "," + std::to_string(p[1]) + "," + std::to_string(p[2]) + "," +
                     std::to_string(p[3]) + ")"});
  }
  return sends;
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
      {"W6", "MovJ(x,y,z,r) to varying points: six exchanges each", movJPoints(), false, false, false},
  };
  return table;
}

std::optional<RateTargets> rateTargets(const Workload& w, int clients) {
  // Six exchanges of one 4 ms cycle each per MovJ; with both ports busy each
  // exchange waits for every second cycle.
  if (w.name == "W6") return clients == 1 ? RateTargets{38, 38, 25, 27, 40} : RateTargets{38, 17, 50, 54, 70};
  return std::nullopt;
}

}  // namespace zelor::bench
