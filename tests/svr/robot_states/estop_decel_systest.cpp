// E-stop decelerations from the project's emergencystop.json into the host's
// axes-group record.
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "common/protocol/axes_group_ref.h"
#include "robot_states/robot_states.h"

namespace {

constexpr const char* kFile = "/zelor/userdata/project/settings/playback/emergencystop.json";

class EStopDecel : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ifstream in(kFile);
    std::stringstream s;
    s << in.rdbuf();
    original_ = s.str();
    std::memset(&group_, 0, sizeof group_);
  }
  void TearDown() override { std::ofstream(kFile) << original_; }

  static double doubleAt(const AxesGroupRef& g, std::size_t offset) {
    double v;
    std::memcpy(&v, reinterpret_cast<const char*>(&g) + offset, sizeof v);
    return v;
  }

  std::string original_;
  alignas(8) static inline AxesGroupRef group_;
};

TEST_F(EStopDecel, LoadedAccelerationsGoToEachAxisRecord) {
  std::ofstream(kFile) << R"({"acceleration": [1, 2, 3, 4], "jerk": [10, 20, 30, 40]})";
  RobotStates states;
  states.Init();
  EXPECT_EQ(states.UpdateEStopAcc(&group_), 1);
  const std::size_t offsets[] = {168, 1096, 2024, 2952};
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(doubleAt(group_, offsets[k]), k + 1.0) << "axis " << k;
    EXPECT_EQ(group_.m_Joints[k].m_EStopDecel, k + 1.0) << "axis " << k;
  }
  // A null record changes nothing and is no success.
  EXPECT_EQ(states.UpdateEStopAcc(nullptr), 0);
}

TEST_F(EStopDecel, WithoutTheFileNothingIsWritten) {
  ASSERT_EQ(unlink(kFile), 0);
  RobotStates states;
  states.Init();
  group_.m_Joints[1].m_EStopDecel = 9.5;
  EXPECT_EQ(states.UpdateEStopAcc(&group_), 0);
  EXPECT_EQ(group_.m_Joints[1].m_EStopDecel, 9.5);
  EXPECT_EQ(group_.m_Joints[0].m_EStopDecel, 0.0);
}

}  // namespace
