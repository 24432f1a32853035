#include "status_output.h"

#include <cstring>

#include "remote_log.h"

statusOutput::statusOutput(const tagoutputChannelCfg* cfg) {
  if (cfg == nullptr) {
    REMOTE_LOG(kError, "[statusOutput::statusOutput] recv a nullptr ");
    return;
  }
  outputType_ = cfg->outputType;
  matchingVal_ = cfg->matchingVal;
  otherVal_ = cfg->otherVal;
  matchVal_ = cfg->matchVal;
  std::memcpy(name_, cfg->name, sizeof name_);
  name_[sizeof name_ - 1] = '\0';
  src_ = cfg->src;
  dst_ = cfg->dst;
  force_ = cfg->force;
  lastSrc_ = kLastFromConfig;
  REMOTE_LOG(kInfo, "{} monitored inputType={} captureType={} capture src={} outputdst={} this={}", name_,
             outputType_, matchVal_, static_cast<const void*>(src_), dst_, static_cast<const void*>(this));
}

void statusOutput::OutputVal() {
  if (src_ == nullptr) {
    if (++nullSrcCalls_ % 100 == 0) REMOTE_LOG(kWarn, "output {} src is a nullptr", name_);
    return;
  }
  const std::int32_t source = __atomic_load_n(src_, __ATOMIC_RELAXED);
  if (source == lastSrc_ && force_ == 0) return;

  const std::int32_t value = source == matchVal_ ? matchingVal_ : otherVal_;
  switch (outputType_) {
    case statusOutput_Log:
      if (source != lastSrc_) REMOTE_LOG(kInfo, "output {} {}", name_, source == matchVal_ ? "true" : "false");
      break;
    case statusOutput_U8:
      if (dst_ != nullptr) __atomic_store_n(static_cast<std::uint8_t*>(dst_), static_cast<std::uint8_t>(value), __ATOMIC_RELAXED);
      break;
    case statusOutput_U16:
      if (dst_ != nullptr) __atomic_store_n(static_cast<std::uint16_t*>(dst_), static_cast<std::uint16_t>(value), __ATOMIC_RELAXED);
      break;
    default:
      break;
  }
  if (source != lastSrc_) {
    REMOTE_LOG(kInfo, "output {} src {}->{} write {} to addr {}", name_, lastSrc_, source, value, dst_);
  }
  lastSrc_ = source;
}
