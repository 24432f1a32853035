// Which blend the entry in execution gets, and the geometric blend itself.
#include "PTP/pipeline/blend_setup.h"

#include <algorithm>

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "PTP/pipeline/look_ahead.h"
#include "PTP/pipeline/ring_entries.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"

namespace {

bool IsPathMove(const PreDealData& e) {
  return (e.type == kPackedPTP && e.motionType == 2) || (e.type == kPackedARC && e.motionType == 10);
}

bool IsJointLike(const PreDealData& e) {
  return (e.type == kPackedPTP && e.motionType == 1) || (e.type == kPackedCircle && e.motionType == 11);
}

bool IsLineOrArc(const PreDealData& e) { return e.motionType == 2 || e.motionType == 10; }

// Overlap of cur with next: a share (the transition) of the shorter of cur's
// run after its deceleration starts and next's acceleration.
double JointBlendTime(const PreDealData& cur, const PreDealData& next) {
  return std::min(cur.trajPlan.tTotal - cur.trajPlan.tDec, next.trajPlan.tAcc) * cur.transition * 0.01;
}

void ClearPaths() {
  fstPath = PathInfo{};
  secPath = PathInfo{};
}

// A blend into cur still held by the blending object decides its remainder.
void FinishIncomingBlend(PreDealData* cur, PreDealData* next) {
  if (blendSeg.getPathLen() > 0.0) {
    setBlendSeg(cur, next, 1);
    gPeriodCount = 0;
  } else {
    ClearPaths();
  }
}

}  // namespace

void setBlendSeg(PreDealData* cur, PreDealData* next, int mode) {
  StampStage(24);
  if (cur->trajPlan.variableSpeed != 0) {
    fstPath = PathInfo{};
  } else if (IsLineOrArc(*cur)) {
    // A marked first path already holds cur's remainder from the last blend.
    if (mode == 0 || fstPath.blended == 0) BuildPathRecord(*cur, fstPath);
  } else {
    fstPath = PathInfo{};
  }
  if (next == nullptr || next->trajPlan.variableSpeed != 0 || !IsLineOrArc(*next)) {
    secPath = PathInfo{};
  } else {
    BuildPathRecord(*next, secPath);
  }
  if (fstPath.kind == kPathNone) {
    secPath = PathInfo{};
    StampStage(25);
    return;
  }
  blendSeg.getBlendingSeg(fstPath, secPath, cur->transition, next != nullptr ? next->transition : 0.0);
  ReplanRemainder(cur, fstPath);
  cur->blendTime = blendSeg.getAllTime();
  cur->entryTime += cur->blendTime;
  if (mode == 1) {
    // The successor's rest, cut at its start by this blend, is the first path
    // of its own blend: marked, so that it is kept instead of rebuilt whole.
    fstPath = secPath;
    if (fstPath.kind != kPathNone) fstPath.blended = 1;
  }
  secPath = PathInfo{};
  StampStage(25);
}

void TrueMotionCalculate(tagRingBuffer* preDeal) {
  PreDealData* cur = &gPreDealData;
  PreDealData* next = gpNextPreDealData;
  if (cur->transition == 0 || next == nullptr) {
    if (IsPathMove(*cur)) FinishIncomingBlend(cur, next);
    return;
  }
  if (IsPathMove(*cur) && IsPathMove(*next)) {
    if (blendSeg.getPathLen() > 0.0) {
      gPeriodCount = 0;
    } else if (gPeriodCount != 0 && fstPath.blended == 0) {
      // cur is already under way on its own profile (it started inside a
      // joint-like move's overlap) and no blend was prepared for it: a
      // re-plan from its start would make the set point jump, so it runs to
      // its end and next starts from there.
      ClearPaths();
      cur->blendTime = 0.0;
      return;
    }
    setBlendSeg(cur, next, 1);
  } else if (IsJointLike(*cur) && IsPathMove(*next)) {
    // The blend between the two path moves ahead is prepared while cur runs.
    SerchThirdMotionCmd(preDeal);
    next = gpNextPreDealData;
    PreDealData* third = gpThirdPreDealData;
    if (next != nullptr && next->transition != 0 && third != nullptr && IsPathMove(*third)) {
      setBlendSeg(next, third, 0);
      blendSeg.reset();
    }
    if (next != nullptr) cur->blendTime = JointBlendTime(*cur, *next);
  } else if (IsPathMove(*cur) && IsJointLike(*next)) {
    FinishIncomingBlend(cur, next);
    cur->blendTime = JointBlendTime(*cur, *next);
  } else if (IsJointLike(*cur) && IsJointLike(*next)) {
    cur->blendTime = JointBlendTime(*cur, *next);
  }
}
