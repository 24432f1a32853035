// The running Cartesian move's set point of one cycle.
#include "PTP/path/arc_point.h"
#include "PTP/path/circle_geometry.h"
#include "PTP/path/input_shaping.h"
#include "PTP/path/pose_shaping.h"
#include "PTP/planners/fixed3_log.h"
#include "PTP/planners/path_transforms.h"
#include "PTP/profiles/traj_plan.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"

namespace {

void linePose(const PreDealData& e, double s, WCSPosition* pose) {
  const double d = s * e.lineLength;
  pose->x = e.lineStart.x + d * e.lineDir[0];
  pose->y = e.lineStart.y + d * e.lineDir[1];
  pose->z = e.lineStart.z + d * e.lineDir[2];
  pose->r = e.lineStart.r + s * e.lineDeltaR;
}

// A planned arc has R >= 1e-5; a record without one stays at its start.
double arcAngleAt(const PreDealData& e, double s) {
  return e.arcRadius > 0.0 ? s * e.arcShare / e.arcRadius : 0.0;
}

// What is left of the arc or circle from s on, and where that was taken.
void arcProgress(PreDealData* e, double s) {
  e->arcRemaining = e->arcRadius * e->arcAngle - s * e->arcShare;
  e->arcRemainingR = e->arcRDir * e->arcRTravel - s * e->arcDeltaR;
  e->arcTravelled = s;
}

void arcPose(const PreDealData& e, double s, WCSPosition* pose) {
  TP_CalcArcPtForScara(e.arcOrigin, e.arcRotation, e.arcCentre, e.arcRadius, arcAngleAt(e, s), s * e.arcDeltaR,
                       pose);
}

void circlePose(const PreDealData& e, double s, WCSPosition* pose) {
  TP_CalcCirclePtForScara(e.arcOrigin, e.arcRotation, e.arcCentre, e.arcRadius, arcAngleAt(e, s),
                          s * e.arcDeltaR, pose);
}

// "S2:%1.3f,%1.3f,%1.3f\r\n" with x, y, z.
void logS2(const WCSPosition& p) {
  static const char* const kLabels[3] = {"S2:", ",", ","};
  const double v[3] = {p.x, p.y, p.z};
  LogFixed3(kLabels, v, 3);
}

// "circle arcCenter:%1.3f,%1.3f,%1.3f\r\n" and
// "circle arcRadius:%1.3f,arclen:%1.3f,rotAngLeft:%1.3f\r\n".
void logCircle(const PreDealData& e) {
  static const char* const kCentre[3] = {"circle arcCenter:", ",", ","};
  static const char* const kRest[3] = {"circle arcRadius:", ",arclen:", ",rotAngLeft:"};
  const double centre[3] = {e.arcCentre.x, e.arcCentre.y, e.arcCentre.z};
  const double rest[3] = {e.arcRadius, e.arcRemaining, e.arcRemainingR};
  LogFixed3(kCentre, centre, 3);
  LogFixed3(kRest, rest, 3);
}

// Profile position at t; with true motion the profile holds its end while a
// corner blend runs after it.
double profileAt(TrajPlanData* profile, double t) {
  return gUsingTrueMotion && t >= profile->tTotal ? profile->dist : JointCalc(profile, t);
}

// Profile position of the cycle; marks the move finished when its time is up
// (with true motion: the profile's time and the corner blend's after it).
double progressAt(double t, TrajPlanData* profile, double period, double blendAfter) {
  const double total = profile->tTotal;
  // Without a corner blend after it, a shaped move runs on until the shaper
  // has caught up with its end, true motion or not: the next move starts
  // from the end, and the last move's set point becomes its target.
  if (gUsingTrueMotion && (blendAfter > 0.0 || gInputShaping == 0)) {
    if (t < total + blendAfter - 0.5 * period) return profileAt(profile, t);
    profile->noMotion = 1;
    return profile->dist;
  }
  // The shaper's delay keeps the move running after its profile has ended.
  if (t >= total + strLocalVar[0].delay2 * period) profile->noMotion = 1;
  return t < total ? JointCalc(profile, t) : profile->dist;
}

}  // namespace

void PathPoseAt(const PreDealData& e, double s, WCSPosition* pose) {
  switch (e.motionType) {
    case 2:
    case 5:
    case 7:
      linePose(e, s, pose);
      return;
    case 10:
      arcPose(e, s, pose);
      return;
    case 11:
      circlePose(e, s, pose);
      return;
    default:
      return;
  }
}

void MOVLCMain(double t, PreDealData* cur, PreDealData* next, WCSPosition* pose) {
  TrajPlanData* profile = &cur->trajPlan;
  const double period = gPeriodTime;
  const double sPrev = profileAt(profile, t - period);
  const double s = progressAt(t, profile, period, CornerBlendTime(*cur, next));

  const bool shaping = gInputShaping != 0;
  // The whole pose is shaped afterwards (pose_shaping.h): the path is taken at s.
  const bool shapeProgress = shaping && !PoseShapingFor(cur->motionType);
  if (shaping && !strLocalVar[0].endFlag) {
    strLocalVar[0].endFlag = 1;
    vInitHistoryData(0, s);
  }
  if (gPeriodCount == 1) vInitHistoryData(0, s);
  double sf = s;
  if (shaping) vCalcInputShaping(0, s, &sf);

  profile->sPrev = sPrev;
  profile->vCurrent = (s - sPrev) / period;
  cur->pathParam = s;
  cur->pathSpeed = profile->vCurrent;

  if (profile->noMotion) {
    *pose = cur->targetPose;
    return;
  }
  switch (cur->motionType) {
    case 2:
    case 5:  // a line to a joint target is a line too
    case 7:
      linePose(*cur, s, pose);
      if (shaping) logS2(*pose);
      if (shapeProgress) linePose(*cur, sf, pose);
      return;
    case 10:
      arcProgress(cur, s);
      arcPose(*cur, s, pose);
      if (shaping) logS2(*pose);
      if (shapeProgress) {
        arcProgress(cur, sf);
        arcPose(*cur, sf, pose);
      }
      return;
    case 11:
      arcProgress(cur, s);
      circlePose(*cur, s, pose);
      if (shaping) {
        logS2(*pose);
        logCircle(*cur);
        arcProgress(cur, sf);
        circlePose(*cur, sf, pose);
      }
      return;
    default:
      return;
  }
}
