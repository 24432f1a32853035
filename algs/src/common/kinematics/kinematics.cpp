#include "common/kinematics/kinematics.h"

#include <cmath>
#include <cstring>

#include "common/kernel/alarms.h"
#include "common/math/fast_trig.h"
#include "common/kinematics/frames.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics_state.h"
#include "common/kernel/sys_params.h"

namespace {

double armL1() { return gScaraMechPara[0]; }
double armL2() { return gScaraMechPara[1]; }
double flangeZOffset() { return gScaraMechPara[3]; }

// Inside the soft limits of joint i (0-based), limits included. Written so
// that a value that is not a number fails.
bool withinLimits(double v, int i) { return v >= gSoftLimitPara[4 + i] && v <= gSoftLimitPara[i]; }

// Beyond this |c| the target is out of reach; up to it a stretched or folded
// arm is taken.
constexpr double kReachTolerance = 1.001;

}  // namespace

void W7ForwardCal(const JointTheta* joints, WCSPosition* pose) {
  const double L1 = armL1(), L2 = armL2();
  const double a1 = joints->j1 * kDegToRad;
  const double a2 = joints->j2 * kDegToRad;
  const double a4 = joints->j4 * kDegToRad;
  const double a12 = a1 + a2;
  pose->x = L1 * cosQ(a1) + L2 * cosQ(a12);
  pose->y = L1 * sinQ(a1) + L2 * sinQ(a12);
  pose->z = joints->j3 + flangeZOffset();
  pose->r = (a12 + a4) * kRadToDeg;
}

int W7InverseCal(const WCSPosition* pose, bool armOrientation, JointTheta* joints, int mode) {
  const double L1 = armL1(), L2 = armL2();
  const double x = pose->x, y = pose->y;
  const double c = (x * x + y * y - L1 * L1 - L2 * L2) / (2.0 * L1 * L2);
  // Also catches c not being a number (no arm lengths yet).
  if (!(std::fabs(c) < kReachTolerance)) return kKinOutOfReach;

  double a1 = 0.0, a2 = 0.0;
  if (c >= 1.0) {
    a1 = std::atan2(y, x);  // stretched
  } else {
    // cos a2 = c and sin a2 = ±sqrt(1 - c²), so the shoulder angle does not
    // wait for the elbow's arc cosine. Folded (c <= -1): the point lies about
    // |L1 - L2| from the axis.
    const bool folded = c <= -1.0;
    const double cosA2 = folded ? -1.0 : c;
    const double sinMag = folded ? 0.0 : std::sqrt((1.0 - c) * (1.0 + c));
    const double sinA2 = armOrientation ? sinMag : -sinMag;
    const double mag = folded ? kKinPi : acosQ(c);
    a2 = armOrientation ? mag : -mag;
    const double k1 = L1 + L2 * cosA2;
    const double k2 = L2 * sinA2;
    a1 = std::atan2(k1 * y - k2 * x, k1 * x + k2 * y);
  }

  joints->j1 = a1 * kRadToDeg;
  joints->j2 = a2 * kRadToDeg;
  joints->j3 = pose->z - flangeZOffset();
  joints->j4 = (pose->r * kDegToRad - a1 - a2) * kRadToDeg;

  if (mode == kCheckSingularity && std::fabs(joints->j2) < gSoftLimitPara[8]) return kKinSingular;
  if (mode != kCheckWithoutJ4 ? !withinLimits(joints->j4, 3) : !std::isfinite(joints->j4)) return kKinSoftLimit;
  if (!withinLimits(joints->j1, 0)) return kKinSoftLimit;
  if (!withinLimits(joints->j2, 1)) return kKinSoftLimit;
  if (!withinLimits(joints->j3, 2)) return kKinSoftLimit;
  return kKinOk;
}

void ForwardCal(const JointTheta* joints, WCSPosition* pose) {
  W7ForwardCal(joints, pose);
  CalcT0toTool(gToolParams, pose);
  CalCordToLocal(pose, pose, &gLocalParams);
}

void ForwardCal(JointTheta joints, WCSPosition* pose, tagToolParams tool, tagLocalParams user) {
  W7ForwardCal(&joints, pose);
  CalcT0toTool(tool, pose);
  CalCordToLocal(pose, pose, &user);
}

void ForwardCalBase(const tagGPose* gpose, WCSPosition* pose, const tagToolParams* tool) {
  W7ForwardCal(&gpose->joint, pose);
  CalcT0toTool(*tool, pose);
}

int InverseCal(const WCSPosition* pose, bool armOrientation, JointTheta* joints, int mode, const tagToolParams* tool,
               const tagLocalParams* user) {
  WCSPosition p;
  CalCordToBase(pose, &p, user);
  CalcTooltoT0(*tool, &p, &p);
  return W7InverseCal(&p, armOrientation, joints, mode);
}

int InverseCalBase(const WCSPosition* pose, bool armOrientation, JointTheta* joints, int mode,
                   const tagToolParams* tool) {
  WCSPosition p;
  CalcTooltoT0(*tool, pose, &p);
  return W7InverseCal(&p, armOrientation, joints, mode);
}

int PointCheck(const WCSPosition* pose, JointTheta* joints, bool armOrientation, int mode, const tagToolParams* tool) {
  const int code = InverseCalBase(pose, armOrientation, joints, mode, tool);
  if (code == kKinOk) return 0;
  AlarmSysSetBit(static_cast<unsigned>(code), true);
  return 1;
}

double JacobiForwardCal(const JointTheta* joints, const double* jointSpeeds, const tagToolParams* tool) {
  const double L1 = armL1(), L2 = armL2();
  const double tx = tool->x, ty = tool->y;
  const double a1 = joints->j1 * kDegToRad;
  const double a12 = a1 + joints->j2 * kDegToRad;
  const double a124 = a12 + joints->j4 * kDegToRad;
  const double s1 = sinQ(a1), c1 = cosQ(a1);
  const double s12 = sinQ(a12), c12 = cosQ(a12);
  const double s124 = sinQ(a124), c124 = cosQ(a124);

  const double dx4 = -ty * c124 - tx * s124;
  const double dx2 = -L2 * s12 + dx4;
  const double dx1 = -L1 * s1 + dx2;
  const double dy4 = tx * c124 - ty * s124;
  const double dy2 = L2 * c12 + dy4;
  const double dy1 = L1 * c1 + dy2;

  const double q1 = jointSpeeds[0] * kDegToRad;
  const double q2 = jointSpeeds[1] * kDegToRad;
  const double q3 = jointSpeeds[2];
  const double q4 = jointSpeeds[3] * kDegToRad;
  const double vx = dx1 * q1 + dx2 * q2 + dx4 * q4;
  const double vy = dy1 * q1 + dy2 * q2 + dy4 * q4;
  return std::sqrt(vx * vx + vy * vy + q3 * q3);
}

double JacobiForwardCal(const double* jointSpeeds) {
  JointTheta joints;
  std::memcpy(&joints, &gSysParams.joint, sizeof joints);  // packed record
  return JacobiForwardCal(&joints, jointSpeeds, &gToolParams);
}
