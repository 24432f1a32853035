#pragma once

#include <cstdint>

// Kind of the watched value.
enum statusInputType : std::int32_t {
  statusIutput_None = 0,
  statusIutput_U8 = 1,
  statusIutput_U16 = 2,
  statusIutput_U32 = 3,
  statusIutput_U32b = 4,
};

// When a channel fires, comparing the current value with the last one.
enum CaptureType : std::int32_t {
  CaptureNone = 0,     // never; only remembers the value
  CaptureRaising = 1,  // current > last
  CaptureFall = 2,     // current < last
  CaptureHigh = 3,     // current == high level
  CaptureLow = 4,      // current == low level
  CaptureEdge = 5,     // current != last
  CaptureVal = 6,      // current == match value
};

// Log name of an input kind ("?" outside 0..4).
const char* inputTypeName(std::int32_t type);
// Log name of a capture type ("?" outside 0..6).
const char* captureTypeName(std::int32_t type);

struct inputChannelCfg {
  std::int32_t inputType = statusIutput_None;
  std::int32_t captureType = CaptureNone;
  const void* src = nullptr;
  std::int32_t* dst = nullptr;
  char name[64] = {};
  std::int32_t trueVal = 1;
  std::int32_t falseVal = 0;
  std::int32_t highLevel = 1;
  std::int32_t lowLevel = 0;
  std::int32_t matchVal = 0;
  std::int32_t lastVal = -1;
};

// One watched input: when its trigger fires it writes a value into its
// target word.
class CaptureOneChannel {
 public:
  CaptureOneChannel() = default;
  // Copies the configuration field by field; null keeps the defaults.
  explicit CaptureOneChannel(const inputChannelCfg* cfg);

  // One step: 1 when the trigger fired, else 0.
  int CaptureStatus();

  const char* name() const { return name_; }
  std::int32_t lastVal() const { return lastVal_; }

 private:
  bool readCurrent(std::int32_t& out);

  std::int32_t inputType_ = statusIutput_None;
  std::int32_t captureType_ = CaptureNone;
  const void* src_ = nullptr;
  std::int32_t* dst_ = nullptr;
  char name_[64] = {};
  std::int32_t trueVal_ = 1;
  std::int32_t falseVal_ = 0;
  std::int32_t highLevel_ = 1;
  std::int32_t lowLevel_ = 0;
  std::int32_t matchVal_ = 0;
  std::int32_t lastVal_ = -1;
  std::int32_t curVal_ = 0;
  std::uint8_t force_ = 1;
  std::uint32_t nullSrcCalls_ = 0;
};
