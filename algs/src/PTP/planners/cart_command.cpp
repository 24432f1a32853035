#include "PTP/planners/cart_command.h"

#include "common/kernel/alarms.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

WCSPosition poseOf(float x, float y, float z, float r) { return {x, y, z, r}; }

template <typename Body>
void readSnapshot(const Body& body, CartCommand& c) {
  c.arm = body.armOrientation != 0;
  c.transition = body.transition;
  const tagPTPParamsBlock params = body.ptpParams;
  c.coordinate = params.coordinate;
  c.common = params.common;
  c.local = body.localParams;
  c.tool = body.toolParams;
  c.ecp = body.ecpParams;
  c.refSys = body.refSysFlag != 0;
  c.ecpOn = body.eCPFlag != 0;
  c.loadOn = body.loadFlag != 0;
  c.loadFull = body.loadFullParams;
}

}  // namespace

CartCommand ReadCartCommand(const PackedBaseCmd* cmd) {
  CartCommand c{};
  if (cmd->type == kPackedARC) {
    const PackedARCBody& arc = cmd->body.arc;
    readSnapshot(arc, c);
    const tagARCCmd move = arc.cmd;
    c.middle = poseOf(move.cirPoint.x, move.cirPoint.y, move.cirPoint.z, move.cirPoint.r);
    c.target = poseOf(move.toPoint.x, move.toPoint.y, move.toPoint.z, move.toPoint.r);
  } else {
    const PackedPTPBody& ptp = cmd->body.ptp;
    readSnapshot(ptp, c);
    const tagPTPCmd move = ptp.cmd;
    c.ptpMode = move.ptpMode;
    c.target = poseOf(move.x, move.y, move.z, move.r);
  }
  return c;
}

void RefuseMove(unsigned alarm) {
  if (alarm != 0) AlarmSysSetBit(alarm, true);
  gCmdFinishFlag = 1;
}

bool CartLimitsFrom(const CartCommand& c, CartLimits* out) {
  const double f = static_cast<double>(gSysParams.speedFactorRatio) / 100.0;
  const tagPTPCoordinateParams& p = c.coordinate;
  const tagPTPCommonParams& r = c.common;
  auto scaled = [f](float value, float ratio) {
    return static_cast<double>(value) * f * static_cast<double>(ratio) / 100.0;
  };
  *out = {scaled(p.xyzVelocity, r.xyzVelocityRatio),         scaled(p.xyzAcceleration, r.xyzAccelerationRatio),
          scaled(p.xyzJerk, r.xyzJerkRatio),                 scaled(p.rVelocity, r.rVelocityRatio),
          scaled(p.rAcceleration, r.rAccelerationRatio),     scaled(p.rJerk, r.rJerkRatio)};
  for (double v : {out->vL, out->aL, out->jL, out->vR, out->aR, out->jR}) {
    // Not-a-number fails too: a limit must be a usable positive value.
    if (!(v >= 1e-5)) {
      RefuseMove(26);
      return false;
    }
  }
  return true;
}

void CopyCartFlags(const CartCommand& c, PreDealData* entry) {
  entry->conveyorFlag = c.refSys ? 1 : 0;
  entry->externalToolFlag = c.ecpOn ? 1 : 0;
  entry->loadFlag = c.loadOn ? 1 : 0;
}
