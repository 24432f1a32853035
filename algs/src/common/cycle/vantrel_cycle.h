#pragma once

#include "common/kernel/core_interface.h"
#include "common/protocol/axes_group_ref.h"
#include "zelor_export.h"

// The motion library's start-up and cycle exports, called by the data server
// on its one serialised path: init once, init_params before the first cycle
// (and again to reload), then run once per 4 ms period.
extern "C" {
ZELOR_EXPORT void vantrel_init(AxesGroupRef* axesGroup, core_interface* itf);
ZELOR_EXPORT void vantrel_init_params(const void* block);
ZELOR_EXPORT void vantrel_run(void);
}

// True once a parameter block has been loaded: the cycle runs from then on.
bool VantrelParamsLoaded();
