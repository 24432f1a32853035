#include "PTP/planners/cart_path_check.h"

#include "PTP/path/circle_geometry.h"
#include "PTP/planners/cart_command.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"

namespace {

constexpr int kSamples = 10;

bool reachable(WCSPosition point, bool arm, const CartCommand& c) {
  if (c.ecpOn) CalECPToBase(&c.ecp, &point);
  JointTheta joints;
  return InverseCalBase(&point, arm, &joints, kCheckSingularity, &c.tool) == kKinOk;
}

}  // namespace

bool LinePathReachable(const WCSPosition& origin, const WCSPosition& target, bool arm, const CartCommand& c) {
  for (int i = 1; i <= kSamples; ++i) {
    const double f = static_cast<double>(i) / kSamples;
    const WCSPosition point{origin.x + (target.x - origin.x) * f, origin.y + (target.y - origin.y) * f,
                            origin.z + (target.z - origin.z) * f, origin.r + (target.r - origin.r) * f};
    if (!reachable(point, arm, c)) {
      RefuseCartMove(23);
      return false;
    }
  }
  return true;
}

bool ArcPathReachable(const WCSPosition& origin, const CirlPlanPara& plan, double rChange, bool arm,
                      const CartCommand& c) {
  for (int i = 1; i <= kSamples; ++i) {
    const double f = static_cast<double>(i) / kSamples;
    WCSPosition point;
    TP_CalcCirclePtForScara(origin, plan.rotation, plan.centre, plan.radius, plan.angle * f, rChange * f, &point);
    if (!reachable(point, arm, c)) {
      RefuseCartMove(24);
      return false;
    }
  }
  return true;
}
