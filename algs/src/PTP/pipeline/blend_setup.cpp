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

// What the look-ahead records belong to. The blending object's blend leads
// into entry gBlendInto; the marked first path is entry gPreparedFor's rest:
// either cut by the blend into it (it holds for that entry once the blend
// has run), or re-planned ahead of it while a joint-like move runs (it holds
// while the entry still has that profile). Records left by a program that
// was cleared or dropped half-way (a parameter load), or by moves a speed
// change re-planned, fit no entry: a line already under way would be
// re-planned from a rest that is not its own, or a move would start at the
// cut of a blend that never ran.
std::uint64_t gBlendInto = 0;
std::uint64_t gPreparedFor = 0;
bool gPreparedAhead = false;
double gPreparedTotal = 0.0;
double gPreparedDist = 0.0;
// Whether the blend into the starting entry ran: it starts with the cycles
// the blend took (TrueMotionCalculate, before it restarts the count).
bool gIncomingBlendRan = false;

bool BlendsInto(const PreDealData& e) { return gIncomingBlendRan && gBlendInto == e.queuedCmdIndex; }

bool PreparedFor(const PreDealData& e) {
  if (fstPath.blended == 0 || gPreparedFor != e.queuedCmdIndex) return false;
  if (!gPreparedAhead) return BlendsInto(e);
  return e.trajPlan.tTotal == gPreparedTotal && e.trajPlan.dist == gPreparedDist;
}

void ClearPaths() {
  fstPath = PathInfo{};
  secPath = PathInfo{};
}

// A blend into cur still held by the blending object decides its remainder.
void FinishIncomingBlend(PreDealData* cur, PreDealData* next) {
  if (BlendsInto(*cur)) {
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
    if (mode == 0 || !PreparedFor(*cur)) BuildPathRecord(*cur, fstPath);
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
  gBlendInto = next != nullptr ? next->queuedCmdIndex : 0;
  ReplanRemainder(cur, fstPath);
  gPreparedFor = cur->queuedCmdIndex;
  gPreparedAhead = true;
  gPreparedTotal = cur->trajPlan.tTotal;
  gPreparedDist = cur->trajPlan.dist;
  cur->blendTime = blendSeg.getAllTime();
  cur->entryTime += cur->blendTime;
  if (mode == 1) {
    // The successor's rest, cut at its start by this blend, is the first path
    // of its own blend: marked, so that it is kept instead of rebuilt whole.
    fstPath = secPath;
    if (fstPath.kind != kPathNone) fstPath.blended = 1;
    gPreparedFor = next != nullptr ? next->queuedCmdIndex : 0;
    gPreparedAhead = false;
  }
  secPath = PathInfo{};
  StampStage(25);
}

void TrueMotionCalculate(tagRingBuffer* preDeal) {
  PreDealData* cur = &gPreDealData;
  PreDealData* next = gpNextPreDealData;
  gIncomingBlendRan = blendSeg.getPathLen() > 0.0 && gBlendInto == cur->queuedCmdIndex && gPeriodCount != 0;
  if (cur->transition == 0 || next == nullptr) {
    if (IsPathMove(*cur)) FinishIncomingBlend(cur, next);
    return;
  }
  if (IsPathMove(*cur) && IsPathMove(*next)) {
    if (BlendsInto(*cur)) {
      gPeriodCount = 0;
    } else if (gPeriodCount != 0 && !PreparedFor(*cur)) {
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
