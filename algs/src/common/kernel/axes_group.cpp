#include "common/kernel/axes_group.h"

AxesGroupRef* robotAxesGroup = nullptr;
