#pragma once

// Queued-execution control through packets: the builders of its commands,
// kernel states prepared per case (planned entries, waiting commands, an
// entry in execution, the tracked conveyor) and a fixture over
// KernelCommands.

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/kernel_commands.h"

namespace zelor::test {

inline constexpr unsigned kConveyorPauseAlarm = 106;

// Builders of the commands of this group.
inline Packet* StartExec(PluginBase& c) { return c.alloc_SetQueuedCmdStartExec(); }
inline Packet* StopExec(PluginBase& c) { return c.alloc_SetQueuedCmdStopExec(); }
inline Packet* ForceStop(PluginBase& c) { return c.alloc_SetQueuedCmdForceStopExec(true); }
inline Packet* PlainForceStop(PluginBase& c) { return c.alloc_SetQueuedCmdForceStopExec(false); }
inline Packet* StopClear(PluginBase& c) { return c.alloc_SetQueuedCmdStopClear(); }
inline Packet* HardStop(PluginBase& c) { return c.alloc_SetQueuedCmdHardStopExec(); }
inline Packet* Clear(PluginBase& c) { return c.alloc_SetQueuedCmdClear(); }
inline Packet* CurrentIndex(PluginBase& c) { return c.alloc_GetQueuedCmdCurrentIndex(); }
inline Packet* LeftSpace(PluginBase& c) { return c.alloc_GetQueuedCmdLeftSpace(); }
inline Packet* AllDone(PluginBase& c) { return c.alloc_GetCmdAllDone(); }
inline Packet* StopStatus(PluginBase& c) { return c.alloc_GetStopStatus(); }

using Builder = Packet* (*)(PluginBase&);

// Planned entries waiting for execution, by packed type.
inline void PlanEntries(std::initializer_list<std::uint32_t> types) {
  static PreDealData entry;
  for (std::uint32_t type : types) {
    entry = PreDealData{};
    entry.type = type;
    RingBufferEnqueue(&gPreDealDataQueue, &entry);
  }
}

// `n` queued commands waiting for the pre-processing (their bodies unused).
inline void QueueCommands(std::uint32_t n) {
  for (std::uint32_t i = 0; i < n; ++i) RingBufferEnqueue(&gPackedCmdQueue, nullptr);
}

// Queued execution running the entry of packed type `type`, mid-move.
inline void RunEntry(std::uint32_t type, std::uint32_t motionType = 1) {
  gSysParams.runQueuedCmd = 1;
  gRobotPrfMode = kPrfExecute;
  gCmdFinishFlag = 0;
  gPreDealData.type = type;
  gPreDealData.motionType = motionType;
  gPeriodCount = 100;
}

// A conveyor that lets the pause through: trigger kind set, no channel in use.
inline void ConveyorAtRest() { gConveyor0.dataSource = 2; }

// The record of the conveyor stop: trigger kind 2, every channel free.
inline bool ConveyorStopped() {
  return gConveyor0.dataSource == 2 &&
         std::none_of(std::begin(encoder), std::end(encoder), [](const tagEncoderChannel& c) { return c.inUse != 0; });
}

class QueuedExec : public KernelCommands {
 protected:
  Packet send(Builder builder) {
    return exchange([builder](PluginBase& c) { return builder(c); });
  }
  // Log lines that begin with `prefix`, in order.
  std::vector<std::string> linesStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const std::string& line : core.logs) {
      if (line.rfind(prefix, 0) == 0) out.push_back(line);
    }
    return out;
  }
  std::uint8_t replyByte(const Packet& reply) {
    EXPECT_EQ(reply.length, 3) << "one byte for id " << reply.cmdId;
    return reply.params[0];
  }
};

}  // namespace zelor::test
