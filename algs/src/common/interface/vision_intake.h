#pragma once

#include <cstdint>

#include "common/kernel/kernel_queues.h"
#include "common/links/mul_robot_object.h"

// The vision text intake: turns one camera frame text into conveyor objects
// and deals the new ones round-robin to the robots along the conveyor.

inline constexpr int kVisionMaxPoints = 100;

// The points of the frame in work: as received, and converted into the
// conveyor's vision frame (mm).
extern MulRobotConveyor::ObjectData pixelPointXY[kVisionMaxPoints];
extern MulRobotConveyor::ObjectData cameraPointXY[kVisionMaxPoints];

// What the intake remembers between frames; zero at load and never reset.
struct tagVisionIntakeState {
  // Per conveyor: the converted points of its last completed frame and how
  // many of them are valid (-1 after an empty text: none).
  MulRobotConveyor::ObjectData lastCameraPointXY[kConveyorCount][kVisionMaxPoints];
  std::int32_t lastCaptureCount[kConveyorCount];
  // Robot slot of the next new object, one counter for all conveyors.
  std::int32_t assignedCount;
  // New objects since start, those dropped at a full ring included.
  std::int32_t realCount;
};
extern tagVisionIntakeState gVisionIntake;

// Takes in one frame text (never null); returns 0. Runs between cycles only.
int OnTCPCmd(const char* text);
