#include "subProcess/core/core_calls.h"

#include <cstdint>
#include <cstring>

#include "common/cycle/vantrel_cycle.h"
#include "common/interface/vantrel_interface.h"
#include "subProcess/core/core_sub_process.h"

namespace {

using u8 = std::uint8_t;
using u32 = std::uint32_t;

// Every row passes its pointers through to the kernel; a null pointer, which
// the kernel would dereference, makes the call do nothing.

void loop(CoreSubProcess&, void*, void*, void**) {
  CoreSubProcess::IsInMainLoop.store(1);
  vantrel_run();
}

void updateDO(CoreSubProcess&, void* in, void*, void**) {
  if (in != nullptr) vantrel_update_do(static_cast<u32*>(in));
}

void updateDI(CoreSubProcess&, void* in, void*, void**) {
  if (in != nullptr) vantrel_update_di(static_cast<const u32*>(in));
}

void getOutputPtr(CoreSubProcess&, void*, void*, void** ret) {
  if (ret != nullptr) vantrel_get_do_ptr(ret);
}

void getInput(CoreSubProcess&, void*, void* out, void**) {
  if (out != nullptr) vantrel_get_di(static_cast<u32*>(out));
}

void getPose(CoreSubProcess&, void*, void* out, void**) {
  if (out != nullptr) vantrel_get_pose(static_cast<float*>(out));
}

void initParams(CoreSubProcess& core, void* in, void*, void**) {
  if (in == nullptr) return;
  vantrel_init_params(in);
  core.setRunningStatus();
}

void clearAlarm(CoreSubProcess&, void* in, void*, void**) {
  if (in != nullptr) vantrel_clear_alarm_by_index(static_cast<unsigned>(*static_cast<const int*>(in)));
}

void getAlarms(CoreSubProcess&, void*, void* out, void**) {
  if (out != nullptr) vantrel_get_alarms(static_cast<u8*>(out));
}

void getVersion(CoreSubProcess&, void*, void* out, void**) {
  if (out == nullptr) return;
  int* v = static_cast<int*>(out);
  vantrel_get_version(&v[0], &v[1], &v[2]);
}

void getArmOrientation(CoreSubProcess&, void*, void* out, void**) {
  if (out != nullptr) vantrel_get_armOrientation(static_cast<int*>(out));
}

// Two words: the largest cycle time (int, µs) and the average (float).
void getAlgsTime(CoreSubProcess&, void*, void* out, void**) {
  if (out == nullptr) return;
  std::memset(out, 0, 2 * sizeof(u32));
  auto* words = static_cast<u8*>(out);
  vantrel_get_AlgsTime(reinterpret_cast<int*>(words), reinterpret_cast<float*>(words + sizeof(u32)));
}

void updateVisionData(CoreSubProcess&, void* in, void*, void**) {
  if (in != nullptr) vantrel_recv_visiondata(static_cast<const char*>(in));
}

void getStepInEnable(CoreSubProcess&, void*, void* out, void**) {
  if (out != nullptr) vantrel_get_stepin_enable(static_cast<u8*>(out));
}

void getReadyStatus(CoreSubProcess&, void*, void* out, void**) {
  if (out != nullptr) vantrel_get_ready_status(static_cast<u8*>(out));
}

void getStopStatus(CoreSubProcess&, void*, void* out, void**) {
  if (out != nullptr) vantrel_get_stop_status(static_cast<u8*>(out));
}

void updateModbusDO(CoreSubProcess&, void* in, void*, void**) {
  if (in != nullptr) vantrel_update_modbusdo(static_cast<u8*>(in));
}

void updateModbusDI(CoreSubProcess&, void* in, void*, void**) {
  if (in != nullptr) vantrel_update_modbusdi(static_cast<const u8*>(in));
}

void getInputPtr(CoreSubProcess&, void*, void*, void** ret) {
  if (ret != nullptr) vantrel_get_di_ptr(ret);
}

void getRunData(CoreSubProcess&, void*, void* out, void**) {
  if (out != nullptr) vantrel_get_run_data(out);
}

// needsParams: inert until id 6 has handed the kernel its parameters.
constexpr CoreCall kCalls[] = {
    {0, true, loop},
    {1, true, updateDO},
    {2, true, updateDI},
    {3, true, getOutputPtr},
    {4, true, getInput},
    {5, true, getPose},
    {6, false, initParams},
    {7, true, clearAlarm},
    {8, true, getAlarms},
    {9, false, getVersion},
    {10, false, getArmOrientation},
    {11, false, getAlgsTime},
    {12, true, updateVisionData},
    {13, false, getStepInEnable},
    {14, false, getReadyStatus},
    {15, false, getStopStatus},
    {16, true, updateModbusDO},
    {17, true, updateModbusDI},
    {18, true, getInputPtr},
    {19, true, getRunData},
};

}  // namespace

const CoreCall* findCoreCall(int id) {
  for (const CoreCall& call : kCalls) {
    if (call.id == id) return &call;
  }
  return nullptr;
}

void startKernel(void* rtsParam, core_interface* table) {
  vantrel_init(static_cast<AxesGroupRef*>(rtsParam), table);
}
