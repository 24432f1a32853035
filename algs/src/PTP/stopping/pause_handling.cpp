#include "PTP/stopping/pause_handling.h"

#include "PTP/stopping/playback.h"
#include "PTP/stopping/stop_request.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

enum class PauseClass { kJointLike, kLine, kArc, kCircle };

PauseClass classOf(std::uint32_t motionType) {
  switch (motionType) {
    case 2:
    case 5:
    case 7:
      return PauseClass::kLine;
    case 10:
      return PauseClass::kArc;
    case 11:
      return PauseClass::kCircle;
    default:  // 0, 1, 3, 4, 6, 8, 9, 12, 13
      return PauseClass::kJointLike;
  }
}

void stop(int kind, const char* log) {
  if (log != nullptr) KernelLog("%s", log);
  SetStopParams(kind);
  PauseStopDeal();
}

void dropRequest() {
  gPauseCmdFlag = 0;
  gSysParams.runQueuedCmd = 0;
}

// The cycles run so far have passed the start of the entry's last phase
// (its total time less the acceleration time).
bool inFinalPhase(const PreDealData& cur) {
  const TrajPlanData& plan = cur.trajPlan;
  return plan.tTotal - plan.tAcc < gPeriodCount * gPeriodTime;
}

const char* mainStopLog(PauseClass c) {
  return c == PauseClass::kLine ? "MOVL main pause stop \r\n" : "MOVC main pause stop \r\n";
}

void commandPause(const PreDealData& cur, PauseClass c) {
  if (gPeriodCount1 != 0) return;  // acted on once the blend has ended
  switch (c) {
    case PauseClass::kJointLike:
      stop(kStopSmooth, "MOVJ pause stop \r\n");
      return;
    case PauseClass::kLine:
    case PauseClass::kArc:
      if (gUsingTrueMotion == 0 && inFinalPhase(cur)) {
        dropRequest();
        KernelLog("%s", c == PauseClass::kLine ? "MOVL trans pause stop \r\n" : "MOVC trans pause stop \r\n");
        return;
      }
      stop(kStopPath, mainStopLog(c));
      return;
    case PauseClass::kCircle:
      if (gPeriodCount * gPeriodTime <= cur.trajPlan.tTotal - cur.trajPlan.tAcc) {
        stop(kStopPath, nullptr);
      } else {
        dropRequest();
      }
      return;
  }
}

void collisionPause(PauseClass c) {
  if (gPeriodCount1 != 0) {
    stop(kStopSmooth, "pause stop:gPeriodCount1 > 0  \r\n");
    return;
  }
  switch (c) {
    case PauseClass::kJointLike:
      stop(kStopSmooth, "MOVJ pause stop \r\n");
      return;
    case PauseClass::kLine:
    case PauseClass::kArc:
      stop(kStopPath, mainStopLog(c));
      return;
    case PauseClass::kCircle:
      stop(kStopPath, nullptr);
      return;
  }
}

}  // namespace

void HandlePause(const PreDealData& cur) {
  const PauseClass c = classOf(cur.motionType);
  if (gCollisionPause != 0) {
    collisionPause(c);
  } else {
    commandPause(cur, c);
  }
}

void PauseStopDeal() {
  gSysParams.runQueuedCmd = 0;
  gCmdFinishFlag = 1;
  gPeriodCount = 0;
  gPeriodCount1 = 0;
}
