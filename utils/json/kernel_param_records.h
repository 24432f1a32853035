#pragma once

// Motion parameter records that the settings reader builds for the command
// builders; the motion kernel reads them from the packets in this layout.

struct tagPTPJointParams {
  float velocity[4];
  float acceleration[4];
  float jerk[4];
};
static_assert(sizeof(tagPTPJointParams) == 48);

struct tagPTPCoordinateParams {
  float xyzVelocity;
  float rVelocity;
  float xyzAcceleration;
  float rAcceleration;
  float xyzJerk;
  float rJerk;
};
static_assert(sizeof(tagPTPCoordinateParams) == 24);

struct tagPTPCommonParams {
  float velocityRatio;
  float accelerationRatio;
  float jerkRatio;
  float xyzVelocityRatio;
  float rVelocityRatio;
  float xyzAccelerationRatio;
  float rAccelerationRatio;
  float xyzJerkRatio;
  float rJerkRatio;
};
static_assert(sizeof(tagPTPCommonParams) == 36);

// Collision threshold of joints 1..4.
struct tagTorDiffParams {
  float torDiff[4];
};
static_assert(sizeof(tagTorDiffParams) == 16);
