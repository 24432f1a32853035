#include "PTP/stopping/playback.h"

#include "Dynamics/excitation.h"
#include "PTP/planners/circle_planner.h"
#include "PTP/planners/jump_planner.h"
#include "PTP/planners/movc.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/movl.h"
#include "PTP/stopping/pause_handling.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr unsigned kAlarmUnknownMotion = 25;
constexpr int kExcitArray = 6;

// The arm excitation's arrays: array k holds the entry's k-th pair, then zeros.
void runArmExcitation(const PreDealData& cur) {
  float q[kExcitArray] = {cur.excit[0], cur.excit[1]};
  float qd[kExcitArray] = {cur.excit[4], cur.excit[5]};
  float qdd[kExcitArray] = {cur.excit[8], cur.excit[9]};
  RadomExcit_scara(q, qd, qdd);
}

// The run phase of the entry's motion type; false for a type that has none.
bool runPhase(PreDealData* cur, PreDealData* next) {
  switch (cur->motionType) {
    case 0:
    case 3:
      JUMP(cur);
      return true;
    case 1:
    case 4:
    case 6:
    case 8:
      MOVJ(cur, next);
      return true;
    case 2:
    case 5:
    case 7:
      MOVL(cur, next);
      return true;
    case 9:
      return true;
    case 10:
      MOVC(cur, next);
      return true;
    case 11:
      Circle(cur, next);
      return true;
    case 12:
      runArmExcitation(*cur);
      return true;
    case 13:
      RadomExcit_scara_Z(cur->excit[0], cur->excit[1], cur->excit[2]);
      return true;
    default:
      return false;
  }
}

}  // namespace

void PlayBack(PreDealData* cur, PreDealData* next) {
  if (gCmdFinishFlag != 0) {
    KernelLog("PlayBack  gCmdFinishFlag == true  gPauseCmdFlag:%d, return !  \r\n", gPauseCmdFlag);
    if (gPauseCmdFlag != 0) {
      gPauseCmdFlag = 0;
      gSysParams.runQueuedCmd = 0;
    }
    return;
  }
  if (!runPhase(cur, next)) {
    AlarmSysSetBit(kAlarmUnknownMotion, true);
    KernelLog("PlayBack type:%d", static_cast<int>(cur->motionType));
    gCmdFinishFlag = 1;
    return;
  }
  if (gPauseCmdFlag != 0) HandlePause(*cur);
}
