// Pre-processing of moves and the dispatch by command type.
#include <cstring>

#include "PTP/pipeline/pre_deal.h"
#include "PTP/pipeline/ring_entries.h"
#include "PTP/planners/circle_planner.h"
#include "PTP/planners/excit_pre_deal.h"
#include "PTP/planners/jump_planner.h"
#include "PTP/planners/movc.h"
#include "PTP/planners/movj_planner.h"
#include "PTP/planners/movl.h"
#include "PTP/planners/packed_motion.h"
#include "common/kernel/alarms.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr unsigned kAlarmUnknownPtpMode = 25;

PreDealData* PreviousMotion(tagRingBuffer* preDeal) {
  PreDealData* prev = nullptr;
  if (preDeal->isEmpty == 0) SearchLastMotionPreDealData(preDeal, &prev);
  return prev;
}

// What every planned move carries besides its plan: the frames it was
// planned in and the ten load words, each copied by name; the look-ahead pose
// is now expressed in the move's frames.
void CopyFrames(const PackedMotion& motion, const PackedBaseCmd* cmd, std::size_t wordsAt, PreDealData* entry) {
  entry->toolParams = motion.toolParams;
  entry->localParams = motion.localParams;
  entry->stationToolParams = motion.ecpParams;
  std::memcpy(entry->plannerWords, reinterpret_cast<const std::uint8_t*>(cmd) + wordsAt, sizeof entry->plannerWords);
  gPreDealPos.localParams = motion.localParams;
  gPreDealPos.toolParams = motion.toolParams;
}

}  // namespace

void PreDealPTPCmd(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry) {
  PreDealData* prev = PreviousMotion(preDeal);
  const PackedMotion motion = ReadPackedMotion(cmd);
  entry->parallel = cmd->body.ptp.parallel;
  const std::uint8_t mode = motion.ptpCmd.ptpMode;
  switch (mode) {
    case 0:
    case 3:
      JUMPPreDeal(cmd, entry);
      entry->armOrientation = motion.arm ? 1 : 0;
      break;
    case 1:
    case 4:
    case 6:
    case 8:
      entry->transition = motion.transition;
      MOVJPreDeal(cmd, prev, entry);
      entry->armOrientation = motion.arm ? 1 : 0;
      break;
    case 2:
    case 5:
    case 7:
      entry->transition = motion.transition;
      MOVLPreDeal(cmd, prev, entry);
      break;
    case 9:
      break;
    default:
      AlarmSysSetBit(kAlarmUnknownPtpMode, true);
      KernelLog("PreDealPTPCmd type:%d \r\n", mode);
      gCmdFinishFlag = 1;
      return;
  }
  entry->motionType = mode;
  CopyFrames(motion, cmd, kPTPPlannerWordsAt, entry);
}

namespace {

using ArcPlanner = void (*)(PackedBaseCmd*, PreDealData*, PreDealData*);

void PreDealArcLike(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry, ArcPlanner planner,
                    std::uint32_t motionType) {
  PreDealData* prev = PreviousMotion(preDeal);
  const PackedMotion motion = ReadPackedMotion(cmd);
  entry->transition = motion.transition;
  planner(cmd, prev, entry);
  entry->motionType = motionType;
  entry->armOrientation = motion.arm ? 1 : 0;
  CopyFrames(motion, cmd, kArcPlannerWordsAt, entry);
}

}  // namespace

void PreDealARCCmd(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry) {
  PreDealArcLike(cmd, preDeal, entry, &MOVCPreDeal, 10);
}

void PreDealCircleCmd(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry) {
  PreDealArcLike(cmd, preDeal, entry, &CirclePreDeal, 11);
}

int PreDealByType(PackedBaseCmd* cmd, tagRingBuffer* preDeal, PreDealData* entry) {
  switch (cmd->type) {
    case kPackedPTP:
      PreDealPTPCmd(cmd, preDeal, entry);
      return 1;
    case kPackedARC:
      PreDealARCCmd(cmd, preDeal, entry);
      return 1;
    case kPackedCircle:
      PreDealCircleCmd(cmd, preDeal, entry);
      return 1;
    case kPackedExcit:
      ExcitPreDeal(cmd, entry);
      entry->motionType = 12;
      return 1;
    case kPackedExcitZ:
      ExcitZPreDeal(cmd, entry);
      entry->motionType = 13;
      return 1;
    case kPackedLocalParams:
      PreDealLocalParamsCmd(cmd);
      return 1;
    case kPackedToolParams:
      PreDealToolParamsCmd(cmd);
      return 1;
    default:
      // Type 3 and everything that needs no plan pass through unchanged.
      return 0;
  }
}
