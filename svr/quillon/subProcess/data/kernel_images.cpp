#include "subProcess/data/kernel_images.h"

#include <cstring>

#include "subProcess/factory_access.h"

namespace kernel_images {
namespace {

constexpr int kOutputPtr = 3;
constexpr int kLocalInputs = 4;
constexpr int kPose = 5;
constexpr int kAlarms = 8;
constexpr int kArmOrientation = 10;
constexpr int kInputPtr = 18;

void call(int id, void* out, void** ret) {
  if (ISubProcess* core = subProcessFactory().getInterface(ISubProcess::CORE)) core->interCall(id, nullptr, out, ret);
}

std::uint8_t* pointer(int id) {
  void* image = nullptr;
  call(id, nullptr, &image);
  return static_cast<std::uint8_t*>(image);
}

}  // namespace

std::uint8_t* outputImage() { return pointer(kOutputPtr); }
std::uint8_t* inputImage() { return pointer(kInputPtr); }

void localInputs(std::uint8_t out[kLocalPoints]) {
  // The kernel fills 32-bit words.
  alignas(std::uint32_t) std::uint8_t words[kLocalPoints] = {};
  call(kLocalInputs, words, nullptr);
  std::memcpy(out, words, kLocalPoints);
}

void pose(float out[8]) {
  std::memset(out, 0, 8 * sizeof(float));
  call(kPose, out, nullptr);
}

void alarms(std::uint8_t out[kAlarmBytes]) {
  std::memset(out, 0, kAlarmBytes);
  call(kAlarms, out, nullptr);
}

int armOrientation() {
  int value = 0;
  call(kArmOrientation, &value, nullptr);
  return value;
}

}  // namespace kernel_images
