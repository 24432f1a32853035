#pragma once

#include "common/kernel/core_interface.h"

class CoreSubProcess;

// One row of the core's call table: interCall id, whether the kernel must
// have its parameters first, and the call into the kernel.
struct CoreCall {
  int id;
  bool needsParams;
  void (*run)(CoreSubProcess& core, void* in, void* out, void** ret);
};

// The row of id, or null.
const CoreCall* findCoreCall(int id);

// Hands the kernel the axes-group record and the callback table.
void startKernel(void* rtsParam, core_interface* table);
