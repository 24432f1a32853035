#include "common/kernel/stage_report.h"

#include "common/kernel/core_interface.h"
#include "common/kernel/kernel_state.h"

void AlgsDataPrint(const void* data8, int stage) {
  const auto* b = static_cast<const unsigned char*>(data8);
  const long us = (stage >= 0 && stage < kStageStampCount) ? elapsed[stage] : 0;
  KernelLog("elapsed[%d] timeout %ld\r\n", stage, us);
  KernelLog("input:0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X 0x%02X\r\n", b[0], b[1], b[2], b[3], b[4],
            b[5], b[6], b[7]);
}
