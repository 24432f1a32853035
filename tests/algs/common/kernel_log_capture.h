#pragma once

#include <string>
#include <vector>

#include "common/core_interface.h"

namespace zelor::test {

// Collects the kernel's log lines while alive; the previous callback table
// comes back afterwards.
class KernelLogCapture {
 public:
  KernelLogCapture() : saved_(gp_core_interface_inst) {
    lines().clear();
    table_.log = [](const char* text) { lines().emplace_back(text); };
    gp_core_interface_inst = &table_;
  }
  ~KernelLogCapture() { gp_core_interface_inst = saved_; }
  KernelLogCapture(const KernelLogCapture&) = delete;
  KernelLogCapture& operator=(const KernelLogCapture&) = delete;

  static std::vector<std::string>& lines() {
    static std::vector<std::string> captured;
    return captured;
  }

 private:
  core_interface table_{};
  core_interface* saved_;
};

}  // namespace zelor::test
