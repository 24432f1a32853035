#pragma once

#include <cstdint>

#include "zelor_export.h"

// Collision detection on (1) or off (0); the one switch of the process.
extern "C" ZELOR_EXPORT std::uint8_t gIsCollisionDect;
