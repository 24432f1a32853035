#include "plc_host/quillon_side.h"

#include <time.h>

#include <cstdio>

namespace zelor::sim {

namespace {

std::int64_t nowNs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

bool QuillonSide::Start(AxesGroupRef& record, std::string&) {
  record_ = &record;
  const int result = api_.createParameter(record_);
  std::fprintf(stderr, "plc host: RTSCreateParameter returned %d\n", result);
  return true;
}

void QuillonSide::Cycle(std::uint8_t* di, std::uint8_t* dout) {
  api_.plcUpdateDI(di);
  const std::int64_t begin = nowNs();
  api_.startRobot(record_);
  durations_.Add(nowNs() - begin);
  api_.plcUpdateDO(dout);
}

void QuillonSide::Status(std::uint8_t* plcStatus) { api_.robotCmd(plcStatus); }

void QuillonSide::Stop() {
  if (record_ == nullptr) return;
  record_ = nullptr;
  api_.releaseRobot();
}

}  // namespace zelor::sim
