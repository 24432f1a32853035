#pragma once

// A fixture that talks to the kernel's command intake as the data server
// does: packets made by the real builders (or by hand) go through the
// stand-in core table, one intake pass answers them. Kernel state touched by
// the motion handlers starts from load values in every test.

#include <gtest/gtest.h>

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "PTP/pipeline/entry_runner.h"
#include "PTP/teach/inch_teach.h"
#include "PTP/teach/jog_teach.h"
#include "common/kernel/alarms.h"
#include "common/command/command_intake.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kinematics/kinematics.h"
#include "common/kinematics/kinematics_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/packed_cmd.h"
#include "common/kernel/speed_ratio_change.h"
#include "common/kernel/sys_params.h"
#include "support/core_standin.h"
#include "support/queued_exec_state.h"

namespace zelor::test {

inline Packet makePacket(std::uint16_t id, std::uint8_t ctrl, const void* params, std::size_t size) {
  Packet packet{};
  packet.header[0] = packet.header[1] = kPacketHeaderByte;
  packet.length = static_cast<std::uint16_t>(size + 2);
  packet.cmdId = id;
  packet.ctrl = ctrl;
  if (size > 0) std::memcpy(packet.params, params, size);
  return packet;
}

inline Packet makePacket(std::uint16_t id, std::uint8_t ctrl, const std::vector<std::uint8_t>& params) {
  return makePacket(id, ctrl, params.data(), params.size());
}

inline std::uint64_t replyIndex(const Packet& reply) {
  std::uint64_t index = 0;
  std::memcpy(&index, reply.params, sizeof index);
  return index;
}

// The reply's parameters as a record (after checking the reply carries all of it).
template <typename Record>
Record replyRecord(const Packet& reply) {
  EXPECT_EQ(reply.length, sizeof(Record) + 2) << "reply of id " << reply.cmdId << " carries the whole record";
  Record record;
  std::memcpy(&record, reply.params, sizeof record);
  return record;
}

// Kernel state the motion handlers and the jog read or write, at load values.
inline void ResetMotionKernel() {
  gSysParams = tagSysParams{};
  InitKernelQueues();
  std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
  std::memset(gAlarmSysStateBK, 0, sizeof gAlarmSysStateBK);
  gRobotAxisMove = {};
  gTeachMove = {};
  gRobotPrfMode = kPrfIdle;
  gHandTeachFlag = 0;
  gCmdFinishFlag = 0;
  gTeachMode = 0;
  gDistPos = {};
  g_single_joint_mode = 0;
  gbModifySpeedRatio = 0;
  guiModdifyCount = 0;
  ResetQueuedPipeline();
  std::memset(gPhyDIs, 0, sizeof gPhyDIs);
  std::memset(gPhyDOs, 0, sizeof gPhyDOs);
  std::memset(gSoftLimitPara, 0, sizeof gSoftLimitPara);
  std::memset(gScaraMechPara, 0, sizeof gScaraMechPara);
  gToolParams = {};
  gLocalParams = {};
  ResetQueuedExecState();
  // Idle movers that have seen the released key, so the next press is an edge.
  for (InchTeach* mover : {static_cast<InchTeach*>(&gInchJoint), static_cast<InchTeach*>(&gInchCoord)}) {
    mover->Reset();
    mover->Inch();
  }
  CycleStartNow();
}

// The measured joints of the system parameters and the pose they give.
inline void SetMeasured(const JointTheta& joints) {
  std::memcpy(&gSysParams.joint, &joints, sizeof joints);
  WCSPosition pose;
  ForwardCal(&joints, &pose);
  std::memcpy(&gSysParams.pose, &pose, sizeof pose);
}

// An arm of 225 + 175 mm with wide soft limits and a singularity margin of 3 degrees.
inline void SetTestArm() {
  gScaraMechPara[0] = 225.0;
  gScaraMechPara[1] = 175.0;
  const double limits[9] = {170, 150, 200, 360, -170, -150, -200, -360, 3};
  std::memcpy(gSoftLimitPara, limits, sizeof limits);
}

inline bool Logged(const CoreStandIn& core, const std::string& line) {
  return std::find(core.logs.begin(), core.logs.end(), line) != core.logs.end();
}

class KernelCommands : public ::testing::Test {
 protected:
  void SetUp() override { ResetMotionKernel(); }
  void TearDown() override { ResetMotionKernel(); }

  // One intake pass over one request; its one reply.
  Packet exchange(const Packet& request) {
    core.post(request);
    return pass();
  }
  template <typename Builder>
  requires std::invocable<Builder&, PluginBase&> Packet exchange(Builder&& builder) {
    client.post(builder);
    return pass();
  }

  // Ring header words are packed: read them by value.
  std::uint64_t enqueued() const { return gPackedCmdQueue.enqueuedTotal; }
  std::uint32_t queuedCount() const { return gPackedCmdQueue.count; }

  // A copy of the packed entry `offset` places from the head of the queue
  // (slots are packed: their words may sit anywhere).
  PackedBaseCmd entry(std::uint32_t offset) const {
    PackedBaseCmd packed;
    std::memcpy(&packed, RingBufferAt(&gPackedCmdQueue, offset), sizeof packed);
    return packed;
  }
  std::uint32_t entryType(std::uint32_t offset) const { return entry(offset).type; }
  std::uint64_t entryIndex(std::uint32_t offset) const { return entry(offset).queuedCmdIndex; }

  bool logged(const std::string& line) const { return Logged(core, line); }

  CoreStandIn core;
  PostingClient client{core};

 private:
  Packet pass() {
    const std::size_t before = core.replies.size();
    ClassifyAllCmd();
    EXPECT_EQ(core.replies.size(), before + 1) << "one reply per request";
    return core.replies.empty() ? Packet{} : core.replies.back();
  }
};

}  // namespace zelor::test
