// The kernel's parameter block as the data sub-process fills it from the
// project (the test installation's default project, changed in memory).
#include "subProcess/data/param_block_filler.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "install_paths.h"
#include "json/project_structure.h"

namespace {

template <typename T>
T at(const RobotParamBlock& b, std::size_t offset) {
  T v;
  std::memcpy(&v, reinterpret_cast<const std::uint8_t*>(&b) + offset, sizeof v);
  return v;
}

class ParamBlockFiller : public ::testing::Test {
 protected:
  // The structure file is read afresh by every fill: two motors inverted.
  void SetUp() override {
    std::string text = readFile(structurePath());
    saved_ = text;
    for (int n = 0; n < 2; ++n) {
      const std::size_t at = text.find("\"inverted\": false");
      ASSERT_NE(at, std::string::npos);
      text.replace(at, 17, "\"inverted\": true");
    }
    std::ofstream(structurePath()) << text;
    reader_.playback.jointVelocity[0] = 200.0f;
    reader_.temp.user = 10;
    reader_.temp.tool = 1;
    reader_.toolCoord[1] = {true, {1.0f, 2.0f, 3.0f, 4.0f, 0.0f, 0.0f}};
  }

  void TearDown() override { std::ofstream(structurePath()) << saved_; }

  static std::string structurePath() { return std::string(zelor::paths::kProjectDir) + "/properties/structure.json"; }
  static std::string readFile(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  RobotParamBlock fill() {
    RobotParamBlock b;
    std::memset(&b, 0xFF, sizeof b);
    fillParamBlock(reader_, b);
    return b;
  }

  JsonProjectReader reader_;
  std::string saved_;
};

}  // namespace

TEST_F(ParamBlockFiller, PlacesEveryGroupWhereTheKernelReadsIt) {
  const RobotParamBlock b = fill();
  EXPECT_EQ(at<double>(b, 368), 225.0);
  EXPECT_EQ(at<double>(b, 376), 175.0);
  EXPECT_EQ(at<double>(b, 384), 20.0);  // screw pitch
  EXPECT_EQ(at<double>(b, 392), 0.0);   // z offset
  EXPECT_EQ(at<double>(b, 408), 360.0);
  EXPECT_EQ(at<double>(b, 416), 131072.0);         // subdivision of joint 1
  EXPECT_EQ(at<double>(b, 448), 101.0);            // gear ratio of joint 1
  EXPECT_EQ(at<std::int32_t>(b, 608), 131072);     // encoder resolution
  EXPECT_EQ(at<std::uint32_t>(b, 364), 0u);        // no joint simulated
  EXPECT_EQ(at<std::int32_t>(b, 624), 1);          // inverted flags
  EXPECT_EQ(at<std::int32_t>(b, 628), 1);
  EXPECT_EQ(at<std::int32_t>(b, 632), 0);
  EXPECT_EQ(at<float>(b, 264), 200.0f);            // playback joint velocity
  EXPECT_EQ(at<float>(b, 220), 100.0f);
  EXPECT_EQ(at<float>(b, 224), 100.0f);
  EXPECT_EQ(at<float>(b, 336), 20.0f);
  EXPECT_EQ(at<float>(b, 340), 50.0f);
  EXPECT_EQ(at<std::int32_t>(b, 344), 1);
  // Soft limits: maxima from the pair's second value, minima from the first.
  const st_structure* s = reader_.RegexStructureParams();
  for (int j = 0; j < 4; ++j) {
    EXPECT_EQ(at<double>(b, 8 * j), s->limits[j][1]);
    EXPECT_EQ(at<double>(b, 32 + 8 * j), s->limits[j][0]);
  }
  // Stored user index 10: five zero words; a valid tool frame is copied.
  for (std::size_t o = 108; o < 128; o += 4) EXPECT_EQ(at<std::uint32_t>(b, o), 0u) << o;
  EXPECT_EQ(at<std::uint32_t>(b, 128), 1u);
  EXPECT_EQ(at<float>(b, 132), 1.0f);
  EXPECT_EQ(at<float>(b, 144), 4.0f);
  // Bytes no group fills stay zero.
  EXPECT_EQ(at<std::uint32_t>(b, 104), 0u);
}

TEST_F(ParamBlockFiller, AdvancedFunctionsGoFieldByFieldWithTheShaperDamping) {
  const std::string path = std::string(zelor::paths::kProjectDir) + "/properties/AdvancedFunction.json";
  const std::string saved = readFile(path);
  {
    std::ofstream out(path);
    out << R"({"UsingTrueMotion": true, "DynamicOptimal": false, "UsingAccType": 2, "TorqueFeedforward": true,
              "InputECP": true, "InputShapingFreq": 8, "InputShapingDamp": 0.1})";
  }
  const RobotParamBlock b = fill();
  std::ofstream(path) << saved;
  EXPECT_EQ(at<std::uint8_t>(b, 640), 1);
  EXPECT_EQ(at<std::uint8_t>(b, 641), 0);
  EXPECT_EQ(at<std::uint8_t>(b, 642), 0);  // padding stays zero
  EXPECT_EQ(at<std::int32_t>(b, 644), 2);
  EXPECT_EQ(at<std::uint8_t>(b, 648), 1);
  EXPECT_EQ(at<std::uint8_t>(b, 649), 1);
  EXPECT_EQ(at<std::int32_t>(b, 652), 8);
  EXPECT_EQ(at<double>(b, 656), 0.1);
}

TEST_F(ParamBlockFiller, AnInvalidOrOutOfRangeFrameGivesFiveZeros) {
  reader_.temp.tool = 1;
  reader_.toolCoord[1].enable = false;
  RobotParamBlock b = fill();
  for (std::size_t o = 128; o < 148; o += 4) EXPECT_EQ(at<std::uint32_t>(b, o), 0u) << o;
  reader_.temp.tool = -1;
  b = fill();
  for (std::size_t o = 128; o < 148; o += 4) EXPECT_EQ(at<std::uint32_t>(b, o), 0u) << o;
}
