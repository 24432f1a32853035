#include "common/command/command_intake.h"

#include <cstring>

#include "common/command/command_message.h"
#include "common/command/command_table.h"
#include "common/kernel/core_interface.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/links/exter_axis_rtu.h"
#include "common/links/mul_robot_conveyor.h"
#include "common/kernel/sys_params.h"

int gRobotId = 0;
int gRobotInLine = 0;

namespace {

constexpr int kIntakeStartStamp = 0;
constexpr int kIntakeEndStamp = 1;

// A queued request's reply is the packed-command ring's enqueued total.
void replyWithQueueIndex(tagMessage& msg) {
  const std::uint64_t index = gPackedCmdQueue.enqueuedTotal;
  static_assert(sizeof index == 8);
  std::memcpy(msg.params, &index, sizeof index);
  msg.paramsLen = sizeof index;
}

}  // namespace

int CommandInit() {
  InitKernelQueues();
  // The links are built here, off the cycle: their IPC objects, sockets and
  // threads are made once, never by the first command that needs them.
  ExterAxisRTU::Init();
  return MulRobotConveyor::GetConfig(gRobotId, gRobotInLine);
}

std::uint32_t DispatchCommand(std::span<const CommandRow> table, tagMessage* msg) {
  for (const CommandRow& row : table) {
    if (row.id != msg->id) continue;
    std::uint32_t len = msg->paramsLen;
    const std::uint32_t result = row.handler(&gSysParams, msg->rw, msg->params, len, msg->isQueued != 0);
    msg->paramsLen = len;
    return result;
  }
  return 0;
}

std::uint32_t ExecuteCmd(tagMessage* msg) { return DispatchCommand(gProtocolHandlerLUT, msg); }

void ClassifyCommands(std::span<const CommandRow> table) {
  StampStage(kIntakeStartStamp);
  tagMessage msg;
  // Bounded by the data server: its mailbox hands over one packet per reply.
  for (;;) {
    const std::uint32_t read = MessageRead(&msg);
    if (read == kMessageNone) break;
    if (read == kMessageRefused) {
      KernelLog("[ERROR]Cmd %u refused: bad length field\r\n", static_cast<unsigned>(msg.id));
      MessageWrite(&msg);
      continue;
    }
    if (msg.isQueued != 0 && gPackedCmdQueue.isFull != 0) {
      // No reply: the mailbox presents the same packet again next cycle.
      KernelLog("[ERROR]Queued cmd and ring buffer is full!\r\n");
      KernelLog("[ERROR]LeftSpace:count:%d left:%d\r\n", static_cast<int>(gPackedCmdQueue.count),
                static_cast<int>(gPackedCmdQueue.capacity - gPackedCmdQueue.count));
      break;
    }
    DispatchCommand(table, &msg);
    if (msg.isQueued != 0) replyWithQueueIndex(msg);
    MessageWrite(&msg);
  }
  StampStage(kIntakeEndStamp);
}

void ClassifyAllCmd() { ClassifyCommands(gProtocolHandlerLUT); }
