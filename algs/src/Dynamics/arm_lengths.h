#pragma once

#include "common/kernel/kernel_state.h"

// The model works in metres; the mechanism block keeps millimetres.
inline double armL1() { return gScaraMechPara[0] / 1000.0; }
inline double armL2() { return gScaraMechPara[1] / 1000.0; }
// Screw lead of joint 3, mm per revolution.
inline double screwLead() { return gScaraMechPara[2]; }
