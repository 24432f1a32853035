#include "common/kernel/packed_cmd_queue.h"

#include <cstddef>
#include <cstring>

#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/ring_buffer.h"

std::uint64_t NextQueuedCmdIndex() { return gPackedCmdQueue.enqueuedTotal + 1; }

namespace {

// The ring has its pool and room for a whole entry; otherwise nothing can be
// queued, and the refusal is logged.
bool ringSetUp(const char* what) {
  const tagRingBuffer& q = gPackedCmdQueue;
  if (q.pool != nullptr && q.capacity != 0 && q.elemSize >= sizeof(PackedBaseCmd)) return true;
  KernelLog("%s: packed command queue not set up\r\n", what);
  return false;
}

}  // namespace

bool EnqueuePackedCmd(PackedBaseCmd& cmd) {
  if (!ringSetUp(__func__) || gPackedCmdQueue.isFull != 0) return false;
  cmd.queuedCmdIndex = NextQueuedCmdIndex();
  RingBufferEnqueue(&gPackedCmdQueue, &cmd);
  return true;
}

bool EnqueueParamPlaceholder() {
  if (!ringSetUp(__func__) || gPackedCmdQueue.isFull != 0) return false;
  // Written in place: the slot is zeroed, then stamped, without a 2 KiB copy.
  std::uint8_t* slot = gPackedCmdQueue.pool + std::size_t{gPackedCmdQueue.elemSize} * gPackedCmdQueue.writeIndex;
  std::memset(slot, 0, sizeof(PackedBaseCmd));
  const std::uint32_t type = kPackedParamPlaceholder;
  const std::uint64_t index = NextQueuedCmdIndex();
  std::memcpy(slot + offsetof(PackedBaseCmd, type), &type, sizeof type);
  std::memcpy(slot + offsetof(PackedBaseCmd, queuedCmdIndex), &index, sizeof index);
  RingBufferEnqueue(&gPackedCmdQueue, nullptr);
  return true;
}
