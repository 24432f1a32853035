#include "json/collision_switch.h"

namespace zelor::config {

namespace {
std::uint8_t ownSwitch = 0;
std::uint8_t* switchInForce = &ownSwitch;
}  // namespace

std::uint8_t* collisionSwitch() { return switchInForce; }

void bindCollisionSwitch(std::uint8_t* kernelSwitch) {
  if (kernelSwitch != nullptr) switchInForce = kernelSwitch;
}

}  // namespace zelor::config
