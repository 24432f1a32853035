// Pausing, stopping and clearing queued execution and the refused starts
// through packets, the status queries, the pause as the dynamics stage calls
// it, and the resets shared with hand teaching. (Cases that run the conveyor
// stop reach the multi-robot bus: they are system tests.)
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PTP/path/blending.h"
#include "PTP/path/path.h"
#include "common/command/command_table.h"
#include "common/command/queued_pause.h"
#include "common/command/queued_resets.h"
#include "support/queued_exec_fixture.h"

namespace {

using namespace zelor::test;

// --- Start (240) ---

TEST_F(QueuedExec, StartIsRefusedInAStopWithAnAlarmOrWhileAMotionFinishes) {
  struct Case {
    const char* what;
    std::uint8_t mode;
    int alarm;  // -1: none
    std::uint8_t finished;
    const char* scanLine;
  };
  const Case cases[] = {
      {"stop in progress", kPrfStop, -1, 1,
       "3364:runQueuedCmd:0, gRobotPrfMode:7, AlarmSysCheckAll:0 gCmdFinishFlag:1 \r\n"},
      {"alarm 8", kPrfIdle, 8, 1, "3364:runQueuedCmd:0, gRobotPrfMode:0, AlarmSysCheckAll:1 gCmdFinishFlag:1 \r\n"},
      {"alarm 255", kPrfIdle, 255, 1,
       "3364:runQueuedCmd:0, gRobotPrfMode:0, AlarmSysCheckAll:1 gCmdFinishFlag:1 \r\n"},
      {"motion finishing", kPrfIdle, -1, 0,
       "3364:runQueuedCmd:0, gRobotPrfMode:0, AlarmSysCheckAll:0 gCmdFinishFlag:0 \r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    gRobotPrfMode = c.mode;
    gCmdFinishFlag = c.finished;
    if (c.alarm >= 0) AlarmSysSetBit(static_cast<unsigned>(c.alarm), true);
    gCollisionPause = 1;
    const Packet reply = send(StartExec);
    EXPECT_EQ(reply.length, 2) << "a refused start replies as a started one";
    EXPECT_EQ(gSysParams.runQueuedCmd, 0);
    EXPECT_EQ(gCollisionPause, 1);
    EXPECT_EQ(gConveyor0.dataSource, 0) << "no conveyor stop";
    EXPECT_TRUE(logged(c.scanLine));
    if (c.alarm >= 8) {
      const std::string occur = "[ALARM]ID Occur:" + std::to_string(c.alarm >> 3) + "\r\n";
      EXPECT_EQ(std::count(core.logs.begin(), core.logs.end(), occur), 1) << "a new alarm byte is logged once";
    }
  }
}

// --- Pause (241) ---

TEST_F(QueuedExec, PauseRebasesTheParallelOutputsStillDue) {
  struct Case {
    const char* what;
    std::uint8_t poFlag;
    std::uint8_t count;
    std::vector<std::uint8_t> done;
    std::vector<std::uint32_t> triggers;
    std::vector<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"first done", 1, 2, {1, 0}, {500, 800}, {500, 500}},
      {"none done", 1, 3, {0, 0, 0}, {301, 800, 1300}, {1, 500, 1000}},
      {"already due stays due", 1, 2, {0, 0}, {300, 200}, {0, 0}},
      {"no parallel outputs", 0, 2, {0, 0}, {500, 800}, {500, 800}},
      {"count above eight reads eight", 1, 200, {0, 0, 0, 0, 0, 0, 0, 0},
       {400, 400, 400, 400, 400, 400, 400, 400}, {100, 100, 100, 100, 100, 100, 100, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    ConveyorAtRest();
    RunEntry(kPackedPTP);
    gPeriodCount = 300;
    gPreDealData.parallel.poFlag = c.poFlag;
    gPreDealData.parallel.count = c.count;
    for (std::size_t i = 0; i < c.done.size(); ++i) gPreDealData.parallel.done[i] = c.done[i];
    for (std::size_t i = 0; i < c.triggers.size(); ++i) gPreDealData.poTriggerCycles[i] = c.triggers[i];
    const Packet reply = send(StopExec);
    EXPECT_EQ(reply.length, 2);
    for (std::size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(gPreDealData.poTriggerCycles[i], c.expected[i]) << i;
    EXPECT_EQ(gPauseCmdFlag, 1);
    EXPECT_EQ(gSysParams.runQueuedCmd, 0);
    EXPECT_EQ(gAlarmSysState[13], 0);
    EXPECT_TRUE(logged("Command OnQueuedCmdStopExec pause poFlag:" + std::to_string(c.poFlag) + " \r\n"));
    EXPECT_EQ(linesStartingWith("Command OnQueuedCmdStopExec"),
              (std::vector<std::string>{"Command OnQueuedCmdStopExec\n",
                                        "Command OnQueuedCmdStopExec pause poFlag:" + std::to_string(c.poFlag) + " \r\n",
                                        "Command OnQueuedCmdStopExec pause stop\n"}));
  }
}

TEST_F(QueuedExec, PauseByTheEntryInExecution) {
  enum Outcome { kPaused, kFinished, kNotBegun };
  struct Case {
    const char* what;
    std::uint32_t type;
    std::uint32_t motionType;
    std::uint8_t finished;
    std::uint32_t blendCycles;
    Outcome outcome;
  };
  const Case cases[] = {
      {"jump", kPackedPTP, 0, 0, 0, kPaused},
      {"joint move", kPackedPTP, 1, 0, 0, kPaused},
      {"planner-less move", 3, 9, 0, 0, kPaused},
      {"arc", kPackedARC, 10, 0, 0, kPaused},
      {"circle", kPackedCircle, 11, 0, 0, kPaused},
      {"move in its blend into the next", kPackedPTP, 1, 1, 5, kPaused},
      {"move not yet begun", kPackedPTP, 1, 1, 0, kNotBegun},
      {"wait", kPackedWait, 0, 0, 0, kFinished},
      {"trigger", kPackedTrig, 0, 0, 0, kFinished},
      {"nothing yet", kPackedParamPlaceholder, 0, 0, 0, kFinished},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    ConveyorAtRest();
    RunEntry(c.type, c.motionType);
    gCmdFinishFlag = c.finished;
    gPeriodCount1 = c.blendCycles;
    const Packet reply = send(StopExec);
    EXPECT_EQ(reply.length, 2);
    EXPECT_EQ(gSysParams.runQueuedCmd, 0);
    EXPECT_EQ(gPauseCmdFlag, c.outcome == kPaused ? 1 : 0);
    const std::uint8_t finishedAfter = c.outcome == kFinished ? 1 : c.finished;
    EXPECT_EQ(gCmdFinishFlag, finishedAfter);
    EXPECT_EQ(gRobotPrfMode, kPrfExecute) << "the profile stage does the stopping";
  }
}

TEST_F(QueuedExec, PauseWithNothingRunningEchoesTheRequest) {
  ConveyorAtRest();
  const std::uint8_t extra[] = {0x5A, 0xA5};
  const Packet idle = exchange(makePacket(241, kCtrlWrite, extra, sizeof extra));
  EXPECT_EQ(idle.length, 4);
  EXPECT_EQ(idle.params[0], 0x5A);
  EXPECT_EQ(idle.params[1], 0xA5);
  EXPECT_TRUE(logged("Command OnQueuedCmdStopExec\n"));
  EXPECT_EQ(gPauseCmdFlag, 0);

  RunEntry(kPackedPTP);
  const Packet running = exchange(makePacket(241, kCtrlWrite, extra, sizeof extra));
  EXPECT_EQ(running.length, 2) << "a pause that acted replies length 0";
  EXPECT_EQ(gPauseCmdFlag, 1);
}

TEST_F(QueuedExec, CollisionPauseIgnoresTheConveyor) {
  struct Case {
    const char* what;
    std::uint8_t triggerKind;
    int channelInUse;
  };
  const Case cases[] = {
      {"channel 2 in use", 2, 1},
      {"trigger kind 0", 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    RunEntry(kPackedPTP);
    gConveyor0.dataSource = c.triggerKind;
    gConveyor0.encoderChannel = 1;
    if (c.channelInUse >= 0) encoder[c.channelInUse].inUse = 1;
    const Conveyor conveyor = gConveyor0;
    tagEncoderChannel channels[kEncoderChannels];
    std::memcpy(channels, encoder, sizeof channels);
    gCollisionPause = 1;

    EXPECT_FALSE(QueuedCmdPause());
    EXPECT_EQ(gPauseCmdFlag, 1);
    EXPECT_EQ(gSysParams.runQueuedCmd, 0);
    EXPECT_FALSE(AlarmIsSet(kConveyorPauseAlarm));
    EXPECT_EQ(std::memcmp(&gConveyor0, &conveyor, sizeof conveyor), 0);
    EXPECT_EQ(std::memcmp(encoder, channels, sizeof channels), 0);
    EXPECT_EQ(gCollisionPause, 1);
  }
  ResetMotionKernel();
  EXPECT_TRUE(QueuedCmdPause()) << "nothing running: nothing to pause";
}

// --- Stop and clear (242, 248, 249) ---

TEST_F(QueuedExec, StopAndClearDropsEverythingQueuedAndStartsAnEmergencyStop) {
  struct Case {
    const char* what;
    Builder builder;
    std::uint8_t emergencyAfter;  // starts at 1
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"242 emergency", ForceStop, 1, {"Command OnQueuedCmdForceStopExec 0\r\n"}},
      {"242 plain", PlainForceStop, 0, {"Command OnQueuedCmdForceStopExec 0\r\n"}},
      {"248",
       StopClear,
       1,
       {"Command OnQueuedCmdStopClearExec EMERGENCY_STOP 0\r\n", "Command OnQueuedCmdStopClearExec EMERGENCY_STOP 1\r\n"}},
      {"249", HardStop, 1, {"Command OnQueuedCmdHardStopClearExec 0\r\n"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    ConveyorAtRest();
    RunEntry(kPackedPTP);
    gPauseCmdFlag = 1;
    gEmergencyStop = 1;
    gStopMode = kStopPath;
    gStopCmdPlanFlag = 1;
    gQueuedMotionCmdCurrentIndex = 9;
    gTeachMove.velocity = 5.0;
    gTeachMove.targetSpeed = 6.0;
    QueueCommands(3);
    PlanEntries({kPackedPTP, kPackedPTP});
    const std::uint64_t enqueuedBefore = gPackedCmdQueue.enqueuedTotal;

    const Packet reply = send(c.builder);
    EXPECT_EQ(reply.length, 2);
    EXPECT_EQ(gEmergencyStop, c.emergencyAfter);
    EXPECT_EQ(+gPackedCmdQueue.count, 0u);
    EXPECT_EQ(+gPreDealDataQueue.count, 0u);
    EXPECT_EQ(+gPackedCmdQueue.enqueuedTotal, enqueuedBefore) << "indices continue after a clear";
    EXPECT_EQ(gSysParams.runQueuedCmd, 0);
    EXPECT_EQ(gPauseCmdFlag, 0);
    EXPECT_EQ(gCmdFinishFlag, 1);
    EXPECT_EQ(gQueuedMotionCmdCurrentIndex, 0u);
    EXPECT_EQ(gTeachMove.velocity, 0.0);
    EXPECT_EQ(gTeachMove.targetSpeed, 0.0);
    EXPECT_EQ(gRobotPrfMode, kPrfStop);
    EXPECT_EQ(gStopMode, kStopEmergency);
    EXPECT_EQ(gStopCmdPlanFlag, 0) << "the stop is planned afresh";
    EXPECT_EQ(linesStartingWith("Command OnQueuedCmd"), c.lines);
    EXPECT_EQ(gConveyor0.dataSource, 2);
  }
}

TEST_F(QueuedExec, StopDuringAStopOnlyLogsAndSetsTheFlag) {
  ConveyorAtRest();
  gConveyor0.encoderChannel = 2;
  const Conveyor conveyor = gConveyor0;
  gSysParams.runQueuedCmd = 1;
  gRobotPrfMode = kPrfStop;
  gStopMode = kStopSmooth;
  gStopCmdPlanFlag = 1;
  QueueCommands(2);
  PlanEntries({kPackedPTP});

  send(ForceStop);
  EXPECT_EQ(gEmergencyStop, 1);
  EXPECT_TRUE(logged("Command OnQueuedCmdForceStopExec 0\r\n"));
  EXPECT_EQ(gSysParams.runQueuedCmd, 1);
  EXPECT_EQ(+gPackedCmdQueue.count, 2u);
  EXPECT_EQ(+gPreDealDataQueue.count, 1u);
  EXPECT_EQ(gStopMode, kStopSmooth);
  EXPECT_EQ(gStopCmdPlanFlag, 1);
  EXPECT_EQ(std::memcmp(&gConveyor0, &conveyor, sizeof conveyor), 0);
}

TEST_F(QueuedExec, ForceStopWithoutItsFlagByteIsAPlainStop) {
  ConveyorAtRest();
  gEmergencyStop = 1;
  RunEntry(kPackedPTP);
  const Packet reply = exchange(makePacket(242, kCtrlWrite, nullptr, 0));
  EXPECT_EQ(reply.length, 2);
  EXPECT_EQ(gEmergencyStop, 0);
  EXPECT_EQ(gRobotPrfMode, kPrfStop);
  EXPECT_EQ(gSysParams.runQueuedCmd, 0);
}

// --- Clear (245) ---

TEST_F(QueuedExec, ClearEmptiesTheRingsWithoutStoppingTheRunningEntry) {
  const tagPTPCmd move{1, 100.0f, 50.0f, 0.0f, 0.0f};
  for (int i = 0; i < 3; ++i) exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
  ASSERT_EQ(+gPackedCmdQueue.count, 3u);
  PlanEntries({kPackedPTP, kPackedWait});
  RunEntry(kPackedPTP);
  gPreDealData.queuedCmdIndex = 2;
  gQueuedMotionCmdCurrentIndex = 2;

  const Packet reply = send(Clear);
  EXPECT_EQ(reply.length, 2);
  EXPECT_EQ(+gPackedCmdQueue.count, 0u);
  EXPECT_EQ(+gPreDealDataQueue.count, 0u);
  EXPECT_EQ(gQueuedMotionCmdCurrentIndex, 0u);
  EXPECT_EQ(gSysParams.runQueuedCmd, 1);
  EXPECT_EQ(gRobotPrfMode, kPrfExecute);
  EXPECT_EQ(gCmdFinishFlag, 0);
  EXPECT_EQ(gPreDealData.type, kPackedPTP);
  EXPECT_EQ(gPreDealData.queuedCmdIndex, 2u);

  const Packet next = exchange([&](PluginBase& c) { return c.alloc_SetPTPCmd(&move, 1); });
  EXPECT_EQ(zelor::test::replyIndex(next), 5u) << "the next queued command takes the next index, not 2";
}

// --- Queries (246, 247, 27, 28) ---

TEST_F(QueuedExec, CurrentIndexRepliesTheIndexInExecution) {
  for (std::uint64_t index : {std::uint64_t{0}, std::uint64_t{41}, std::uint64_t{0x1122334455667788}}) {
    gQueuedCmdCurrentIndex = index;
    const Packet reply = send(CurrentIndex);
    EXPECT_EQ(zelor::test::replyRecord<std::uint64_t>(reply), index);
  }
}

TEST_F(QueuedExec, LeftSpaceReportsTheSixtyFourEntryWindow) {
  struct Case {
    std::uint32_t waiting;
    std::uint32_t reply;
  };
  const Case cases[] = {{0, 64}, {1, 63}, {63, 1}, {64, 0}, {65, 63}, {127, 1}, {128, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.waiting);
    ResetMotionKernel();
    QueueCommands(c.waiting);
    const Packet reply = send(LeftSpace);
    EXPECT_EQ(zelor::test::replyRecord<std::uint32_t>(reply), c.reply);
  }
}

TEST_F(QueuedExec, AllDoneAndStopStatus) {
  struct Case {
    const char* what;
    std::uint32_t queued;
    std::uint32_t planned;
    std::uint8_t finished;
    std::uint8_t mode;
    std::uint8_t allDone;
    std::uint8_t stopped;
  };
  const Case cases[] = {
      {"idle and empty", 0, 0, 1, kPrfIdle, 1, 1},
      {"a command queued", 1, 0, 1, kPrfIdle, 0, 0},
      {"an entry planned", 0, 1, 1, kPrfIdle, 0, 0},
      {"a motion in execution", 0, 0, 0, kPrfExecute, 0, 0},
      {"a jog", 0, 0, 1, kPrfJogJoint, 1, 0},
      {"a stop", 0, 0, 1, kPrfStop, 1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    QueueCommands(c.queued);
    for (std::uint32_t i = 0; i < c.planned; ++i) PlanEntries({kPackedPTP});
    gCmdFinishFlag = c.finished;
    gRobotPrfMode = c.mode;
    EXPECT_EQ(replyByte(send(AllDone)), c.allDone);
    EXPECT_EQ(replyByte(send(StopStatus)), c.stopped);
    EXPECT_EQ(linesStartingWith("Command OnGetAllcmdDone"),
              (std::vector<std::string>{"Command OnGetAllcmdDone " + std::to_string(c.allDone) + "\r\n",
                                        "Command OnGetAllcmdDone " + std::to_string(c.stopped) + "\r\n"}));
  }
}

TEST_F(QueuedExec, DoneQueriesAreSilentInExcitationMode1) {
  for (std::uint8_t mode : {0, 1, 3, 33}) {
    SCOPED_TRACE(+mode);
    core.logs.clear();
    gExcitMode = mode;
    gCmdFinishFlag = 1;
    EXPECT_EQ(replyByte(send(AllDone)), 1);
    EXPECT_EQ(replyByte(send(StopStatus)), 1);
    EXPECT_EQ(linesStartingWith("Command OnGetAllcmdDone").size(), mode == 1 ? 0u : 2u);
  }
}

// --- Resets ---

TEST_F(QueuedExec, DisableDealHandsTheArmOverToHandTeaching) {
  for (std::uint8_t switches : {0, 1}) {
    SCOPED_TRACE(+switches);
    ResetMotionKernel();
    gUsingTrueMotion = switches;
    gDynamicOptimal = switches;
    RunEntry(kPackedPTP);
    gPauseCmdFlag = 1;
    QueueCommands(4);
    PlanEntries({kPackedPTP});
    gQueuedMotionCmdCurrentIndex = 3;
    fstPath.kind = kPathLine;
    fstPath.para[0] = 1.0;
    secPath.endSpeed = 2.0;
    blendSeg.exitSpeed = 30.0;
    gLoad = {1.5, 0.2};
    gSysParams.refSysFlag = 1;
    gSysParams.eCPFlag = 1;
    gSysParams.loadFlag = 1;

    DisableDeal();
    EXPECT_EQ(gHandTeachFlag, 1);
    EXPECT_EQ(gSysParams.runQueuedCmd, 0);
    EXPECT_EQ(gPauseCmdFlag, 0);
    EXPECT_EQ(gCmdFinishFlag, 1);
    EXPECT_EQ(+gPackedCmdQueue.count, 0u);
    EXPECT_EQ(+gPreDealDataQueue.count, 0u);
    EXPECT_EQ(gQueuedMotionCmdCurrentIndex, 0u);
    EXPECT_TRUE(gInchJoint.IsIdle());
    EXPECT_TRUE(gInchCoord.IsIdle());
    const PathInfo zero{};
    const bool cleared = switches != 0;
    EXPECT_EQ(std::memcmp(&fstPath, &zero, sizeof zero) == 0, cleared);
    EXPECT_EQ(std::memcmp(&secPath, &zero, sizeof zero) == 0, cleared);
    EXPECT_EQ(blendSeg.exitSpeed, cleared ? 0.0 : 30.0);
    EXPECT_EQ(+gLoad.payload, cleared ? 0.0 : 1.5);
    EXPECT_EQ(+gLoad.inertia, cleared ? 0.0 : 0.2);
    EXPECT_EQ(gSysParams.refSysFlag, 0);
    EXPECT_EQ(gSysParams.eCPFlag, 0);
    EXPECT_EQ(gSysParams.loadFlag, 0);
    EXPECT_NE(gRobotPrfMode, kPrfStop) << "disabling starts no stop";
  }
}

// --- Command table ---

TEST(QueuedExecTable, RowsSitInTheirPlaces) {
  auto rowOf = [](std::uint32_t id) {
    const auto it = std::find_if(gProtocolHandlerLUT.begin(), gProtocolHandlerLUT.end(),
                                 [id](const CommandRow& row) { return row.id == id; });
    EXPECT_NE(it, gProtocolHandlerLUT.end()) << "id " << id << " has a row";
    return it - gProtocolHandlerLUT.begin();
  };
  EXPECT_EQ(rowOf(28), rowOf(27) + 1);
  EXPECT_LT(rowOf(28), rowOf(31));
  const std::uint32_t ordered[] = {120, 240, 241, 242, 245, 246, 247, 248, 249};
  for (std::size_t i = 1; i < std::size(ordered); ++i) {
    EXPECT_LT(rowOf(ordered[i - 1]), rowOf(ordered[i])) << ordered[i - 1] << " before " << ordered[i];
  }
}

}  // namespace
