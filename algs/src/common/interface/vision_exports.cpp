#include <sys/time.h>

#include <cstdint>

#include "common/interface/vantrel_interface.h"
#include "common/interface/vision_intake.h"
#include "common/kernel/conveyor_state.h"
#include "common/kernel/core_interface.h"

void vantrel_recv_visiondata(const char* text) {
  if (text == nullptr) {
    KernelLog("pVisiondata == NULL!!!\r\n");
    return;
  }
  struct timeval now;
  gettimeofday(&now, nullptr);
  const std::int64_t receivedUs = static_cast<std::int64_t>(now.tv_sec) * 1000000 + now.tv_usec;
  KernelLog("recive visiondata time=%ld\r\n", static_cast<long>(receivedUs - gCameraTriggerSendUs));
  OnTCPCmd(text);
}
