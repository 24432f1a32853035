#pragma once

#include "common/protocol/axes_group_ref.h"

// The host's axes-group record the kernel runs on, kept by vantrel_init;
// null until then, and nothing is written through it while null.
extern AxesGroupRef* robotAxesGroup;
