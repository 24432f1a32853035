#include "common/kinematics/kinematics_state.h"

tagToolParams gToolParams = {};
tagLocalParams gLocalParams = {};
