#pragma once

#include <cstdint>

#include "common/protocol/command_records.h"

// The dynamics exchange record and the dynamics settings the command handlers
// write; zero at load.

// Joint state of the cycle and the model torques, entries 0-3 = joints 1-4
// (joints 1, 2, 4 in rad, rad/s, rad/s²; joint 3 in its linear unit). The
// dynamics stage writes the first four entries; 4 and 5 are spare.
struct tagDynamicInfo {
  float q[6];
  float qd[6];
  float qdd[6];
  float tau[6];
};
static_assert(sizeof(tagDynamicInfo) == 96);
extern tagDynamicInfo gDynamicInfo;

// Collision threshold of each joint's external-torque estimate (id 201).
extern tagTorDiffParams gTorDiffParams;

// Basic dynamic parameters as received (id 202): 37 floats. Elements 2 and 8
// are the viscous friction of joints 1 and 2 that the on-line adaptation tunes.
inline constexpr int kBasicDynamicParamCount = 37;
extern float gBasicDynamicParams[kBasicDynamicParamCount];
static_assert(sizeof(gBasicDynamicParams) == 148);

// Payload mass as received (id 204); the model takes the payload from the
// project's load settings instead.
extern float LoadParams;

extern std::uint8_t gSafeMode;         // id 200
extern std::uint8_t gFeedForwardMode;  // id 205
// 1 while the arm is hand-guided: the stage computes compensation torques.
extern std::uint8_t gIsHandGuiding;
