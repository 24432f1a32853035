#pragma once

#include "common/kernel/core_interface.h"

// Fills the kernel's callback table with the core's plain C callbacks; they
// reach the current core object.
void fillCoreCallbacks(core_interface& table);
