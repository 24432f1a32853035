#include "subProcess/data/param_block_filler.h"
#include "subProcess/data/data_log.h"
#include "subProcess/data/data_sub_process.h"
#include "subProcess/factory_access.h"

namespace {

constexpr int kCoreInitParams = 6;
constexpr int kCoreVisionData = 12;

}  // namespace

int DataSubProcess::syncAlgsParams() {
  // Kept: the kernel copies the block during the call.
  static RobotParamBlock block;
  fillParamBlock(jsonReader, block);
  ISubProcess* core = subProcessFactory().getInterface(CORE);
  if (core == nullptr) {
    DATA_LOG(kError, "syncAlgsParams: no core sub-process");
    return -1;
  }
  core->interCall(kCoreInitParams, &block, nullptr, nullptr);
  return 0;
}

int DataSubProcess::sendPointToAlgs(const char* text) {
  DATA_LOG(kInfo, "sendPointToAlgs: {}", text != nullptr ? text : "");
  subProcessFactory().interCall(CORE, kCoreVisionData, const_cast<char*>(text), nullptr, nullptr);
  return 1;
}
