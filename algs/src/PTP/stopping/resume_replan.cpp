#include "PTP/stopping/resume_replan.h"

#include <cstring>

#include "PTP/planners/jump_planner.h"
#include "PTP/planners/movj_planner.h"
#include "common/kernel/core_interface.h"
#include "common/kinematics/frames.h"

namespace {

constexpr std::uint8_t kJointMoveToPose = 1;
constexpr std::uint32_t kJointMotion = 1;

template <typename ArcBody>
void copyArcMotion(const std::uint8_t* body, const WCSPosition& target, PackedPTPBody* ptp) {
  ArcBody arc;  // packed: read out whole, then field by field
  std::memcpy(&arc, body, sizeof arc);
  ptp->armOrientation = arc.armOrientation;
  ptp->transition = arc.transition;
  ptp->ptpParams = arc.ptpParams;
  ptp->localParams = arc.localParams;
  ptp->toolParams = arc.toolParams;
  ptp->ecpParams = arc.ecpParams;
  ptp->parallel = PackedParallelOutputs{};
  ptp->refSysFlag = arc.refSysFlag;
  ptp->eCPFlag = arc.eCPFlag;
  ptp->loadFlag = arc.loadFlag;
  ptp->loadParams = arc.loadParams;
  ptp->loadFullParams = arc.loadFullParams;
  ptp->cmd = tagPTPCmd{kJointMoveToPose, static_cast<float>(target.x), static_cast<float>(target.y),
                       static_cast<float>(target.z), static_cast<float>(target.r)};
}

// The user frame of a packed arc or circle (both bodies keep it in one place).
tagLocalParams userFrameOf(const PackedBaseCmd& cmd) {
  PackedARCBody arc;
  std::memcpy(&arc, cmd.body.bytes, sizeof arc);
  return arc.localParams;
}

// Where an arc or circle entry ends, in its command's user frame: the arc
// command's end pose; for a circle the end of its path (its end pose only
// fixes the plane).
WCSPosition endPoseOf(const PreDealData& entry) {
  if (entry.packedCmd.type == kPackedCircle) {
    const tagLocalParams frame = userFrameOf(entry.packedCmd);
    WCSPosition local;
    const WCSPosition base = entry.targetPose;
    CalCordToLocal(&base, &local, &frame);
    return local;
  }
  PackedARCBody arc;
  std::memcpy(&arc, entry.packedCmd.body.bytes, sizeof arc);
  const tagARCPoint end = arc.cmd.toPoint;
  return WCSPosition{end.x, end.y, end.z, end.r};
}

void replanAsJointMove(PreDealData* entry) {
  KernelLog("SmoothStopS : MOVJPreDealTemp  \r\n");
  MOVJPreDealTemp(&entry->packedCmd, nullptr, entry);
  entry->motionType = kJointMotion;
}

void replanArcAsJointMove(PreDealData* entry, const char* log) {
  KernelLog("%s", log);
  static PackedBaseCmd converted;  // 2 KiB: kept off the cycle's stack
  ArcAsJointMove(entry->packedCmd, endPoseOf(*entry), &converted);
  entry->packedCmd = converted;
  entry->type = kPackedPTP;
  entry->motionType = kJointMotion;
  MOVJPreDealTemp(&entry->packedCmd, nullptr, entry);
}

}  // namespace

void ArcAsJointMove(const PackedBaseCmd& cmd, const WCSPosition& target, PackedBaseCmd* out) {
  std::memset(out, 0, sizeof *out);
  out->type = kPackedPTP;
  out->queuedCmdIndex = cmd.queuedCmdIndex;
  PackedPTPBody ptp;
  std::memset(&ptp, 0, sizeof ptp);
  if (cmd.type == kPackedCircle) {
    copyArcMotion<PackedCircleBody>(cmd.body.bytes, target, &ptp);
  } else {
    copyArcMotion<PackedARCBody>(cmd.body.bytes, target, &ptp);
  }
  std::memcpy(out->body.bytes, &ptp, sizeof ptp);
}

void ReplanForResume(PreDealData* entry) {
  switch (entry->motionType) {
    case 0:
    case 3:
      KernelLog("SmoothStopS : JUMPPreDealTemp  \r\n");
      JUMPPreDealTemp(&entry->packedCmd, entry);
      return;
    case 1:
    case 4:
    case 6:
    case 8:
      KernelLog("SmoothStopS : MOVJPreDealTemp  \r\n");
      MOVJPreDealTemp(&entry->packedCmd, nullptr, entry);
      return;
    case 2:
    case 5:
    case 7:
      replanAsJointMove(entry);
      return;
    case 10:
      replanArcAsJointMove(entry, " ESkin Pause or Collision while MOVC_XYZ transition  \r\n");
      return;
    case 11:
      replanArcAsJointMove(entry, " ESkin Pause or Collision while Circle_XYZ transition  \r\n");
      return;
    default:
      return;
  }
}
