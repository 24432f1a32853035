#include "PTP/planners/cart_command.h"

#include <initializer_list>

#include "PTP/planners/packed_motion.h"
#include "common/kernel/alarms.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/sys_params.h"

namespace {

WCSPosition poseOf(const tagARCPoint& p) { return {p.x, p.y, p.z, p.r}; }

}  // namespace

CartCommand ReadCartCommand(const PackedBaseCmd* cmd) {
  const PackedMotion m = ReadPackedMotion(cmd);
  CartCommand c{};
  c.arm = m.arm;
  c.transition = m.transition;
  c.coordinate = m.ptpParams.coordinate;
  c.common = m.ptpParams.common;
  c.local = m.localParams;
  c.tool = m.toolParams;
  c.ecp = m.ecpParams;
  c.refSys = m.refSysFlag != 0;
  c.ecpOn = m.eCPFlag != 0;
  c.loadOn = m.loadFlag != 0;
  c.loadFull = m.loadFullParams;
  if (cmd->type == kPackedARC) {
    const tagARCCmd move = cmd->body.arc.cmd;
    c.middle = poseOf(move.cirPoint);
    c.target = poseOf(move.toPoint);
  } else {
    c.ptpMode = m.ptpCmd.ptpMode;
    c.target = {m.ptpCmd.x, m.ptpCmd.y, m.ptpCmd.z, m.ptpCmd.r};
  }
  return c;
}

void RefuseCartMove(unsigned alarm) {
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
  *out = {scaled(p.xyzVelocity, r.xyzVelocityRatio),     scaled(p.xyzAcceleration, r.xyzAccelerationRatio),
          scaled(p.xyzJerk, r.xyzJerkRatio),             scaled(p.rVelocity, r.rVelocityRatio),
          scaled(p.rAcceleration, r.rAccelerationRatio), scaled(p.rJerk, r.rJerkRatio)};
  for (double v : {out->vL, out->aL, out->jL, out->vR, out->aR, out->jR}) {
    // Not-a-number fails too: a limit must be a usable positive value.
    if (!(v >= 1e-5)) {
      RefuseCartMove(26);
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
