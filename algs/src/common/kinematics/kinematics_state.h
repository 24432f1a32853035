#pragma once

#include "common/kinematics/pose_records.h"

// Frames in force for the kernel's own conversions; zero at load.
extern tagToolParams gToolParams;
extern tagLocalParams gLocalParams;
