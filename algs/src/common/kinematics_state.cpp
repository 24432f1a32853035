#include "common/kinematics_state.h"

tagToolParams gToolParams = {};
tagLocalParams gLocalParams = {};
