#pragma once

#include <cstdint>

// Kind of the output target.
enum statusOutputType : std::int32_t {
  statusOutput_Log = 0,  // log only
  statusOutput_U8 = 1,
  statusOutput_U16 = 2,
};

struct tagoutputChannelCfg {
  std::int32_t outputType = statusOutput_Log;
  std::int32_t matchingVal = 1;  // written when the source equals matchVal
  std::int32_t otherVal = 0;     // written otherwise
  std::int32_t matchVal = 1;
  char name[64] = {};
  const std::int32_t* src = nullptr;
  void* dst = nullptr;
  std::int32_t force = 0;
};

// Copies one status word to an output byte or word when the word changes,
// or on every step while forced.
class statusOutput {
 public:
  static constexpr std::int32_t kLastUnset = -1;
  static constexpr std::int32_t kLastFromConfig = -12345;

  statusOutput() = default;
  // Copies the configuration; null keeps the defaults and logs.
  explicit statusOutput(const tagoutputChannelCfg* cfg);

  void OutputVal();

  const char* name() const { return name_; }

 private:
  std::int32_t outputType_ = statusOutput_Log;
  std::int32_t matchingVal_ = 1;
  std::int32_t otherVal_ = 0;
  std::int32_t matchVal_ = 1;
  char name_[64] = {};
  const std::int32_t* src_ = nullptr;
  void* dst_ = nullptr;
  std::int32_t force_ = 0;
  std::int32_t lastSrc_ = kLastUnset;
  std::uint32_t nullSrcCalls_ = 0;
};
