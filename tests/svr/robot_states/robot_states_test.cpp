#include "robot_states/robot_states.h"

#include <cstring>

#include <gtest/gtest.h>

#include "common/protocol/axes_group_ref.h"
#include "common/protocol/plc_status_record.h"

TEST(RobotStates, SimulatedInputReplacesTheHostsByteOnlyWhileItsModeIsSet) {
  RobotStates states;
  states.SetSimulateIOInputStatus(5, 1);
  states.SetSimulateIOInputStatus(6, 1);
  states.SetIOInputSimulate(5, 1);
  std::uint8_t in[64] = {};
  in[7] = 1;
  states.HandleSimulateIOInput(in);
  EXPECT_EQ(in[5], 1);
  EXPECT_EQ(in[6], 0) << "value without mode";
  EXPECT_EQ(in[7], 1) << "host input without mode";
  states.SetIOInputSimulate(5, 0);
  in[5] = 0;
  states.HandleSimulateIOInput(in);
  EXPECT_EQ(in[5], 0);
}

TEST(RobotStates, IndicesOutsideTheImageAreRefused) {
  RobotStates states;
  for (int bad : {64, -1, 1000}) {
    states.SetIOInputSimulate(bad, 1);
    states.SetSimulateIOInputStatus(bad, 1);
    EXPECT_EQ(states.GetIOInputMode(bad), 0) << bad;
  }
  std::uint8_t in[64] = {};
  states.HandleSimulateIOInput(in);
  for (std::uint8_t b : in) EXPECT_EQ(b, 0);
  states.SetIOInputSimulate(63, 3);
  EXPECT_EQ(states.GetIOInputMode(63), 3);
}

TEST(RobotStates, NullRecordsDoNothingAndUnloadedEStopValuesWriteNothing) {
  RobotStates states;
  states.UpdateStatus(nullptr);
  EXPECT_EQ(states.UpdateEStopAcc(nullptr), 0);
  alignas(8) static AxesGroupRef group;
  std::memset(&group, 0, sizeof group);
  group.m_Joints[2].m_EStopDecel = 7.0;
  EXPECT_EQ(states.UpdateEStopAcc(&group), 0);
  EXPECT_EQ(group.m_Joints[2].m_EStopDecel, 7.0);
}

TEST(RobotStates, PlcRecordGetsTheStatusBytesAndModeOneSetsPcMode) {
  RobotStates states;
  states.UpdateEnableStatus(1);
  states.UpdateErrorStatus(2);
  states.UpdateRunStatus(3);
  static PlcStatusRecord record;
  std::memset(&record, 0, sizeof record);
  record.modeWord = 1;
  states.UpdateStatus(&record);
  EXPECT_EQ(record.enableStatus, 1);
  EXPECT_EQ(record.errorStatus, 2);
  EXPECT_EQ(record.runStatus, 3);
  EXPECT_EQ(states.GetPCMode(), 1);
  record.modeWord = 7;  // other values: nothing
  states.UpdateStatus(&record);
  EXPECT_EQ(states.GetPCMode(), 1);
  states.SetAlarm(5);
  EXPECT_EQ(states.GetErrorStatus(), 1);
  EXPECT_EQ(states.getRobotType(), 2);
}
