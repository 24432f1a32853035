#include "PTP/planners/packed_motion.h"

namespace {

template <typename Body>
void readCommon(const Body& body, PackedMotion& out) {
  out.arm = body.armOrientation != 0;
  out.transition = body.transition;
  out.ptpParams = body.ptpParams;
  out.localParams = body.localParams;
  out.toolParams = body.toolParams;
  out.ecpParams = body.ecpParams;
  out.refSysFlag = body.refSysFlag;
  out.eCPFlag = body.eCPFlag;
  out.loadFlag = body.loadFlag;
  out.loadParams = body.loadParams;
  out.loadFullParams = body.loadFullParams;
}

}  // namespace

PackedMotion ReadPackedMotion(const PackedBaseCmd* cmd) {
  PackedMotion out{};
  out.type = cmd->type;
  switch (out.type) {
    case kPackedPTP:
      readCommon(cmd->body.ptp, out);
      out.ptpCmd = cmd->body.ptp.cmd;
      break;
    case kPackedARC:
      readCommon(cmd->body.arc, out);
      break;
    case kPackedCircle:
      readCommon(cmd->body.circle, out);
      break;
    default:
      break;
  }
  return out;
}
