#include "common/kernel/core_interface.h"

#include <cstdarg>
#include <cstdio>

core_interface* gp_core_interface_inst = nullptr;

void KernelLog(const char* fmt, ...) {
  if (gp_core_interface_inst == nullptr || gp_core_interface_inst->log == nullptr) return;
  char line[kKernelLogLineSize];
  va_list ap;
  va_start(ap, fmt);
  std::vsnprintf(line, sizeof line, fmt, ap);
  va_end(ap);
  gp_core_interface_inst->log(line);
}
