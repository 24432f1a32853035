#include "Dynamics/excitation.h"

#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics_constants.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr int kJoints = 6;
constexpr float kHeldJ3 = 100.0f;
// Segment ends: the first cycle with t at one second, up to this much less.
constexpr double kArmEndSlack = 1e-5;
constexpr double kSixEndSlack = 1e-7;

// Start and target state of the running segment, per joint.
float qa[kJoints] = {0.0f, 0.0f, kHeldJ3, 0.0f, 0.0f, 0.0f};
float qad[kJoints] = {};
float qadd[kJoints] = {};
float qb[kJoints] = {};
float qbd[kJoints] = {};
float qbdd[kJoints] = {};

// Position of joint j at t on the quintic from (qa, qad, qadd) to (qb, qbd, qbdd), T = 1 s.
float quintic(int j, float t) {
  const float P0 = qa[j], V0 = qad[j], A0 = qadd[j];
  const float P1 = qb[j], V1 = qbd[j], A1 = qbdd[j];
  const float c0 = P0;
  const float c1 = V0;
  const float c2 = A0 / 2.0f;
  const float c3 = (20.0f * (P1 - P0) - 12.0f * V0 - 8.0f * V1 - 3.0f * A0 + A1) / 2.0f;
  const float c4 = (30.0f * (P0 - P1) + 16.0f * V0 + 14.0f * V1 + 3.0f * A0 - 2.0f * A1) / 2.0f;
  const float c5 = (12.0f * (P1 - P0) - 6.0f * V0 - 6.0f * V1 - A0 + A1) / 2.0f;
  return c0 + t * (c1 + t * (c2 + t * (c3 + t * (c4 + t * c5))));
}

float toDegrees(float rad) { return rad / static_cast<float>(kKinPi) * 180.0f; }

void takeTarget(int j, float q, float qd, float qdd) {
  qb[j] = q;
  qbd[j] = qd;
  qbdd[j] = qdd;
}

void startFrom(int j, float q, float qd, float qdd) {
  qa[j] = q;
  qad[j] = qd;
  qadd[j] = qdd;
}

// Counts the cycle. Returns the segment time, clamped to one second in the
// segment's last cycle, and whether this is that cycle.
float nextCycle(double endSlack, bool& last) {
  ++gPeriodCount;
  const float t = static_cast<float>(gPeriodCount * gPeriodTime);
  // A period that does not divide one second would step over an exact end.
  last = t >= 1.0 - endSlack;
  return last ? 1.0f : t;
}

void finishSegment() {
  gCmdPlanFlag = false;
  gCmdFinishFlag = 1;
  gPeriodCount = 0;
  gStopCmdPlanFlag = 0;
}

}  // namespace

void RadomExcit_scara(float* q, float* qd, float* qdd) {
  if (gCmdFinishFlag != 0) {
    gPauseCmdFlag = 0;
    return;
  }
  if (!gCmdPlanFlag) {
    for (int j = 0; j < 2; ++j) takeTarget(j, q[j], qd[j], qdd[j]);
    gCmdPlanFlag = true;
  }
  bool last = false;
  const float t = nextCycle(kArmEndSlack, last);
  for (int j = 0; j < 2; ++j) gRobotAxisMove.nextPos[j] = toDegrees(quintic(j, t));
  gRobotAxisMove.nextPos[2] = kHeldJ3;
  gRobotAxisMove.nextPos[3] = 0.0;
  if (!last) return;

  // The next segment starts where the arm stands: joints 3 and 4 at rest at
  // their held values, not at the padding of the argument arrays.
  for (int j = 0; j < 2; ++j) startFrom(j, q[j], qd[j], qdd[j]);
  startFrom(2, kHeldJ3, 0.0f, 0.0f);
  startFrom(3, 0.0f, 0.0f, 0.0f);
  finishSegment();
}

void RadomExcit_scara_Z(float q, float qd, float qdd) {
  if (gCmdFinishFlag != 0) {
    gPauseCmdFlag = 0;
    return;
  }
  if (!gCmdPlanFlag) {
    takeTarget(2, q, qd, qdd);
    gCmdPlanFlag = true;
  }
  bool last = false;
  const float t = nextCycle(kArmEndSlack, last);
  gRobotAxisMove.nextPos[0] = 0.0;
  gRobotAxisMove.nextPos[1] = 0.0;
  gRobotAxisMove.nextPos[2] = quintic(2, t);
  gRobotAxisMove.nextPos[3] = 0.0;
  if (!last) return;

  // Joints 1, 2 and 4 were held at 0 during the segment; start them there.
  startFrom(0, 0.0f, 0.0f, 0.0f);
  startFrom(1, 0.0f, 0.0f, 0.0f);
  startFrom(2, q, qd, qdd);
  startFrom(3, 0.0f, 0.0f, 0.0f);
  finishSegment();
}

void RadomExcit_6(float* q, float* qd, float* qdd) {
  if (gCmdFinishFlag != 0) {
    gPauseCmdFlag = 0;
    return;
  }
  if (!gCmdPlanFlag) {
    for (int j = 0; j < kJoints; ++j) takeTarget(j, q[j], qd[j], qdd[j]);
    gCmdPlanFlag = true;
  }
  bool last = false;
  const float t = nextCycle(kSixEndSlack, last);
  constexpr int kSetPoints = sizeof gRobotAxisMove.nextPos / sizeof gRobotAxisMove.nextPos[0];
  for (int j = 0; j < kSetPoints; ++j) gRobotAxisMove.nextPos[j] = toDegrees(quintic(j, t));
  if (!last) return;

  for (int j = 0; j < kJoints; ++j) startFrom(j, q[j], qd[j], qdd[j]);
  finishSegment();
}

void resetQ() {
  for (int j = 0; j < kJoints; ++j) {
    startFrom(j, 0.0f, 0.0f, 0.0f);
    takeTarget(j, 0.0f, 0.0f, 0.0f);
  }
  qa[2] = kHeldJ3;
  gCmdPlanFlag = false;
}
