// The C interface's exports that wrap kernel state, called in process.
#include <cmath>
#include <cstring>
#include <numeric>
#include <vector>

#include <gtest/gtest.h>

#include "common/interface/vantrel_interface.h"
#include "common/interface/vision_intake.h"
#include "common/kernel/alarms.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_queues.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/run_data.h"
#include "common/kernel/sys_params.h"
#include "support/kernel_log_capture.h"

namespace {

class Exports : public KernelLogCapture {
 protected:
  void SetUp() override {
    KernelLogCapture::SetUp();
    reset();
  }
  void TearDown() override {
    reset();
    KernelLogCapture::TearDown();
  }
  static void reset() {
    std::memset(gPhyDIs, 0, sizeof gPhyDIs);
    std::memset(gPhyDOs, 0, sizeof gPhyDOs);
    std::memset(gAlarmSysState, 0, sizeof gAlarmSysState);
    std::memset(gAlarmSysStateBK, 0, sizeof gAlarmSysStateBK);
    gSysParams = tagSysParams{};
    gRobotAxisMove = {};
    gCmdFinishFlag = 0;
    InitKernelQueues();
  }
};

TEST_F(Exports, Version) {
  int v[3] = {-1, -1, -1};
  vantrel_get_version(&v[0], &v[1], &v[2]);
  EXPECT_EQ(v[0], 3);
  EXPECT_EQ(v[1], 3);
  EXPECT_EQ(v[2], 4);
}

TEST_F(Exports, ClearAlarmByIndex) {
  struct Case {
    unsigned index;
    int byte;
    std::uint8_t left;  // what remains of an all-ones byte
  };
  for (const Case c : {Case{255, 31, 0x7F}, Case{0, 0, 0xFE}, Case{85, 10, 0xDF}, Case{256, -1, 0xFF},
                       Case{0xFFFFFFFFu, -1, 0xFF}}) {
    std::memset(gAlarmSysState, 0xFF, sizeof gAlarmSysState);
    vantrel_clear_alarm_by_index(c.index);
    std::uint8_t alarms[32];
    vantrel_get_alarms(alarms);
    for (int i = 0; i < 32; ++i) {
      EXPECT_EQ(alarms[i], i == c.byte ? c.left : 0xFF) << "index " << c.index << " byte " << i;
    }
  }
}

TEST_F(Exports, ReadyStatus) {
  struct Case {
    const char* why;
    std::uint8_t runQueued;
    int alarm;  // -1 none
    std::uint8_t finished;
    std::uint8_t ready;
  };
  const Case cases[] = {
      {"idle", 0, -1, 1, 1},
      {"alarm 85", 0, 85, 1, 0},
      {"alarm 8", 0, 8, 1, 0},
      {"alarm 255", 0, 255, 1, 0},
      {"alarm below 8 alone", 0, 7, 1, 1},
      {"alarm 0", 0, 0, 1, 1},
      {"queued execution running", 1, -1, 1, 0},
      {"a motion not finished", 0, -1, 0, 0},
  };
  for (const Case& c : cases) {
    reset();
    gSysParams.runQueuedCmd = c.runQueued;
    if (c.alarm >= 0) AlarmSysSetBit(static_cast<unsigned>(c.alarm), true);
    gCmdFinishFlag = c.finished;
    lines().clear();
    std::uint8_t ready = 0xEE;
    testing::internal::CaptureStdout();
    vantrel_get_ready_status(&ready);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(ready, c.ready) << c.why;
    const int alarmed = c.alarm >= 8 ? 1 : 0;
    // The status line leaves through the log callback: the host calls this
    // under its kernel-call lock, where nothing may write to a stream.
    EXPECT_EQ(out, "") << c.why;
    EXPECT_EQ(linesStartingWith("ready_status "),
              std::vector<std::string>{"ready_status " + std::to_string(c.ready) + " : gSysParams.runQueuedCmd" +
                                       std::to_string(c.runQueued) + ",AlarmSysCheckAll()" + std::to_string(alarmed) +
                                       ",gCmdFinishFlag" + std::to_string(c.finished) + ",gRobotPrfMode:0\r\n"})
        << c.why;
    // The newly set byte is logged once, by the first of the two checks.
    EXPECT_EQ(linesStartingWith("[ALARM]ID Occur:").size(), static_cast<std::size_t>(alarmed)) << c.why;
  }
}

TEST_F(Exports, ImagesKeepTheirBytes) {
  std::uint32_t words[16];
  std::vector<std::uint8_t> bytes(64);
  std::iota(bytes.begin(), bytes.end(), 1);
  std::memcpy(words, bytes.data(), 64);
  std::vector<std::uint8_t> modbus(900);
  for (std::size_t i = 0; i < modbus.size(); ++i) modbus[i] = static_cast<std::uint8_t>(i * 7 + 3);
  std::memset(gPhyDIs + 64, 0xA5, 36);
  std::memset(gPhyDOs + 64, 0x5A, 36);

  vantrel_update_di(words);
  vantrel_update_modbusdi(modbus.data());
  EXPECT_EQ(std::memcmp(gPhyDIs, bytes.data(), 64), 0);
  EXPECT_EQ(std::memcmp(gPhyDIs + 100, modbus.data(), 900), 0);
  EXPECT_EQ(gPhyDIs[100], modbus[0]) << "Modbus point 1 is byte 100";

  std::uint32_t back[16] = {};
  vantrel_get_di(back);
  EXPECT_EQ(std::memcmp(back, words, 64), 0);

  std::memcpy(gPhyDOs, bytes.data(), 64);
  std::memcpy(gPhyDOs + 100, modbus.data(), 900);
  std::uint32_t outWords[16] = {};
  std::vector<std::uint8_t> outModbus(900);
  vantrel_update_do(outWords);
  vantrel_update_modbusdo(outModbus.data());
  EXPECT_EQ(std::memcmp(outWords, bytes.data(), 64), 0);
  EXPECT_EQ(outModbus, modbus);

  for (int i = 64; i < 100; ++i) {
    EXPECT_EQ(gPhyDIs[i], 0xA5) << "input byte " << i;
    EXPECT_EQ(gPhyDOs[i], 0x5A) << "output byte " << i;
  }
  void* di = nullptr;
  void* dout = nullptr;
  vantrel_get_di_ptr(&di);
  vantrel_get_do_ptr(&dout);
  EXPECT_EQ(di, static_cast<void*>(gPhyDIs));
  EXPECT_EQ(dout, static_cast<void*>(gPhyDOs));
}

TEST_F(Exports, PoseAndArmOrientation) {
  const double pose[8] = {400.25, -1.5, 35.0, 90.0, 10.0, -0.001, 80.0, 12.0};
  std::memcpy(reinterpret_cast<std::uint8_t*>(&gSysParams) + offsetof(tagSysParams, pose), pose, sizeof pose);
  float out[8];
  vantrel_get_pose(out);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], static_cast<float>(pose[i])) << i;
  int arm = -1;
  vantrel_get_armOrientation(&arm);
  EXPECT_EQ(arm, 0);
  gSysParams.joint.j2 = 0.0;
  vantrel_get_armOrientation(&arm);
  EXPECT_EQ(arm, 1);
}

TEST_F(Exports, CycleTimesNeedBothPointers) {
  gAlgsMaxTime = 1234;
  gAveAlgsTime = 56.5f;
  int maxUs = -1;
  float average = -1.0f;
  vantrel_get_AlgsTime(&maxUs, nullptr);
  vantrel_get_AlgsTime(nullptr, &average);
  EXPECT_EQ(maxUs, -1);
  EXPECT_EQ(average, -1.0f);
  vantrel_get_AlgsTime(&maxUs, &average);
  EXPECT_EQ(maxUs, 1234);
  EXPECT_EQ(average, 56.5f);
  ResetTimeStatistics();
}

TEST_F(Exports, StepInAndStopStatus) {
  std::uint8_t stepIn = 0xEE;
  std::uint8_t stopped = 0xEE;
  gCmdFinishFlag = 1;
  vantrel_get_stepin_enable(&stepIn);
  vantrel_get_stop_status(&stopped);
  EXPECT_EQ(stepIn, 1);
  EXPECT_EQ(stopped, 1);

  gRobotAxisMove.nextVel[3] = -2e-5;
  vantrel_get_stop_status(&stopped);
  EXPECT_EQ(stopped, 0);
  gRobotAxisMove.nextVel[3] = 9e-6;
  vantrel_get_stop_status(&stopped);
  EXPECT_EQ(stopped, 1);

  const std::uint8_t entry[2048] = {};
  RingBufferEnqueue(&gPackedCmdQueue, entry);
  vantrel_get_stepin_enable(&stepIn);
  EXPECT_EQ(stepIn, 0) << "a queued command waits";
  InitKernelQueues();
  gCmdFinishFlag = 0;
  vantrel_get_stepin_enable(&stepIn);
  EXPECT_EQ(stepIn, 0) << "a motion runs";
}

TEST_F(Exports, RunDataIsCopiedWhole) {
  gAlgsRunData = {};
  gAlgsRunData.cmdJointPos[0] = 12.5;
  gAlgsRunData.jogging = 2;
  std::uint8_t out[960];
  std::memset(out, 0xCC, sizeof out);
  vantrel_get_run_data(out);
  EXPECT_EQ(std::memcmp(out, &gAlgsRunData, sizeof out), 0);
  gAlgsRunData = {};
}

TEST_F(Exports, NullVisionTextOnlyLogs) {
  pixelPointXY[0].x = 42.0f;
  vantrel_recv_visiondata(nullptr);
  EXPECT_EQ(lines(), std::vector<std::string>{"pVisiondata == NULL!!!\r\n"});
  EXPECT_EQ(pixelPointXY[0].x, 42.0f);
  pixelPointXY[0] = {};
}

}  // namespace
