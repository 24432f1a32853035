#pragma once

#include "zelor_export.h"

// Model uses the library offers to its host (nothing in the kernel calls them).

// On-line adaptation of the viscous friction of joints 1 and 2 (elements 2
// and 8 of gBasicDynamicParams) from the measured torques tauMeasured[0..1]
// against the model torques of gDynamicInfo. Acts only with disable 0, the
// safe mode set, excitation mode not 1 and no feed-forward mode; adapts while
// a motion entry executes, and never leaves either coefficient below 0.
ZELOR_EXPORT void DynamicParameterAdaptive_scara(float* tauMeasured, int disable);

// Torque feed-forward of joints 1 and 2 in drive units, out[0..1], from the
// joint state of gDynamicInfo; the model torques are left in its tau array.
ZELOR_EXPORT void DynamicFeedForward_scara(float* out);
