#include "subProcess/core/core_calls.h"

#include "common/cycle/vantrel_cycle.h"
#include "subProcess/core/core_sub_process.h"

namespace {

void loop(CoreSubProcess&, void*, void*, void**) {
  CoreSubProcess::IsInMainLoop.store(1);
  vantrel_run();
}

void initParams(CoreSubProcess& core, void* in, void*, void**) {
  vantrel_init_params(in);
  core.setRunningStatus();
}

constexpr CoreCall kCalls[] = {
    {0, true, loop},
    {6, false, initParams},
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
