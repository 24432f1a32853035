#include "rpc_api/moves/joint_limits.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace zelor::modules::rpcExecuteApis {
namespace {

TEST(JointLimits, TakeTheFirstEightNumbersOfTheTextInOrder) {
  const std::string project = R"({
    "limits": [[-132, 132], [-145, 145], [-200, 0], [-360, 360], [0, 0], [0, 0]]
})";
  const std::array<CoordRange, 4> limits = jointLimitsFromText(project);
  const double expected[4][2] = {{-132, 132}, {-145, 145}, {-200, 0}, {-360, 360}};
  for (std::size_t j = 0; j < 4; ++j) {
    EXPECT_EQ(limits[j].min, expected[j][0]) << "J" << j + 1;
    EXPECT_EQ(limits[j].max, expected[j][1]) << "J" << j + 1;
  }
  const std::array<CoordRange, 4> fractions = jointLimitsFromText("[[-1.5,2.25],[-3,4],[5,6],[-7.125,8]]");
  EXPECT_EQ(fractions[0].min, -1.5);
  EXPECT_EQ(fractions[0].max, 2.25);
  EXPECT_EQ(fractions[3].min, -7.125);
}

TEST(JointLimits, FallBackToTheDefaultsWithoutEightUsableNumbers) {
  const std::vector<std::string> texts = {
      "", "{\"limits\": []}", "[[-1,1],[-2,2],[-3,3]]", "[[-1,1],[-2,2],[-3,3],[-4]]", "[[1e999,1],[0,0],[0,0],[0,0]]",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    const std::array<CoordRange, 4> limits = jointLimitsFromText(text);
    for (std::size_t j = 0; j < 4; ++j) {
      EXPECT_EQ(limits[j].min, kDefaultJointLimits[j].min);
      EXPECT_EQ(limits[j].max, kDefaultJointLimits[j].max);
    }
  }
}

}  // namespace
}  // namespace zelor::modules::rpcExecuteApis
