// Taking entries from the pre-processed ring and starting them.
#include "PTP/pipeline/entry_runner.h"

#include "PTP/path/input_shaping.h"
#include "PTP/pipeline/blend_setup.h"
#include "PTP/pipeline/entry_exec.h"
#include "PTP/pipeline/look_ahead.h"
#include "PTP/pipeline/pre_deal.h"
#include "PTP/pipeline/ring_entries.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/speed_ratio_change.h"
#include "common/kernel/sys_params.h"
#include "common/kinematics/conveyor_track.h"

namespace {

constexpr std::int32_t kStageBudgetUs = 1500;
// Instant entries after which the call ends (the 41st is the last).
constexpr int kInstantPerCall = 40;

void TakeNextMotion(tagRingBuffer* preDeal) {
  SerchNextMotionCmd(preDeal);
  if (gpNextPreDealData != nullptr) gNextPreDealData = *gpNextPreDealData;
}

// A move starts with the cycles it already ran during the blend into it.
void StartMove() {
  gRobotPrfMode = kPrfExecute;
  gPeriodCount = gPeriodCount1;
  if (gPeriodCount != 0 && gInputShaping != 0) vInputShapingCopy(0, 1);
  gPeriodCount1 = 0;
}

void StartEntry(tagRingBuffer* preDeal) {
  PreDealData& e = gPreDealData;
  switch (e.type) {
    case kPackedPTP:
    case kPackedARC:
    case kPackedCircle:
      StartMove();
      TakeNextMotion(preDeal);
      if ((e.type == kPackedPTP || e.type == kPackedARC) && e.conveyorFlag != 0) {
        gOutObj.reached = 0;
        if (e.type == kPackedARC) KernelLog("PackedARC %d\r\n", static_cast<int>(e.type));
      }
      return;
    case kPackedNoPlan:
      gRobotPrfMode = kPrfExecuteHold;
      return;
    case kPackedStopSynCnv:
      gStopCmdPlanFlag = 0;
      gPeriodCount = 0;
      gPeriodCount1 = 0;
      gRobotPrfMode = kPrfConveyorStop;
      gOutObj.reached = 0;
      track1.desync();
      KernelLog("PackedRefSysBaseCmdType %d\r\n", static_cast<int>(e.type));
      return;
    case kPackedExcit:
    case kPackedExcitZ:
      gRobotPrfMode = kPrfExecute;
      gPeriodCount = gPeriodCount1;
      gPeriodCount1 = 0;
      return;
    default:
      return;
  }
}

void LogFour(const char* fmt, double a, double b, double c, double d) { KernelLog(fmt, a, b, c, d); }

// The re-planned figures of a resumed line or arc.
void LogResumed(const PreDealData& e) {
  const TrajPlanData& p = e.trajPlan;
  if (e.motionType == 2) {
    LogFour("MOVL Temp orig Re:%1.3f %1.3f %1.3f %1.3f\r\n", e.lineStart.x, e.lineStart.y, e.lineStart.z, e.lineStart.r);
    LogFour("MOVL Temp Line Re:%1.3f %1.3f %1.3f %1.3f\r\n", e.lineDir[0], e.lineDir[1], e.lineDir[2], e.lineLength);
    LogFour("MOVL Temp Spd Re:%1.3f %1.3f %1.3f %1.3f\r\n", p.dist, p.vMax, p.vStart, p.tTotal);
  } else if (e.motionType == 10) {
    LogFour("MOVC Temp orig Re:%1.3f %1.3f %1.3f %1.3f\r\n", e.arcOrigin.x, e.arcOrigin.y, e.arcOrigin.z, e.arcOrigin.r);
    LogFour("MOVC Temp Dist Re:%1.3f %1.3f %1.3f %1.3f\r\n", e.arcRadius, e.arcAngle, e.arcShare, e.arcDeltaR);
    LogFour("MOcV Temp Spd Re:%1.3f %1.3f %1.3f %1.3f\r\n", p.dist, p.vMax, p.vStart, p.tTotal);
  }
}

// The paused entry has come to rest: it runs again from its re-planned state.
void Resume(tagRingBuffer* preDeal) {
  gPauseCmdFlag = 0;
  gCmdFinishFlag = 0;
  gRobotPrfMode = kPrfExecute;
  SerchNextMotionCmd(preDeal);
  if (preDeal->isEmpty != 0) KernelLog("restart RingBufferIsEmpty preDealDataQueue\n");
  LogResumed(gPreDealData);
  if (gpNextPreDealData != nullptr) gNextPreDealData = *gpNextPreDealData;
  if (gUsingTrueMotion != 0) TrueMotionCalculate(preDeal);
}

void Finish(int runCount) {
  StampStage(9);
  if (elapsed[9] > kStageBudgetUs) {
    KernelLog("elapsed[9] timeout preDealDataRunCount %d  time %ld\r\n", runCount, static_cast<long>(elapsed[9]));
  }
}

}  // namespace

void PreDealDataRunning(tagRingBuffer* preDeal) {
  if (gSysParams.runQueuedCmd == 0) {
    gpNextPreDealData = nullptr;
    KernelLog("PreDealDataRunning  runQueuedCmd==false, return！   \r\n");
    return;
  }
  if (gPauseCmdFlag != 0 && gPeriodCount == 0 && gPeriodCount1 == 0) {
    Resume(preDeal);
    return;
  }

  int runCount = 0;
  // Bounded: every turn either leaves or counts one instant entry.
  for (;;) {
    gQueuedCmdCurrentIndex = gQueuedCmdStartIndex + gCmdFinishFlag;
    StampStage(7);
    bool isNew = false;
    if (gCmdFinishFlag != 0) {
      gPreDealData.waitingForNext = 1;
      if (preDeal->isEmpty != 0) return;
      gCmdFinishFlag = 0;
      RingBufferDequeue(preDeal, &gPreDealData);
      PreDealData& e = gPreDealData;
      KernelLog(
          "PreDealDataRunning: get new PreDealData packedcmd queuedCmdIndex:%llu, type : %d, motion type : %lu, "
          "gPreDealData.transition : %lf\r\n",
          static_cast<unsigned long long>(e.queuedCmdIndex), static_cast<int>(e.type),
          static_cast<unsigned long>(e.motionType), static_cast<double>(e.transition));
      gQueuedCmdStartIndex = e.queuedCmdIndex - 1;
      if (gbModifySpeedRatio != 0 && guiModdifyCount > 0) --guiModdifyCount;
      e.waitingForNext = 0;
      StartEntry(preDeal);
      isNew = true;
      if (gUsingTrueMotion != 0) TrueMotionCalculate(preDeal);
    }
    if (ExecuteEntry(gPreDealData, isNew) == EntryStep::kLeave) break;
    gCmdFinishFlag = 1;
    ++runCount;
    if (runCount > kInstantPerCall) {
      Finish(runCount);
      return;
    }
  }
  ++runCount;
  Finish(runCount);
}

void ResetQueuedPipeline() {
  CPTimeOutCount = 0;
  gQueuedCmdCurrentIndex = 0;
  gQueuedCmdStartIndex = 0;
  guiStartID = 0;
  ResetEntryExec();
}
