#include "PTP/planners/cart_conveyor.h"

#include <cmath>

#include "PTP/planners/cart_start.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/conveyor_track.h"
#include "common/kinematics/frames.h"
#include "common/kinematics/kinematics.h"
#include "common/math/transform4.h"

namespace {

void frameOf(const float (&six)[6], double (&out)[6]) {
  for (int i = 0; i < 6; ++i) out[i] = six[i];
}

}  // namespace

int TrackedChannel() {
  const int index = gConveyor0.conveyorIndex;
  return index < kEncoderChannels ? index : 0;
}

void TrackConfig() {
  const Conveyor conveyor = gConveyor0;
  const int channel = TrackedChannel();
  double capture[6];
  double belt[6];
  frameOf(conveyor.visionFrame, capture);
  frameOf(conveyor.conveyorFrame, belt);
  const double k = conveyor.encoderResolution;
  const double e = gCurrentEncoder[channel].position;
  const double v = gCurrentEncoder[channel].velocity;

  // The time compensation leads the object by the travel of that many
  // milliseconds; without it the stored point offsets apply.
  double offset1 = gConvPointOffset.x;
  double offset2 = gConvPointOffset.y;
  const double compensation = gCnvTimeCompensation;
  if (std::fabs(compensation) > 0.001) {
    offset1 = std::fabs(k) > 1e-9 ? compensation / 1000.0 * v / k : 0.0;
    offset2 = 0.0;
  }
  track1.setTrack(capture, gOutObj.pose, belt, k, gOutObj.captureCount, e, v, gPeriodTime, offset1, offset2);
  KernelLog("MOVL set:%1.3f %1.3f %1.3f\r\n", e, v, k);
  KernelLog("conveyorID0: %d\r\n", channel);
  KernelLog("MOVL set obj:%1.3f %1.3f %1.3f\r\n", gOutObj.pose[0], gOutObj.pose[1], gOutObj.pose[3]);
}

bool ConveyorOrigin(const CartCommand& c, WCSPosition* origin, WCSPosition* base) {
  const JointTheta start = gPreDealPos.joint;
  ForwardCalBase(&gPreDealPos, base, &c.tool);
  if (gOutObj.newObject != 0) {
    if (!ElbowAgrees(c.arm, start.j2)) {
      RefuseCartMove(22);
      return false;
    }
    if (!StartJointsValid(start)) {
      RefuseCartMove(18);
      return false;
    }
    TrackConfig();
    double U[4][4];
    track1.getUserCoord(U);
    double six[6];
    T2Cart(U, six);
    const tagLocalParams frame{0, static_cast<float>(six[0]), static_cast<float>(six[1]), static_cast<float>(six[2]),
                               static_cast<float>(six[3] * kRadToDeg)};
    CalCordToLocal(base, origin, &frame);
    gOutObj.newObject = 0;
    gOutObj.armOrientation = c.arm ? 1 : 0;
  } else {
    *origin = gPreDealPos.pose;
  }
  if ((gOutObj.armOrientation != 0) != c.arm) {
    RefuseCartMove(22);
    return false;
  }
  return true;
}

void TrackPose(WCSPosition* pose) {
  gOutObj.reached = 0;
  gOutObj.pose[0] = pose->x;
  gOutObj.pose[1] = pose->y;
  gOutObj.pose[2] = pose->z;
  gOutObj.pose[3] = pose->r * kDegToRad;
  // An idle tracker copies nothing out: start from its last frame (all
  // zeros before any tracking), never from an unwritten one.
  double U[4][4];
  track1.getUserCoord(U);
  const tagCurrentEncoder& encoder = gCurrentEncoder[TrackedChannel()];
  track1.sync(encoder.position, encoder.velocity, U);
  CalObjToBase(pose, U);
}

double UnwrapJ4(double j4) {
  const double actual = ActualJoints().j4;
  if (j4 - actual > 180.0) return j4 - 360.0;
  if (j4 - actual < -180.0) return j4 + 360.0;
  return j4;
}
