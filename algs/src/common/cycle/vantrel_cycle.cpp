#include "common/cycle/vantrel_cycle.h"

#include <cstring>

#include "common/command/command_intake.h"
#include "common/cycle/robot_setup.h"
#include "common/cycle/run_scara.h"
#include "common/kernel/algs_logs.h"
#include "common/kernel/axes_group.h"
#include "common/kernel/cycle_timing.h"
#include "common/kernel/kernel_state.h"
#include "common/kernel/motion_state.h"
#include "common/kernel/robot_moving.h"

namespace {

constexpr std::int32_t kOverrunUs = 1499;
bool gParamsLoaded = false;

}  // namespace

bool VantrelParamsLoaded() { return gParamsLoaded; }

extern "C" void vantrel_init(AxesGroupRef* axesGroup, core_interface* itf) {
  robotAxesGroup = axesGroup;
  gp_core_interface_inst = itf;
  AlgsLogs::Instance().Open();
  CommandInit();
}

extern "C" void vantrel_init_params(const void* block) {
  if (block == nullptr) return;
  std::memcpy(gScaraParams, block, sizeof gScaraParams);
  InitialSCARA(robotAxesGroup);
  gParamsLoaded = true;
}

extern "C" void vantrel_run(void) {
  // The host must not cycle before the first parameter load; a wrong host
  // gets a cycle that does nothing rather than a crash.
  if (!gParamsLoaded || robotAxesGroup == nullptr) return;
  CycleStartNow();
  ++gSystick;
  ClassifyAllCmd();
  RunSCARA(robotAxesGroup);
  StampStage(kStageStampCount - 1);
  TimeStatistics();
  if (elapsed[kStageStampCount - 1] > kOverrunUs) {
    KernelLog("elapsed ERR_ALGS_TIMEOUT\r\n");
    for (int i = 0; i < kStageStampCount; ++i) KernelLog("elapsed[%d] %ld\r\n", i, static_cast<long>(elapsed[i]));
  }
  std::memset(elapsed, 0, sizeof elapsed);
}
