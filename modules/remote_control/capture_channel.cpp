#include "capture_channel.h"

#include <cstring>

#include "remote_log.h"

const char* inputTypeName(std::int32_t type) {
  switch (type) {
    case statusIutput_None: return "statusIutput_None";
    case statusIutput_U8: return "statusIutput_U8  ";
    case statusIutput_U16: return "statusIutput_U16 ";
    case statusIutput_U32:
    case statusIutput_U32b: return "statusIutput_U32 ";
    default: return "?";
  }
}

const char* captureTypeName(std::int32_t type) {
  switch (type) {
    case CaptureNone: return "CaptureNone";
    case CaptureRaising: return "CaptureRaising";
    case CaptureFall: return "CaptureFall";
    case CaptureHigh: return "CaptureHigh";
    case CaptureLow: return "CaptureLow";
    case CaptureEdge: return "CaptureEdge";
    case CaptureVal: return "CaptureVal";
    default: return "?";
  }
}

CaptureOneChannel::CaptureOneChannel(const inputChannelCfg* cfg) {
  if (cfg == nullptr) {
    REMOTE_LOG(kError, "recv a nullptr ");
    return;
  }
  inputType_ = cfg->inputType;
  captureType_ = cfg->captureType;
  src_ = cfg->src;
  dst_ = cfg->dst;
  std::memcpy(name_, cfg->name, sizeof name_);
  name_[sizeof name_ - 1] = '\0';
  trueVal_ = cfg->trueVal;
  falseVal_ = cfg->falseVal;
  highLevel_ = cfg->highLevel;
  lowLevel_ = cfg->lowLevel;
  matchVal_ = cfg->matchVal;
  lastVal_ = cfg->lastVal;
  REMOTE_LOG(kInfo, "{} monitored inputType={} captureType={} capture src={} outputdst={} this={}", name_,
             inputTypeName(inputType_), captureTypeName(captureType_), src_, static_cast<const void*>(dst_),
             static_cast<const void*>(this));
}

// The watched bytes belong to other threads and programs: read them whole.
bool CaptureOneChannel::readCurrent(std::int32_t& out) {
  switch (inputType_) {
    case statusIutput_U8:
      out = __atomic_load_n(static_cast<const std::uint8_t*>(src_), __ATOMIC_RELAXED);
      return true;
    case statusIutput_U16:
      out = __atomic_load_n(static_cast<const std::uint16_t*>(src_), __ATOMIC_RELAXED);
      return true;
    case statusIutput_U32:
    case statusIutput_U32b:
      out = __atomic_load_n(static_cast<const std::int32_t*>(src_), __ATOMIC_RELAXED);
      return true;
    case statusIutput_None:
      return false;
    default:
      REMOTE_LOG(kError, "{} error not support this input type", name_);
      return false;
  }
}

int CaptureOneChannel::CaptureStatus() {
  if (src_ == nullptr) {
    if (++nullSrcCalls_ % 30000 == 0) REMOTE_LOG(kWarn, "channel {} src is a nullptr", name_);
    return 0;
  }
  std::int32_t current = 0;
  if (!readCurrent(current)) return 0;
  curVal_ = current;

  bool holds = false;
  bool writesFalse = false;
  switch (captureType_) {
    case CaptureNone: break;
    case CaptureRaising: holds = current > lastVal_; break;
    case CaptureFall: holds = current < lastVal_; break;
    case CaptureHigh: holds = current == highLevel_; writesFalse = true; break;
    case CaptureLow: holds = current == lowLevel_; writesFalse = true; break;
    case CaptureEdge: holds = current != lastVal_; break;
    case CaptureVal: holds = current == matchVal_; writesFalse = true; break;
    default:
      REMOTE_LOG(kError, "{} error not support this capture type", name_);
      return 0;
  }

  int fired = 0;
  if (captureType_ != CaptureNone && (current != lastVal_ || force_ != 0)) {
    const std::int32_t value = holds ? trueVal_ : falseVal_;
    if (dst_ != nullptr && (holds || writesFalse)) {
      __atomic_store_n(dst_, value, __ATOMIC_RELAXED);
    }
    REMOTE_LOG(kInfo, "channel {}  {:<17}  val {}->{} Result:{},write Val {} to addr {} ...", name_,
               captureTypeName(captureType_), lastVal_, current, holds ? "true" : "false", value,
               static_cast<const void*>(dst_));
    fired = holds ? 1 : 0;
  }
  lastVal_ = current;
  force_ = 0;
  return fired;
}
