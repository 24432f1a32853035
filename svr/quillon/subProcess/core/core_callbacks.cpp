#include "subProcess/core/core_callbacks.h"

#include <cstring>

#include "install_paths.h"
#include "log/line_log.h"
#include "settings/kernel_values.h"
#include "subProcess/core/core_sub_process.h"
#include "subProcess/core/kernel_log_drain.h"
#include "subProcess/core/kernel_log_ring.h"

namespace {

int getPackage(Packet* dst) {
  CoreSubProcess* core = CoreSubProcess::current();
  return core != nullptr ? core->getPackage(dst) : 0;
}

void sendPackage(Packet* src) {
  if (CoreSubProcess* core = CoreSubProcess::current()) core->sendPackage(src);
}

void freePackage(Packet* p) {
  if (CoreSubProcess* core = CoreSubProcess::current()) core->freePackage(p);
}

Packet* allocPackage() {
  CoreSubProcess* core = CoreSubProcess::current();
  return core != nullptr ? core->allocPackage() : nullptr;
}

void clearPackageQueue() {
  if (CoreSubProcess* core = CoreSubProcess::current()) core->clearPackageQueue();
}

void setValue(const char* key, double value) {
  if (key == nullptr || key[0] == '\0') {
    ZLOG_WARN("You trying to store null value");
    return;
  }
  storeKernelValue(zelor::paths::kDataSettings, key, value);
}

double getValue(const char* key) {
  if (key == nullptr || key[0] == '\0') {
    ZLOG_WARN("You trying to get value by key(null)");
    return 0;
  }
  return loadKernelValue(zelor::paths::kDataSettings, key);
}

// Called inside the cycle: the line goes into the lock-free ring, which a
// thread outside the cycle drains into the debug stream and the data
// server's log; the cycle never waits for either.
void log(const char* text) { kernelLogRing().push(text); }

}  // namespace

void fillCoreCallbacks(core_interface& table) {
  table.getPackage = getPackage;
  table.sendPackage = sendPackage;
  table.freePackage = freePackage;
  table.allocPackage = allocPackage;
  table.clearPackageQueue = clearPackageQueue;
  table.setValue = setValue;
  table.getValue = getValue;
  table.log = log;
}
