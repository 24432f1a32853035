#pragma once

// Puts the slide-rail driver's marker in place (or removes it) and waits until
// the link has noticed: it looks for the marker off the cycle, every 100 ms.

#include <chrono>
#include <thread>

#include "common/kernel/motion_state.h"
#include "common/links/exter_axis_rtu.h"
#include "support/fake_slide_driver.h"

namespace zelor::test {

// True once the link sees the driver as asked, within a second.
inline bool setSlideDriverOnline(bool online) {
  FakeSlideDriver::setOnline(online);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
  auto& link = ExterAxisRTU::exterAxisRTU::instance();
  while (link.driverOnline() != online) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The link reads the driver's status once per control cycle; a test that has
// changed the status steps to the next cycle before it reads again.
inline void nextCycle() { ++gSystick; }

}  // namespace zelor::test
