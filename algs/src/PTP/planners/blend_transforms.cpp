// The following move's share of the set point while the running move blends into it.
#include "PTP/path/arc_point.h"
#include "PTP/path/blending.h"
#include "PTP/path/circle_geometry.h"
#include "PTP/path/input_shaping.h"
#include "PTP/planners/path_transforms.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics_constants.h"

namespace {

// Profile position of the following entry at tn, shaped on channel 1.
double nextProgress(double tn, PreDealData* next) {
  double s = JointCalcNext(&next->trajPlan, tn);
  if (gInputShaping) vCalcInputShaping(1, s, &s);
  return s;
}

// With true motion the blending object carries the pose, except behind a
// full circle or a joint move to a Cartesian target.
bool takeBlendingPose(double tn, const PreDealData& cur, WCSPosition* pose) {
  if (!gUsingTrueMotion || cur.motionType == 11 || cur.motionType == 1) return false;
  double out[6] = {};
  blendSeg.getCartPos(tn, out);
  pose->x = out[0];
  pose->y = out[1];
  pose->z = out[2];
  pose->r = out[3] * kRadToDeg;
  return true;
}

double arcAngleAt(const PreDealData& e, double s) {
  return e.arcRadius > 0.0 ? s * e.arcShare / e.arcRadius : 0.0;
}

void addTo(const WCSPosition& d, WCSPosition* pose) {
  pose->x += d.x;
  pose->y += d.y;
  pose->z += d.z;
  pose->r += d.r;
}

using PointFn = void (*)(WCSPosition, MATRIX3D_STR, VECTOR3D_STR, double, double, double, WCSPosition*);
using ShiftFn = void (*)(MATRIX3D_STR, VECTOR3D_STR, double, double, double, WCSPosition*);

// The arc or circle `next` at s: absolute behind a type-1 joint move, else added.
void curvedShare(double s, const PreDealData& cur, const PreDealData& next, PointFn point, ShiftFn shift,
                 WCSPosition* pose) {
  const double phi = arcAngleAt(next, s);
  const double dr = s * next.arcDeltaR;
  if (cur.motionType == 1) {
    point(next.arcOrigin, next.arcRotation, next.arcCentre, next.arcRadius, phi, dr, pose);
    return;
  }
  WCSPosition d;
  shift(next.arcRotation, next.arcCentre, next.arcRadius, phi, dr, &d);
  addTo(d, pose);
}

}  // namespace

double CornerBlendTime(const PreDealData& cur, const PreDealData* next) {
  const auto isPath = [](std::uint32_t type) { return type == 2 || type == 10; };
  if (gUsingTrueMotion == 0 || next == nullptr || !isPath(cur.motionType) || !isPath(next->motionType)) return 0.0;
  return blendSeg.getPathLen() > 0.0 ? cur.blendTime : 0.0;
}

void MOVLTrans(double tn, PreDealData* cur, PreDealData* next, WCSPosition* pose) {
  if (takeBlendingPose(tn, *cur, pose)) return;
  const double s = nextProgress(tn, next);
  const double d = s * next->lineLength;
  const double dr = s * next->lineDeltaR;
  if (IsMotiontypeBelongto(static_cast<int>(cur->motionType), 0) == 1) {
    pose->x = next->lineStart.x + d * next->lineDir[0];
    pose->y = next->lineStart.y + d * next->lineDir[1];
    pose->z = next->lineStart.z + d * next->lineDir[2];
    pose->r = next->lineStart.r + dr;
    return;
  }
  pose->x += d * next->lineDir[0];
  pose->y += d * next->lineDir[1];
  pose->z += d * next->lineDir[2];
  pose->r += dr;
}

void MOVCTrans(double tn, PreDealData* cur, PreDealData* next, WCSPosition* pose) {
  if (takeBlendingPose(tn, *cur, pose)) return;
  curvedShare(nextProgress(tn, next), *cur, *next, &TP_CalcArcPtForScara, &TP_TransCalcArcPtForScara, pose);
}

void CircleTrans(double tn, PreDealData* cur, PreDealData* next, WCSPosition* pose) {
  curvedShare(nextProgress(tn, next), *cur, *next, &TP_CalcCirclePtForScara, &TP_TransCalcCirclePtForScara, pose);
}

void MOVJTrans(double tn, PreDealData* next, double* joints) {
  const double s = nextProgress(tn, next);
  for (int i = 0; i < 4; ++i) joints[i] = s * next->jointMove.u[i];
}
