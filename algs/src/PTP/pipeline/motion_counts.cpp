// Counting and finding motions in the two rings.
#include <cstddef>

#include "PTP/pipeline/pre_deal.h"
#include "PTP/pipeline/ring_entries.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/speed_ratio_change.h"

std::int16_t CalcPackedMotionCmdNum(const tagRingBuffer* packed) {
  std::int16_t n = 0;
  const std::uint32_t count = packed->count;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (IsCountedMotionType(PackedTypeAt(packed, k))) ++n;
  }
  return n;
}

std::int16_t CalcPreDealMotionCmdNum(const tagRingBuffer* preDeal) {
  std::int16_t n = 0;
  const std::uint32_t count = preDeal->count;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (IsCountedMotionType(PreDealAt(preDeal, k)->type)) ++n;
  }
  return n;
}

std::uint8_t GetFirstMotionCmdCP(const tagRingBuffer* packed) {
  // Point-to-point, arc and circle bodies all start with the arm orientation
  // and then the transition.
  static_assert(offsetof(PackedPTPBody, transition) == offsetof(PackedARCBody, transition));
  static_assert(offsetof(PackedPTPBody, transition) == offsetof(PackedCircleBody, transition));
  const std::uint32_t count = packed->count;
  for (std::uint32_t k = 0; k < count; ++k) {
    if (IsCountedMotionType(PackedTypeAt(packed, k))) {
      return RingBufferAt(packed, k)[offsetof(PackedBaseCmd, body) + offsetof(PackedPTPBody, transition)];
    }
  }
  return 0;
}

void SearchLastMotionPreDealData(tagRingBuffer* preDeal, PreDealData** out) {
  const std::uint32_t count = preDeal->count;
  if (count == 0) return;
  const bool pass = gbModifySpeedRatio != 0;
  // In a re-plan pass the entry at guiStartID is the one being planned; at
  // position 0 the walk looks at that entry's own ring copy.
  std::uint32_t start = count - 1;
  if (pass) start = guiStartID > 0 ? guiStartID - 1 : 0;
  if (start > count - 1) start = count - 1;
  for (std::uint32_t k = start + 1; k-- > 0;) {
    PreDealData* e = PreDealAt(preDeal, k);
    switch (e->type) {
      case kPackedPTP:
        if (e->motionType == 1 || e->motionType == 2) *out = e;
        return;
      case kPackedNoPlan:
      case kPackedARC:
      case kPackedCircle:
        *out = e;
        return;
      case kPackedWait:
        return;
      default:
        if (k == 0 && pass) *out = &gPreDealData;
        break;
    }
  }
}
