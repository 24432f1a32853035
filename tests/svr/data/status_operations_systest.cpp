// The data sub-process's status operations in the test process, on the real
// core and motion kernel: outputs by status type and by index, kept inside
// the 1000-byte output image.
#include <algorithm>
#include <climits>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "install_paths.h"
#include "log_reader/log_queue_reader.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/data/kernel_images.h"
#include "support/core_rig.h"
#include "support/http_client.h"
#include "support/plc_host_run.h"

namespace {

using zelor::test::CoreRig;

constexpr int kPort = 12345;
constexpr int kLogChannel = 15;

class StatusOperations : public ::testing::Test {
 protected:
  void SetUp() override {
    // Status outputs: ready on output 13, pause on 18; the reader leaves the
    // others unmapped (out of its range, or 0).
    const std::string path = std::string(zelor::paths::kProjectDir) + "/settings/function/ioctrl.json";
    saved_ = zelor::test::readWholeFile(path);
    std::ofstream(path, std::ios::trunc)
        << R"({"in": {"clear_alarm": 1, "continue": 2, "pause_pin": 3, "stop_pin": 4, "start_pin": 5,
                      "emergencystop": 6},
               "out": {"readystatus": 13, "pausestatus": 18, "alarmstatus": 1001, "runstatus": 0,
                       "collisionStatus": -3}})";
    rig_.startExchange();
    rig_.registerCore();
    rig_.startCycling();
    SubProcessParam param;
    param.data_port = kPort;
    param.version = "test";
    rig_.factory().start(ISubProcess::DATA, &param);
    data_ = static_cast<DataSubProcess*>(rig_.factory().getInterface(ISubProcess::DATA));
    ASSERT_NE(data_, nullptr);
    ASSERT_TRUE(zelor::test::waitForHttp(kPort, "/properties/axis", 30000));
    image_ = kernel_images::outputImage();
    ASSERT_NE(image_, nullptr);
  }

  void TearDown() override {
    rig_.factory().stop(ISubProcess::DATA);
    rig_.stopCycling();
    std::ofstream(std::string(zelor::paths::kProjectDir) + "/settings/function/ioctrl.json", std::ios::trunc)
        << saved_;
  }

  std::vector<std::uint8_t> snapshot() const { return std::vector<std::uint8_t>(image_, image_ + 1000); }

  CoreRig rig_;
  DataSubProcess* data_ = nullptr;
  std::uint8_t* image_ = nullptr;
  std::string saved_;
};

TEST_F(StatusOperations, OutputsByTypeAndIndexStayInsideTheImage) {
  zelor::sim::drainLogChannel(kLogChannel);
  // The channel's queue holds few lines: drained after every step.
  std::vector<std::string> lines;
  const auto drain = [&] {
    for (std::string& l : zelor::sim::drainLogChannel(kLogChannel)) lines.push_back(std::move(l));
  };
  struct Case {
    const char* name;
    int type;
    int changed;  // the index written, -1 for none
  };
  const Case cases[] = {
      {"an index", 40, 40},
      {"the last index", 999, 999},
      {"ready status to output 13", 12, 12},
      {"pause status to output 18", 13, 17},
      {"alarm status refused by the reader", 14, -1},
      {"run status not mapped", 15, -1},
      {"collision status to a negative output", 16, -1},
      {"one past the image", 1000, -1},
      {"negative", -1, -1},
      {"far past the image", INT_MAX, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::memset(image_, 0, 1000);
    std::vector<std::uint8_t> expected = snapshot();
    if (c.changed >= 0) expected[static_cast<std::size_t>(c.changed)] = 1;
    DataSubProcess::outputIOStatus(data_, c.type, 1, "io");
    EXPECT_EQ(snapshot(), expected);
    if (c.changed >= 0) {
      EXPECT_EQ(DataSubProcess::getOutputIOStatus(data_, c.changed), 1);
    }
    drain();
  }
  // Another mode writes nothing; reads outside the image give 0.
  std::memset(image_, 0, 1000);
  DataSubProcess::outputIOStatus(data_, 3, 1, "gpio");
  DataSubProcess::outputIOStatus(data_, 3, 1, nullptr);
  EXPECT_EQ(snapshot(), std::vector<std::uint8_t>(1000, 0));
  image_[999] = 7;
  EXPECT_EQ(DataSubProcess::getOutputIOStatus(data_, 999), 7);
  EXPECT_EQ(DataSubProcess::getOutputIOStatus(data_, 1000), 0);
  EXPECT_EQ(DataSubProcess::getOutputIOStatus(data_, -5), 0);

  // Each kind of refusal is logged once.
  drain();
  const auto count = [&](const std::string& text) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; });
  };
  EXPECT_EQ(count(" output 1000 is outside the output image"), 1);
  EXPECT_EQ(count("output channel 1000 is outside the output image"), 1);
  EXPECT_EQ(count("is outside the output image"), 2);
}

TEST_F(StatusOperations, TheStatusBlockAfterStart) {
  const DataSubProcess::DataStatus s = data_->GetDataStatus();
  EXPECT_EQ(s.coordinateMode, 1);
  EXPECT_EQ(s.jogMode, 1);
  EXPECT_EQ(s.controlType, DataSubProcess::kControlManual);
  EXPECT_EQ(s.dragMode, DataSubProcess::kDragOff);
  EXPECT_EQ(s.alarmPresent, 0);
  EXPECT_GE(s.udpSocket, 0);
  // The kernel answers the input read.
  const int level = data_->getDILevel(1);
  EXPECT_TRUE(level == 0 || level == 1) << level;
}

}  // namespace
