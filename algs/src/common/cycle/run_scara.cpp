#include "common/cycle/run_scara.h"

#include "PTP/pipeline/entry_runner.h"
#include "PTP/pipeline/pre_deal.h"
#include "common/cycle/cycle_steps.h"
#include "common/cycle/profile.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"

void RunSCARA(AxesGroupRef* axesGroup) {
  if (axesGroup == nullptr) return;
  AxesGroupRef& g = *axesGroup;

  PreDealDataCalculate(&gPackedCmdQueue, &gPreDealDataQueue);
  PreDealDataRunning(&gPreDealDataQueue);
  for (int j = 0; j < 4; ++j) {
    gServoFeedBack[j].position = g.m_Joints[j].m_ActPosition;
    gServoFeedBack[j].velocity = g.m_Joints[j].m_ActVelocity;
    gServoFeedBack[j].torque = g.m_Joints[j].m_ActTorque;
  }
  Profile(&g);

  UpdateTrack();
  RefillNextConveyorObject();

  CheckGroupErrors(g);
  CheckSafetyInputs();
  CheckOperational(g);
  if (!RecoverDriveFaults(g)) {
    HandleEnable(g);
    HandleHoming(g);
  }
  CheckDriveFaults(g);

  HandleEncoderReset(g);
  UpdateEncoderChannels(g);
  HandleLatch(g);
  WriteSetValues(g);
  ServoModeSwitch(g);
  EnableCompensation(g);
}
