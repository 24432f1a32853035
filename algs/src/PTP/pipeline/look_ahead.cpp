// Look-ahead for blend partners in the pre-processed ring.
#include "PTP/pipeline/look_ahead.h"

#include <cmath>

#include "PTP/pipeline/ring_entries.h"
#include "common/kernel/alarms.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/motion_state.h"

namespace {

constexpr double kFrameTolerance = 1e-05;

bool Near(float a, float b) { return std::fabs(static_cast<double>(a) - static_cast<double>(b)) <= kFrameTolerance; }

bool SameFrame(const tagCoordParamsFull& a, const tagCoordParamsFull& b) {
  return Near(a.x, b.x) && Near(a.y, b.y) && Near(a.z, b.z) && Near(a.r, b.r);
}

// A partner runs in the same frames (indices are not compared) on a fixed-speed profile.
bool Fits(const PreDealData& candidate, const PreDealData& before) {
  return SameFrame(candidate.toolParams, before.toolParams) && SameFrame(candidate.localParams, before.localParams) &&
         candidate.trajPlan.variableSpeed == 0;
}

bool IsJointOrLinearClass(std::uint32_t motionType) {
  const int t = static_cast<int>(motionType);
  return IsMotiontypeBelongto(t, 0) != 0 || IsMotiontypeBelongto(t, 1) != 0;
}

bool IsJointOrLinear(std::uint32_t motionType) { return motionType == 1 || motionType == 2; }

enum class Walk { kCandidate, kEnd, kSkip };

// What an entry means to the walk; `ptpOk` decides point-to-point modes.
Walk Classify(const PreDealData& e, bool (*ptpOk)(std::uint32_t)) {
  switch (e.type) {
    case kPackedPTP:
      return ptpOk(e.motionType) ? Walk::kCandidate : Walk::kEnd;
    case kPackedNoPlan:
    case kPackedARC:
    case kPackedCircle:
      return Walk::kCandidate;
    case kPackedWait:
    case kPackedTrig:
    case kPackedIODO:
      return Walk::kEnd;
    default:
      return Walk::kSkip;
  }
}

// Position of the first candidate from `from` on, or -1.
int FindCandidate(const tagRingBuffer* preDeal, std::uint32_t from, bool (*ptpOk)(std::uint32_t)) {
  const std::uint32_t count = preDeal->count;
  for (std::uint32_t k = from; k < count; ++k) {
    const Walk w = Classify(*PreDealAt(preDeal, k), ptpOk);
    if (w == Walk::kCandidate) return static_cast<int>(k);
    if (w == Walk::kEnd) return -1;
  }
  return -1;
}

}  // namespace

void SerchNextMotionCmd(tagRingBuffer* preDeal) {
  gpNextPreDealData = nullptr;
  const PreDealData& cur = gPreDealData;
  if (cur.transition == 0 || gPauseCmdFlag != 0) return;
  const bool blends = (cur.type == kPackedPTP && IsJointOrLinearClass(cur.motionType)) || cur.type == kPackedARC ||
                      cur.type == kPackedCircle;
  if (!blends) return;
  const int k = FindCandidate(preDeal, 0, &IsJointOrLinearClass);
  if (k < 0) return;
  PreDealData* next = PreDealAt(preDeal, static_cast<std::uint32_t>(k));
  if (Fits(*next, cur)) gpNextPreDealData = next;
}

void SerchThirdMotionCmd(tagRingBuffer* preDeal) {
  gpNextPreDealData = nullptr;
  gpThirdPreDealData = nullptr;
  const PreDealData& cur = gPreDealData;
  if (cur.transition == 0 || gPauseCmdFlag != 0) return;
  const bool blends = (cur.type == kPackedPTP && IsJointOrLinear(cur.motionType)) || cur.type == kPackedARC ||
                      cur.type == kPackedCircle;
  if (!blends) return;
  const int k = FindCandidate(preDeal, 0, &IsJointOrLinear);
  if (k < 0) return;
  PreDealData* next = PreDealAt(preDeal, static_cast<std::uint32_t>(k));
  if (!Fits(*next, cur)) return;
  gpNextPreDealData = next;
  const int k3 = FindCandidate(preDeal, static_cast<std::uint32_t>(k) + 1, &IsJointOrLinear);
  if (k3 < 0) return;
  PreDealData* third = PreDealAt(preDeal, static_cast<std::uint32_t>(k3));
  if (Fits(*third, *next)) gpThirdPreDealData = third;
}
