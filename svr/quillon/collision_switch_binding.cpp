// The configuration library's collision setting must act on the kernel's own
// switch; bind it when this library loads, before any settings reader exists.
#include "common/kernel/collision_detection.h"
#include "json/collision_switch.h"

namespace {
const bool kCollisionSwitchBound = (zelor::config::bindCollisionSwitch(&gIsCollisionDect), true);
}  // namespace
