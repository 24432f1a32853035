// Brake, drag and robot-mode getters on a hand-made axes-group record, with
// the real core sub-process answering the kernel's stop status (at rest).
#include <cstring>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "common/protocol/axes_group_ref.h"
#include "robot_states/robot_states.h"
#include "stdout_capture.h"
#include "support/core_rig.h"

using zelor::test::CoreRig;

namespace {

class StatusGetters : public ::testing::Test {
 public:
  void SetUp() override {
    rig_.registerCore();
    std::memset(&ref_, 0, sizeof ref_);
    std::memset(&rec_, 0, sizeof rec_);
    robotMap::instance().storeWord(robot_map::kIsDisabled, 1);
    zelor::test::StdoutCapture quiet;  // the missing Lua sub-process, logged once
    states_.getRobotMode(&ref_, &rec_);
  }
  void brakes(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    const std::uint32_t words[4] = {a, b, c, d};
    for (int k = 0; k < 4; ++k) ref_.m_Joints[k].m_ControlWord = words[k];
  }

  CoreRig rig_;
  RobotStates states_;
  alignas(8) AxesGroupRef ref_;
  RealTimeData_t rec_;
};

}  // namespace

TEST_F(StatusGetters, BrakeAndDragBytesOfTheRecord) {
  const struct {
    std::uint32_t words[4];
    std::uint32_t groupState;
    std::uint8_t brake;
    std::uint8_t drag;
  } cases[] = {
      {{1, 1, 1, 1}, 0, 0x1E, 0}, {{0, 0, 0, 7}, 0, 0x02, 0}, {{1, 0, 0, 0}, 10, 0x10, 1},
      {{0, 5, 0, 0}, 9, 0x08, 0}, {{0, 0, 0, 0}, 11, 0x00, 0}, {{0, 0, 2, 0}, 10, 0x04, 1},
  };
  for (const auto& c : cases) {
    brakes(c.words[0], c.words[1], c.words[2], c.words[3]);
    ref_.m_Joints[0].m_GroupState = c.groupState;
    states_.UpdateRtStatus(&ref_, &rec_);
    EXPECT_EQ(rec_.BrakeStatus, c.brake) << c.words[0] << c.words[1] << c.words[2] << c.words[3];
    EXPECT_EQ(rec_.DragStatus, c.drag) << c.groupState;
    EXPECT_EQ(rec_.RunningStatus, 0) << "the kernel is at rest";
    EXPECT_EQ(rec_.RobotType, 2);
  }
  EXPECT_EQ(states_.getBrakeStatus(nullptr), 0);
  EXPECT_EQ(states_.getDragStatus(nullptr), 0);
}

TEST_F(StatusGetters, RobotModeFirstMatchWins) {
  const struct Case {
    const char* what;
    std::function<void(StatusGetters&)> set;
    int mode;
    std::int32_t isErr;
  } cases[] = {
      {"alarm over drag and jog",
       [](StatusGetters& t) {
         t.states_.SetAlarm(12);
         t.ref_.m_Joints[0].m_GroupState = 10;
         t.rec_.JogStatus = 1;
       },
       9, 1},
      {"alarm cleared, drag over jog",
       [](StatusGetters& t) {
         t.ref_.m_Joints[0].m_GroupState = 10;
         t.rec_.JogStatus = 1;
       },
       6, 0},
      {"jog", [](StatusGetters& t) { t.rec_.JogStatus = 1; }, 11, 0},
      {"enabled, a brake word 1, kernel stopped", [](StatusGetters& t) { t.brakes(0, 0, 1, 0); }, 2, 0},
      {"brake words other than 1", [](StatusGetters& t) { t.brakes(2, 0, 0, 3); }, 4, 0},
      {"disabled word 0",
       [](StatusGetters& t) {
         t.brakes(1, 1, 1, 1);
         robotMap::instance().storeWord(robot_map::kIsDisabled, 0);
       },
       5, 0},
      {"paused without a script is no pause", [](StatusGetters& t) { t.rec_.PauseCmdFlag = 1; }, 4, 0},
  };
  for (const Case& c : cases) {
    std::memset(&ref_, 0, sizeof ref_);
    std::memset(&rec_, 0, sizeof rec_);
    states_.SetAlarm(0);
    robotMap::instance().storeWord(robot_map::kIsDisabled, 1);
    robotMap::instance().storeWord(robot_map::kIsErr, 55);
    c.set(*this);
    EXPECT_EQ(states_.getRobotMode(&ref_, &rec_), c.mode) << c.what;
    EXPECT_EQ(robotMap::instance().loadWord(robot_map::kIsErr), c.isErr) << c.what;
  }
  robotMap::instance().storeWord(robot_map::kIsErr, 55);
  EXPECT_EQ(states_.getRobotMode(nullptr, &rec_), 1);
  EXPECT_EQ(robotMap::instance().loadWord(robot_map::kIsErr), 55) << "no record: the word is left alone";
}
