#include "tramlet/queue_read.h"

#include <sys/msg.h>

#include <cerrno>
#include <cstdio>

namespace tramlet_detail {

QueueRead readQueueMessage(int msqId, ExterAxisRTU::ExterAxisCmdMsg& msg, long type, int flags) {
  if (msgrcv(msqId, &msg, ExterAxisRTU::kCmdBodySize, type, flags) >= 0) return QueueRead::kMessage;
  if (errno != E2BIG) return QueueRead::kFailed;
  ExterAxisRTU::ExterAxisCmdMsg dropped{};
  if (msgrcv(msqId, &dropped, ExterAxisRTU::kCmdBodySize, type, flags | IPC_NOWAIT | MSG_NOERROR) < 0) {
    return QueueRead::kFailed;
  }
  std::printf("discarded an oversized message of type %ld\n", dropped.mtype);
  return QueueRead::kDiscarded;
}

}  // namespace tramlet_detail
