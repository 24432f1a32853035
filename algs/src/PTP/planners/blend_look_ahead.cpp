#include "PTP/planners/blend_look_ahead.h"

#include <cmath>

#include "common/kernel/kernel_queues.h"
#include "common/kernel/ring_buffer.h"

namespace {

constexpr double kFrameTolerance = 1e-5;

bool sameFrame(const tagCoordParamsFull& a, const tagCoordParamsFull& b) {
  return std::fabs(static_cast<double>(a.x) - b.x) <= kFrameTolerance &&
         std::fabs(static_cast<double>(a.y) - b.y) <= kFrameTolerance &&
         std::fabs(static_cast<double>(a.z) - b.z) <= kFrameTolerance &&
         std::fabs(static_cast<double>(a.r) - b.r) <= kFrameTolerance;
}

// The waiting motion the entry may blend into, or null.
const PreDealData* waitingMotion() {
  const std::uint32_t count = gPreDealDataQueue.count;
  for (std::uint32_t k = 0; k < count && k < gPreDealDataQueue.capacity; ++k) {
    const auto* e = reinterpret_cast<const PreDealData*>(RingBufferAt(&gPreDealDataQueue, k));
    switch (e->type) {
      case kPackedPTP:
        return e->motionType == 1 || e->motionType == 2 ? e : nullptr;
      case kPackedARC:
      case kPackedCircle:
        return e;
      case kPackedWait:
      case kPackedTrig:
      case kPackedIODO:
        return nullptr;
      default:
        break;
    }
  }
  return nullptr;
}

}  // namespace

void LowerBlendTimeToWaitingMotion(PreDealData* entry, const tagToolParams& tool, const tagLocalParams& user) {
  if (gPreDealDataQueue.isEmpty != 0 || gPreDealDataQueue.count == 0) return;
  const PreDealData* next = waitingMotion();
  if (next == nullptr || !sameFrame(next->toolParams, tool) || !sameFrame(next->localParams, user)) return;
  if (entry->blendTime > next->trajPlan.tAcc) entry->blendTime = next->trajPlan.tAcc;
}
