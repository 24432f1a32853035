// Starting queued execution and the commands that run the conveyor stop,
// whose bus link needs the isolated network of a system test: where planning
// starts, what a start keeps, the conveyor alarm of the pause, the conveyor
// stop of the stop commands.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/queued_exec_fixture.h"

namespace {

using namespace zelor::test;

using QueuedStart = QueuedExec;

TEST_F(QueuedStart, StartRunsQueuedExecutionAndASecondStartChangesNothing) {
  gCmdFinishFlag = 1;
  const Packet first = send(StartExec);
  EXPECT_EQ(first.length, 2);
  EXPECT_EQ(gSysParams.runQueuedCmd, 1);

  // State a second start would reset if it went on.
  gPeriodCount = 7;
  gPeriodCount1 = 3;
  gCollisionPause = 1;
  gbModifySpeedRatio = 1;
  gPreDealPos.pose.x = 123.0;
  gConveyor0.dataSource = 0;
  encoder[1].inUse = 1;
  const Packet second = send(StartExec);
  EXPECT_EQ(second.length, 2);
  EXPECT_EQ(gSysParams.runQueuedCmd, 1);
  EXPECT_EQ(gPeriodCount, 7u);
  EXPECT_EQ(gPeriodCount1, 3u);
  EXPECT_EQ(gCollisionPause, 1);
  EXPECT_EQ(gbModifySpeedRatio, 1);
  EXPECT_EQ(gPreDealPos.pose.x, 123.0);
  EXPECT_EQ(gConveyor0.dataSource, 0) << "no conveyor stop on a refused start";
  EXPECT_EQ(encoder[1].inUse, 1);
  EXPECT_TRUE(logged("3364:runQueuedCmd:1, gRobotPrfMode:0, AlarmSysCheckAll:0 gCmdFinishFlag:1 \r\n"));
}

TEST_F(QueuedStart, StartIgnoresAlarmsBelowEight) {
  gCmdFinishFlag = 1;
  gCollisionPause = 1;
  for (unsigned alarm = 0; alarm < 8; ++alarm) AlarmSysSetBit(alarm, true);
  send(StartExec);
  EXPECT_EQ(gSysParams.runQueuedCmd, 1);
  EXPECT_EQ(gCollisionPause, 0);
  EXPECT_TRUE(logged("3364:runQueuedCmd:0, gRobotPrfMode:0, AlarmSysCheckAll:0 gCmdFinishFlag:1 \r\n"));
}

TEST_F(QueuedStart, StartWithNothingPlannedPlansFromTheJointsTheArmStandsAt) {
  struct Case {
    JointTheta joints;
    double x, y, r;
    const char* jointLine;
  };
  const Case cases[] = {
      {{0, 0, 0, 0}, 400.0, 0.0, 0.0, "Command OnQueuedCmdStartExec jointAngle0.000 0.000 0.000 0.000\r\n"},
      {{90, 0, -20, 15}, 0.0, 400.0, 105.0, "Command OnQueuedCmdStartExec jointAngle90.000 0.000 -20.000 15.000\r\n"},
      {{0, 90, 0, -30}, 225.0, 175.0, 60.0, "Command OnQueuedCmdStartExec jointAngle0.000 90.000 0.000 -30.000\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.jointLine);
    ResetMotionKernel();
    SetTestArm();
    std::memcpy(&gSysParams.joint, &c.joints, sizeof c.joints);
    gCmdFinishFlag = 1;
    gbModifySpeedRatio = 1;
    gPreDealPos.localParams = {3, 1.0f, 2.0f, 3.0f, 4.0f};
    gPreDealPos.toolParams = {4, 5.0f, 6.0f, 7.0f, 8.0f};
    send(StartExec);
    EXPECT_NEAR(gPreDealPos.pose.x, c.x, 1e-3);
    EXPECT_NEAR(gPreDealPos.pose.y, c.y, 1e-3);
    EXPECT_NEAR(gPreDealPos.pose.r, c.r, 1e-3);
    EXPECT_EQ(std::memcmp(&gPreDealPos.joint, &c.joints, sizeof c.joints), 0);
    const tagGPose zero{};
    EXPECT_EQ(std::memcmp(&gPreDealPos.localParams, &zero.localParams, sizeof zero.localParams), 0);
    EXPECT_EQ(std::memcmp(&gPreDealPos.toolParams, &zero.toolParams, sizeof zero.toolParams), 0);
    EXPECT_EQ(gbModifySpeedRatio, 0);
    EXPECT_TRUE(logged(c.jointLine));
  }
}

TEST_F(QueuedStart, StartLogsTheAdvancedFunctionsWithTheBlocksShapingSettings) {
  gCmdFinishFlag = 1;
  gUsingTrueMotion = 1;
  gAccType = 2;
  gInputShaping = 1;
  const std::int32_t shaping = 30;
  const double damping = 0.05;
  std::memcpy(gScaraParams + 652, &shaping, sizeof shaping);
  std::memcpy(gScaraParams + 656, &damping, sizeof damping);
  send(StartExec);
  EXPECT_TRUE(
      logged("Command OnQueuedCmdStartExec AdvancedFunction gUsingTrueMotion:1, gDynamicOptimal:0, gAccType:2, "
             "gTorqueFeedforward:0, gInputECP:0, gInputShapingFreq:30, gInputShapingDamp:0.050000, gInputShaping:1 "
             "\r\n"));
}

TEST_F(QueuedStart, StartKeepsTheCountersOfPlannedMotionsAndClearsThemOtherwise) {
  struct Case {
    const char* what;
    std::vector<std::uint32_t> planned;  // oldest first
    bool paused;
    bool keeps;
  };
  const Case cases[] = {
      {"point-to-point planned", {kPackedPTP}, false, true},
      {"arc behind a wait", {kPackedARC, kPackedWait}, false, true},
      {"circle", {kPackedCircle}, false, true},
      {"planner-less move", {3}, false, true},
      {"outputs and waits only", {kPackedIODO, kPackedWait, kPackedParamPlaceholder}, false, false},
      {"resuming a pause", {kPackedPTP}, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    gCmdFinishFlag = 1;
    gPauseCmdFlag = c.paused ? 1 : 0;
    for (std::uint32_t type : c.planned) PlanEntries({type});
    gCollisionPause = 1;
    gPeriodCount = 40;
    gPeriodCount1 = 4;
    gPreDealPos.pose.x = 77.0;
    send(StartExec);
    EXPECT_EQ(gSysParams.runQueuedCmd, 1);
    EXPECT_EQ(gCollisionPause, c.keeps ? 1 : 0);
    EXPECT_EQ(gPeriodCount, c.keeps ? 40u : 0u);
    EXPECT_EQ(gPeriodCount1, c.keeps ? 4u : 0u);
    EXPECT_EQ(gPreDealPos.pose.x, 77.0) << "planning continues from the last planned entry";
    EXPECT_EQ(logged("Command OnQueuedCmdStartExec RingBufferIsEmpty == false \r\n"), c.keeps);
    EXPECT_EQ(logged("Command OnQueuedCmdStartExec gPauseCmdFlag \r\n"), c.paused);
    EXPECT_EQ(gPauseCmdFlag, c.paused ? 1 : 0) << "the profile stage resumes the pause";
  }
}

TEST_F(QueuedStart, StartRunsTheConveyorStop) {
  gCmdFinishFlag = 1;
  gConveyor0.dataSource = 0;
  encoder[0].inUse = 1;
  encoder[2].inUse = 1;
  send(StartExec);
  EXPECT_TRUE(ConveyorStopped());
}

TEST_F(QueuedStart, PauseWithAConveyorInPlayRaisesAlarm106Instead) {
  struct Case {
    const char* what;
    std::uint8_t triggerKind;
    int channelInUse;  // -1: none
  };
  const Case cases[] = {
      {"trigger kind 0", 0, -1},
      {"channel 1 in use", 2, 0},
      {"channel 3 in use", 1, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ResetMotionKernel();
    core.logs.clear();
    RunEntry(kPackedPTP);
    gConveyor0.dataSource = c.triggerKind;
    if (c.channelInUse >= 0) encoder[c.channelInUse].inUse = 1;
    const Packet reply = send(StopExec);
    EXPECT_EQ(reply.length, 2);
    EXPECT_EQ(gAlarmSysState[13], 0x04);
    EXPECT_TRUE(logged("AlarmSysSetBit(index=106,isOn=1) executed \r\n"));
    EXPECT_EQ(gPauseCmdFlag, 0);
    EXPECT_EQ(gSysParams.runQueuedCmd, 1);
    EXPECT_TRUE(ConveyorStopped());
    EXPECT_FALSE(logged("Command OnQueuedCmdStopExec\n"));
  }
}

TEST_F(QueuedStart, StopWithAConveyorInPlayRunsTheConveyorStopToo) {
  for (Builder builder : {ForceStop, StopClear, HardStop}) {
    ResetMotionKernel();
    gConveyor0.dataSource = 1;
    encoder[1].inUse = 1;
    RunEntry(kPackedPTP);
    send(builder);
    EXPECT_TRUE(ConveyorStopped());
    EXPECT_EQ(gRobotPrfMode, kPrfStop);
    EXPECT_FALSE(AlarmIsSet(kConveyorPauseAlarm)) << "only the pause command raises the conveyor alarm";
  }
}

}  // namespace
