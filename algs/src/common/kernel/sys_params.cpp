#include "common/kernel/sys_params.h"

// The serial, name and the pose's x of 400.0 are written by the robot set-up.
tagSysParams gSysParams = {};
