#pragma once

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/kernel/core_interface.h"

// Fixture that catches the kernel's log lines through the log callback.
class KernelLogCapture : public ::testing::Test {
 protected:
  void SetUp() override {
    lines().clear();
    table_.log = [](const char* text) { lines().emplace_back(text); };
    // A test that sets up again keeps the table it found first: restoring
    // its own would leave the kernel a dangling table after it.
    if (gp_core_interface_inst != &table_) saved_ = gp_core_interface_inst;
    gp_core_interface_inst = &table_;
  }
  void TearDown() override { gp_core_interface_inst = saved_; }

  static std::vector<std::string>& lines() {
    static std::vector<std::string> caught;
    return caught;
  }

  // Lines that begin with `prefix`.
  static std::vector<std::string> linesStartingWith(const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& l : lines()) {
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    }
    return out;
  }

 private:
  core_interface table_{};
  core_interface* saved_ = nullptr;
};
