// The entry points the PLC runtime calls. None takes a lock of its own; the
// sub-processes serialise their own work.
#include <sys/time.h>

#include <cstdio>

#include "common/protocol/axes_group_ref.h"
#include "quillon.h"
#include "robot_states/robot_states.h"
#include "subProcess/factory_access.h"
#include "zelor_export.h"

namespace {

constexpr int kDataEvery = 10;
constexpr double kSlowCallMs = 1000.0;

}  // namespace

extern "C" {

ZELOR_EXPORT int RTSCreateParameter(void* p) {
  Quillon::instance().init(p);
  return RobotStates::Instance().UpdateEStopAcc(static_cast<AxesGroupRef*>(p));
}

ZELOR_EXPORT int RTSStartRobot(void* p) {
  static int counter = 0;
  timeval begin{};
  gettimeofday(&begin, nullptr);
  SubProcessFactory& factory = subProcessFactory();
  if (counter == 0 || counter > kDataEvery - 1) {
    counter = 0;
    factory.interCall(ISubProcess::DATA, 0, p, nullptr, nullptr);
  }
  ++counter;
  factory.interCall(ISubProcess::CORE, 0, p, nullptr, nullptr);
  timeval end{};
  gettimeofday(&end, nullptr);
  const double ms =
      static_cast<double>((end.tv_sec - begin.tv_sec) * 1000000L + (end.tv_usec - begin.tv_usec)) / 1000.0;
  if (ms >= kSlowCallMs) std::printf("*************======RTSStartRobot:%f\n", ms);
  return 0;
}

ZELOR_EXPORT int RTSPlcUpdateDO(unsigned char* out) {
  subProcessFactory().interCall(ISubProcess::CORE, 1, out, nullptr, nullptr);
  RobotStates::Instance().GetOutputIOStatus(out);
  return 0;
}

ZELOR_EXPORT int RTSPlcUpdateDI(unsigned char* in) {
  RobotStates::Instance().HandleSimulateIOInput(in);
  subProcessFactory().interCall(ISubProcess::CORE, 2, in, nullptr, nullptr);
  RobotStates::Instance().GetInputIOStatus(in);
  return 0;
}

ZELOR_EXPORT int RTSRobotCmd(void* p) {
  RobotStates::Instance().UpdateStatus(p);
  return 0;
}

ZELOR_EXPORT int RTSReleaseRobot(void) {
  Quillon::instance().deinit();
  return 0;
}

}  // extern "C"
