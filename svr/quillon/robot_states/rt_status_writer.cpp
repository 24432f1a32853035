#include <time.h>

#include <cstdio>
#include <cstring>

#include "common/ipc/robot_map.h"
#include "common/protocol/axes_group_ref.h"
#include "json/parameter_globals.h"
#include "robot_states/robot_states.h"
#include "subProcess/factory_access.h"

namespace {

constexpr int kRunDataSize = 960;
constexpr int kImageBytes = 64;
constexpr int kCoreOutputPtr = 3;
constexpr int kCoreInput = 4;
constexpr int kCoreRunData = 19;
constexpr int kMissReport = 100;
constexpr std::uint8_t kTestValueBytes[8] = {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01};

// Where the kernel's run data lands in the record: {record, run data, bytes}.
struct Block {
  std::size_t to;
  std::size_t from;
  std::size_t size;
};
constexpr Block kDoubleBlocks[] = {
    {192, 0, 432},    // QTarget .. ActualTCPForce
    {624, 528, 48},   // actual pose
    {672, 576, 192},  // TCPSpeedActual .. TCPSpeedTarget
    {1120, 432, 48},  // MActual
    {1200, 768, 96},  // user and tool frames
};
constexpr Block kHandTypeBytes = {1008, 945, 4};
constexpr Block kUserToPause = {1012, 949, 4};
constexpr Block kRatios = {1016, 936, 9};
constexpr Block kJogStatus = {1030, 953, 1};
constexpr Block kSpeedScaling = {64, 864, 8};

void copyBlock(std::uint8_t* rec, const std::uint8_t* run, const Block& b) { std::memcpy(rec + b.to, run + b.from, b.size); }

// Bit i set when byte i of the image is non-zero.
std::uint64_t imageBits(const std::uint8_t* image) {
  std::uint64_t bits = 0;
  if (image == nullptr) return 0;
  for (int i = 0; i < kImageBytes; ++i) {
    if (image[i] != 0) bits |= std::uint64_t{1} << i;
  }
  return bits;
}

}  // namespace

ISubProcess* RobotStates::heldCore() {
  ISubProcess* core = rtCore_.load();
  if (core != nullptr) return core;
  if (!rtCoreLooked_) {
    rtCoreLooked_ = true;
    core = subProcessFactory().getInterface(0);
  } else if (++rtCoreMisses_ % kMissReport == 0) {
    std::printf("[%s] has a nullptr of inter !!!!\n", __func__);
    core = subProcessFactory().getInterface(0);
  }
  rtCore_ = core;
  return core;
}

void RobotStates::UpdateRtStatus(AxesGroupRef* ref, RealTimeData_t* rec) {
  ISubProcess* core = heldCore();
  if (core == nullptr) return;
  if (rec == nullptr) {
    std::printf("[%s] has a nullptr of pRtData !!!!\n", __func__);
    return;
  }
  if (ref == nullptr) {
    std::printf("[%s] has a nullptr of pRobot  !!!!\n", __func__);
    return;
  }
  alignas(8) std::uint8_t run[kRunDataSize] = {};
  core->interCall(kCoreRunData, nullptr, run, nullptr);

  auto* bytes = reinterpret_cast<std::uint8_t*>(rec);
  std::memcpy(bytes + offsetof(RealTimeData_t, TestValue), kTestValueBytes, sizeof kTestValueBytes);
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  rec->TimeStamp = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
  for (const Block& b : kDoubleBlocks) copyBlock(bytes, run, b);
  for (std::size_t i = 0; i < kHandTypeBytes.size; ++i) bytes[kHandTypeBytes.to + i] = run[kHandTypeBytes.from + i];
  copyBlock(bytes, run, kUserToPause);
  robotMap::instance().storeWord(robot_map::kPauseCopy, static_cast<std::int8_t>(rec->PauseCmdFlag));
  copyBlock(bytes, run, kRatios);
  copyBlock(bytes, run, kJogStatus);
  copyBlock(bytes, run, kSpeedScaling);
  rec->Load = m_st_loadParams.loadValue;
  rec->CenterX = m_st_loadParams.inertiaX;
  rec->CenterY = m_st_loadParams.inertiaY;
  rec->CenterZ = m_st_loadParams.inertiaZ;
  rec->BrakeStatus = getBrakeStatus(ref);
  rec->EnableStatus = GetEnableStatus();
  rec->DragStatus = getDragStatus(ref);
  rec->RunningStatus = getRunningStatus();
  rec->ErrorStatus = GetErrorStatus();
  rec->RobotType = static_cast<std::uint8_t>(getRobotType());

  void* outputs = nullptr;
  core->interCall(kCoreOutputPtr, nullptr, nullptr, &outputs);
  alignas(4) std::uint8_t inputs[kImageBytes] = {};
  core->interCall(kCoreInput, nullptr, inputs, nullptr);
  rec->DigitalInputs = imageBits(inputs);
  rec->DigitalOutputs = imageBits(static_cast<const std::uint8_t*>(outputs));
  rec->RobotMode = static_cast<std::uint32_t>(getRobotMode(ref, rec));
}
