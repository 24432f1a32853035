#include "PTP/stopping/joint_stops.h"
#include "PTP/stopping/playback.h"
#include "PTP/teach/inch_teach.h"
#include "PTP/teach/jog_teach.h"
#include "common/cycle/profile.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

void ProfileCalculate() {
  if (AlarmSysCheck() != 0) {
    KernelLog("ProfileCalculate  AlarmSysCheckAll()==true, gCmdFinishFlag=true   \r\n");
    gCmdFinishFlag = 1;
  }
  if (gDriverAlarmFlag != 0) {
    KernelLog("ProfileCalculate  gDriverAlarmFlag==true, gCmdFinishFlag=true  return!! \r\n");
    gCmdFinishFlag = 1;
    return;
  }
  const bool inching = gSysParams.inchParams.isInch != 0;
  switch (gRobotPrfMode) {
    case kPrfIdle:
      for (double& v : gRobotAxisMove.nextVel) v = 0.0;
      gTeachMove = {};
      gCmdFinishFlag = 1;
      break;
    case kPrfJogJoint:
      if (inching) {
        gInchJoint.Inch();
      } else {
        JointTeach(gTeachMode);
      }
      gPauseCmdFlag = 0;
      break;
    case kPrfJogCartesian:
      if (inching) {
        gInchCoord.Inch();
      } else {
        CrdTeach(gTeachMode);
      }
      gPauseCmdFlag = 0;
      break;
    case kPrfExecute:
      PlayBack(&gPreDealData, gpNextPreDealData);
      break;
    case kPrfConveyorStop:
      ConvSmoothStopS();
      break;
    default:
      break;
  }
}
