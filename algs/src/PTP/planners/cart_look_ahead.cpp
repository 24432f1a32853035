#include <cmath>

#include "PTP/planners/cart_profile.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/ring_buffer.h"

namespace {

bool near(float a, float b) { return std::fabs(a - b) <= 1e-5f; }

bool sameFrames(const PreDealData& e, const CartCommand& c) {
  return near(e.toolParams.x, c.tool.x) && near(e.toolParams.y, c.tool.y) && near(e.toolParams.z, c.tool.z) &&
         near(e.toolParams.r, c.tool.r) && near(e.localParams.x, c.local.x) && near(e.localParams.y, c.local.y) &&
         near(e.localParams.z, c.local.z) && near(e.localParams.r, c.local.r);
}

}  // namespace

void CartStopLookAhead(PreDealData* entry, const CartCommand& c) {
  const std::uint32_t count = gPreDealDataQueue.count;
  for (std::uint32_t k = 0; k < count; ++k) {
    const auto* e = reinterpret_cast<const PreDealData*>(RingBufferAt(&gPreDealDataQueue, k));
    const std::uint32_t type = e->type;
    bool used = false;
    if (type == kPackedPTP) {
      used = e->motionType == 1 || e->motionType == 2;
    } else if (type == kPackedARC || type == kPackedCircle) {
      used = true;
    } else if (type == kPackedWait || type == kPackedTrig || type == kPackedIODO) {
      return;
    } else {
      continue;
    }
    if (used && sameFrames(*e, c) && entry->blendTime > e->trajPlan.tAcc) entry->blendTime = e->trajPlan.tAcc;
    return;
  }
}
