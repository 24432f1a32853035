#pragma once

#include <cstdint>

#include "zelor_export.h"

namespace zelor::config {

// The collision-detection switch in force in this process. By default it is a
// byte of this library's own; a process that loads the motion library binds it
// to the kernel's switch once, at load, so there is only ever one switch.
ZELOR_EXPORT std::uint8_t* collisionSwitch();
ZELOR_EXPORT void bindCollisionSwitch(std::uint8_t* kernelSwitch);

}  // namespace zelor::config
