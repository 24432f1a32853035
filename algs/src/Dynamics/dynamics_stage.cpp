#include "Dynamics/dynamics_stage.h"

#include <atomic>
#include <cmath>
#include <cstdint>

#include "Dynamics/excit_recording.h"
#include "Dynamics/scara_idm.h"
#include "Dynamics/torque_observer.h"
#include "PTP/teach/jog_teach.h"
#include "common/command/queued_pause.h"
#include "common/kernel/algs_logs.h"
#include "common/kernel/axes_group.h"
#include "common/kernel/collision_detection.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/dynamics_state.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

constexpr const char* kDynamicsSourcePath = "algs/src/Dynamics";
// π as the kernel's single-precision value.
constexpr double kPi = 3.1415927410125732;
constexpr int kJoints = 4;
// Drives enabled this long arm the observer (s).
constexpr double kArmDelay = 0.5;
constexpr std::uint32_t kControlQueued = 1;
constexpr std::uint32_t kControlJog = 2;

// Velocities of the previous cycle, for the accelerations.
double previousQd[kJoints] = {};
// A collision was present in the previous armed cycle.
bool collisionLatch = false;

void jointState() {
  for (int j = 0; j < kJoints; ++j) {
    const tagServoFeedBack& fb = gServoFeedBack[j];
    if (j == 2) {
      gDynamicInfo.q[j] = static_cast<float>(fb.position);
      gDynamicInfo.qd[j] = static_cast<float>(fb.velocity);
    } else {
      gDynamicInfo.q[j] = static_cast<float>(fb.position / 180.0 * kPi);
      gDynamicInfo.qd[j] = static_cast<float>(fb.velocity / 180.0 * kPi);
    }
    const double qd = gDynamicInfo.qd[j];
    gDynamicInfo.qdd[j] = static_cast<float>((qd - previousQd[j]) / gPeriodTime);
    previousQd[j] = qd;
  }
}

// Feedback torque in drive units over the gear ratio; 0 while the ratio is
// not set up, so no infinite or undefined value enters the observer.
float geared(double torque, double gear) {
  return gear == 0.0 ? 0.0f : static_cast<float>(torque / gear / 1000.0);
}

void measuredTorques(float* tm) {
  tm[0] = geared(gServoFeedBack[0].torque, gJointPara[5]);
  tm[1] = geared(gServoFeedBack[1].torque, gJointPara[6]);
  tm[2] = static_cast<float>(gServoFeedBack[2].torque / 1000.0 * 3.1416 / 0.01);
  tm[3] = geared(gServoFeedBack[3].torque, gJointPara[8]);
  tm[4] = 0.0f;
  tm[5] = 0.0f;
}

// Bit j-1 for each joint j whose estimate exceeds its threshold.
std::uint32_t collidingJoints(const float* r) {
  std::uint32_t mask = 0;
  for (int j = 0; j < kJoints; ++j) {
    if (std::fabs(r[j]) > gTorDiffParams.torDiff[j]) mask |= 1u << j;
  }
  return mask;
}

}  // namespace

void Dynamics(bool full) {
  jointState();
  if (!full) return;

  float tm[6];
  measuredTorques(tm);
  RecordExcitSample(tm);

  if (gIsHandGuiding != 0) IdmHandGuiding(gDynamicInfo.tau, gDynamicInfo.q, gDynamicInfo.qd, gDynamicInfo.qdd);

  const float zeroBias[3] = {0.0f, 0.0f, 0.0f};
  float r[kJoints] = {0.0f, 0.0f, 0.0f, 0.0f};
  const bool armed = gIsCollisionDect != 0 && IsFullyEnable(kArmDelay) && gRobotPrfMode == kPrfExecute;
  TauOb(r, gDynamicInfo.q, gDynamicInfo.qd, tm, zeroBias, static_cast<float>(gPeriodTime), !armed);
  if (!armed) return;

  const std::uint32_t mask = collidingJoints(r);
  if (mask == 0) {
    collisionLatch = false;
    return;
  }

  if (!collisionLatch) {
    for (int j = 0; j < kJoints; ++j) {
      if ((mask & (1u << j)) != 0) ALGS_INFO(kDynamicsSourcePath, "axis[%d] collision!\r\n", j + 1);
    }
    ALGS_INFO(kDynamicsSourcePath, "tauEx:%lf, %lf, %lf, %lf\r\n", r[0], r[1], r[2], r[3]);
    ALGS_INFO(kDynamicsSourcePath, "gTorDiffParams: %.4f %.4f %.4f %.4f\r\n", gTorDiffParams.torDiff[0],
              gTorDiffParams.torDiff[1], gTorDiffParams.torDiff[2], gTorDiffParams.torDiff[3]);
  }
  collisionLatch = true;

  // The data server reads the word to raise its collision alarm, and clears it.
  if (robotAxesGroup != nullptr) {
    std::atomic_ref<std::uint32_t>(robotAxesGroup->m_CollisionWord).store(mask, std::memory_order_relaxed);
  }
  gCollisionPause = 1;
  if (gSysParams.controlType == kControlQueued) {
    QueuedCmdPause();
    KernelLog("collision - Pause \r\n");
  } else if (gSysParams.controlType == kControlJog) {
    gTeachMode = 0;
    KernelLog("collision - stop jog \r\n");
  }
}
