#include "PTP/planners/fixed3_log.h"

#include <charconv>
#include <cstring>

#include "common/kernel/core_interface.h"

void LogFixed3(const char* const* labels, const double* values, int count) {
  if (gp_core_interface_inst == nullptr || gp_core_interface_inst->log == nullptr) return;
  char line[kKernelLogLineSize];
  char* p = line;
  char* const end = line + sizeof line - 3;  // room for "\r\n" and the terminator
  for (int i = 0; i < count; ++i) {
    const std::size_t n = std::strlen(labels[i]);
    if (n > static_cast<std::size_t>(end - p)) break;
    std::memcpy(p, labels[i], n);
    p += n;
    const std::to_chars_result r = std::to_chars(p, end, values[i], std::chars_format::fixed, 3);
    if (r.ec != std::errc{}) break;  // a value too long for the line ends it there
    p = r.ptr;
  }
  std::memcpy(p, "\r\n", 3);
  gp_core_interface_inst->log(line);
}
