// The remote control in-process: its configuration checks and its threads.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "common/ipc/robot_map_layout.h"
#include "common/kernel/kernel_state.h"
#include "install_paths.h"
#include "remote_control/remote_ctl.h"

namespace {

std::string functionFile(const char* name) {
  return std::string(zelor::paths::kProjectDir) + "/settings/function/" + name;
}

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::trunc) << text;
}

// Threads of this process named `name`.
int threadsNamed(const std::string& name) {
  int count = 0;
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return -1;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string line;
    std::getline(comm, line);
    count += line == name ? 1 : 0;
  }
  closedir(dir);
  return count;
}

// Each set of pins with the result of transformConfigs.
struct PinRow {
  const char* what;
  std::int32_t mode;
  int pinIndex;   // input index, or output index when output is set
  bool output;
  std::int32_t pin;
  int result;     // 0 or -1
};

void PrintTo(const PinRow& row, std::ostream* os) { *os << row.what; }

class TransformTable : public ::testing::TestWithParam<PinRow> {};

void resetPins(remoteCtl& ctl) {
  for (int i = 0; i < remoteCtl::kInputCount; ++i) {
    ctl.ioIn[i] = 1 + i;
    ctl.coils[i] = i;
  }
  for (int i = 0; i < remoteCtl::kOutputCount; ++i) {
    ctl.ioOut[i] = 20 + i;
    ctl.inBits[i] = i;
  }
}

TEST_P(TransformTable, RefusesEveryPinOutOfRangeAndBuildsNothing) {
  const PinRow& row = GetParam();
  remoteCtl& ctl = remoteCtl::instance();
  robotMap::instance().storeWord(robot_map::kRemoteMode, row.mode);
  resetPins(ctl);
  std::int32_t* pins = row.mode == remoteCtl::kModeIo ? (row.output ? ctl.ioOut : ctl.ioIn)
                                                       : (row.output ? ctl.inBits : ctl.coils);
  pins[row.pinIndex] = row.pin;
  const int result = ctl.transformConfigs();
  EXPECT_EQ(result, row.result) << row.what;

  int configured = 0;
  for (int i = 0; i < remoteCtl::kInputCount; ++i) {
    configured += ctl.inputConfig(static_cast<remoteCtl::Input>(i)).src != nullptr ? 1 : 0;
  }
  const int outputs = static_cast<int>(ctl.outputConfigs().size());
  if (row.result == -1) {
    EXPECT_EQ(configured, 0) << row.what;
    EXPECT_EQ(outputs, 0) << row.what;
    return;
  }
  const bool unused = row.pin == 0 && row.mode == remoteCtl::kModeIo ? true : row.pin == -1;
  const int expectInputs = remoteCtl::kInputCount - (!row.output && unused ? 1 : 0);
  const int expectOutputs = remoteCtl::kOutputCount - (row.output && unused ? 1 : 0);
  EXPECT_EQ(configured, expectInputs) << row.what;
  EXPECT_EQ(outputs, expectOutputs) << row.what;
  if (!row.output && !unused) {
    const auto& cfg = ctl.inputConfig(static_cast<remoteCtl::Input>(row.pinIndex));
    const void* expected = row.mode == remoteCtl::kModeIo
                               ? static_cast<const void*>(&gPhyDIs[row.pin - 1])
                               : static_cast<const void*>(robotMap::instance().entry() + robot_map::kCoils + row.pin);
    EXPECT_EQ(cfg.src, expected) << row.what;
  }
  if (row.output && !unused) {
    bool found = false;
    const void* expected = row.mode == remoteCtl::kModeIo
                               ? static_cast<void*>(&gPhyDOs[row.pin - 1])
                               : static_cast<void*>(robotMap::instance().entry() + robot_map::kDiscreteInputs + row.pin);
    for (const auto& out : ctl.outputConfigs()) found = found || out.dst == expected;
    EXPECT_TRUE(found) << row.what;
  }
}

constexpr std::int32_t kIo = remoteCtl::kModeIo;
constexpr std::int32_t kModbus = remoteCtl::kModeModbus;

INSTANTIATE_TEST_SUITE_P(
    Pins, TransformTable,
    ::testing::Values(PinRow{"io input pin 1001", kIo, remoteCtl::kStart, false, 1001, -1},
                      PinRow{"io output pin 1000", kIo, remoteCtl::kReadyOut, true, 1000, -1},
                      PinRow{"io input pin -2", kIo, remoteCtl::kStop, false, -2, -1},
                      PinRow{"io input pin -1", kIo, remoteCtl::kStop, false, -1, -1},
                      PinRow{"io output pin -2", kIo, remoteCtl::kRunOut, true, -2, -1},
                      PinRow{"modbus coil 10000", kModbus, remoteCtl::kStart, false, 10000, -1},
                      PinRow{"modbus coil -2", kModbus, remoteCtl::kPause, false, -2, -1},
                      PinRow{"modbus inBit 10000", kModbus, remoteCtl::kAlarmOut, true, 10000, -1},
                      PinRow{"modbus inBit -2", kModbus, remoteCtl::kAlarmOut, true, -2, -1},
                      PinRow{"io input pin 0 unused", kIo, remoteCtl::kStart, false, 0, 0},
                      PinRow{"io output pin 0 unused", kIo, remoteCtl::kRemoteOut, true, 0, 0},
                      PinRow{"modbus coil -1 unused", kModbus, remoteCtl::kStart, false, -1, 0},
                      PinRow{"modbus inBit -1 unused", kModbus, remoteCtl::kPowerOut, true, -1, 0},
                      PinRow{"io input pin 1000", kIo, remoteCtl::kStart, false, 1000, 0},
                      PinRow{"io output pin 999", kIo, remoteCtl::kReadyOut, true, 999, 0},
                      PinRow{"modbus coil 9999", kModbus, remoteCtl::kStart, false, 9999, 0},
                      PinRow{"modbus inBit 9999", kModbus, remoteCtl::kReadyOut, true, 9999, 0}),
    [](const ::testing::TestParamInfo<PinRow>& info) { return std::to_string(info.index); });

TEST(RemoteCtlTransform, ModesWithoutRemoteIoBuildNothing) {
  remoteCtl& ctl = remoteCtl::instance();
  for (std::int32_t mode : {remoteCtl::kModeTp, remoteCtl::kModeTcp, remoteCtl::kModeOther}) {
    robotMap::instance().storeWord(robot_map::kRemoteMode, mode);
    resetPins(ctl);
    EXPECT_EQ(ctl.transformConfigs(), 0);
    EXPECT_TRUE(ctl.outputConfigs().empty()) << mode;
    EXPECT_EQ(ctl.inputConfig(remoteCtl::kStart).src, nullptr) << mode;
  }
}

TEST(RemoteCtlTransform, AConfiguredChannelStartsFromItsInputsValue) {
  remoteCtl& ctl = remoteCtl::instance();
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kRemoteMode, kModbus);
  resetPins(ctl);
  map.entry()[robot_map::kCoils + ctl.coils[remoteCtl::kStart]] = 1;
  ASSERT_EQ(ctl.transformConfigs(), 0);
  EXPECT_EQ(ctl.inputConfig(remoteCtl::kStart).lastVal, 1);
  EXPECT_EQ(ctl.inputConfig(remoteCtl::kPause).lastVal, 0);
  map.entry()[robot_map::kCoils + ctl.coils[remoteCtl::kStart]] = 0;
}

TEST(RemoteCtlReInit, FilesDecideTheModeAndThreadsNeverMultiply) {
  const std::string remoteFile = functionFile("remoteControl.json");
  const std::string modbusFile = functionFile("modbusctrl.json");
  robotMap& map = robotMap::instance();
  remoteCtl& ctl = remoteCtl::instance();

  unlink(remoteFile.c_str());
  map.storeWord(robot_map::kRemoteMode, 2);
  EXPECT_EQ(ctl.ReInit(), 0);
  EXPECT_EQ(map.loadWord(robot_map::kRemoteMode), 0);
  EXPECT_EQ(map.loadWord(robot_map::kStopRequest), 1);
  EXPECT_EQ(map.loadWord(robot_map::kStopClearQueueRequest), 1);
  EXPECT_EQ(threadsNamed("remoteCtl"), 0);
  EXPECT_EQ(threadsNamed("inputCapture"), 1);
  // The engine's thread and the remote control's own status thread.
  EXPECT_EQ(threadsNamed("statusOutput"), 2);

  writeFile(remoteFile, R"({"name": "remoteProject", "mode": "modbus"})");
  writeFile(modbusFile, R"({"coils": {"start_pin": 7}, "inBits": {"runstatus": 9}, "triggermode": 5})");
  for (int i = 0; i < 3; ++i) EXPECT_EQ(ctl.ReInit(), 0);
  EXPECT_EQ(map.loadWord(robot_map::kRemoteMode), 2);
  EXPECT_STREQ(map.entry() + robot_map::kRemoteProjectName, "remoteProject");
  EXPECT_STREQ(map.entry() + robot_map::kHostAddress, "127.0.0.1");
  EXPECT_EQ(ctl.coils[remoteCtl::kStart], 7);
  EXPECT_EQ(ctl.coils[remoteCtl::kPause], 1) << "keys not in the file keep their defaults";
  EXPECT_EQ(ctl.inBits[remoteCtl::kRunOut], 9);
  EXPECT_EQ(ctl.triggerMode(), CaptureEdge);
  EXPECT_EQ(threadsNamed("remoteCtl"), 1);
  EXPECT_EQ(threadsNamed("inputCapture"), 1);
  EXPECT_EQ(threadsNamed("statusOutput"), 2);

  // Default discrete inputs: ready at 1 follows the status words within a pass.
  map.storeWord(robot_map::kIsDisabled, 0);
  map.storeWord(robot_map::kScriptStatus, 0);
  map.storeWord(robot_map::kIsErr, 0);
  map.storeWord(robot_map::kIsWarn, 0);
  usleep(50000);
  EXPECT_EQ(map.entry()[robot_map::kDiscreteInputs + 1], 1) << "ready";
  map.storeWord(robot_map::kScriptStatus, 1);
  usleep(50000);
  EXPECT_EQ(map.entry()[robot_map::kDiscreteInputs + 1], 0) << "ready while running";
  EXPECT_EQ(map.entry()[robot_map::kDiscreteInputs + 9], 1) << "run on the index of the file";

  // A name that does not fit is refused whole.
  writeFile(remoteFile, R"({"name": ")" + std::string(256, 'n') + R"(", "mode": "tp"})");
  EXPECT_EQ(ctl.ReInit(), 0);
  EXPECT_STREQ(map.entry() + robot_map::kRemoteProjectName, "remoteProject");
  EXPECT_EQ(map.loadWord(robot_map::kRemoteMode), 0);
  EXPECT_EQ(threadsNamed("remoteCtl"), 0) << "the main loop ends with the mode";
  unlink(remoteFile.c_str());
  unlink(modbusFile.c_str());
}

}  // namespace
