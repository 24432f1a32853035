#pragma once

// Reading one command message off the slide queue.

#include "common/links/exter_axis_msg.h"

namespace tramlet_detail {

enum class QueueRead {
  kMessage,    // msg holds the message
  kDiscarded,  // a message longer than the body was taken off and dropped
  kFailed,     // nothing taken (empty queue with IPC_NOWAIT, or an error)
};

// msgrcv of one body of the given type (0: any) with flags. A message longer
// than the body would otherwise stay at the head of the queue and block every
// later read: it is taken off, reported in one line and not carried out.
QueueRead readQueueMessage(int msqId, ExterAxisRTU::ExterAxisCmdMsg& msg, long type, int flags);

}  // namespace tramlet_detail
