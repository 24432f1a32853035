#include "common/kernel/collision_detection.h"

std::uint8_t gIsCollisionDect = 0;
