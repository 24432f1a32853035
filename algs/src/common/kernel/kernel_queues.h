#pragma once

#include <cstdint>

#include "common/links/mul_robot_object.h"
#include "common/kinematics/pose_records.h"
#include "common/kernel/pre_deal_data.h"
#include "common/kernel/ring_buffer.h"

// The kernel's rings over static pools (zero at load, never resized) and the
// entries in execution.

inline constexpr std::uint32_t kPackedCmdQueueSize = 128;
inline constexpr std::uint32_t kPreDealDataQueueSize = 64;
inline constexpr int kConveyorCount = 3;
inline constexpr int kConveyorRobotSlots = 10;
inline constexpr std::uint32_t kObjDataQueueSize = 64;

// Queued commands (PackedBaseCmd) waiting for the pre-processing.
extern tagRingBuffer gPackedCmdQueue;
// Planned entries (PreDealData) waiting for execution.
extern tagRingBuffer gPreDealDataQueue;
// Conveyor objects (MulRobotConveyor::ObjectData) per conveyor and robot slot.
extern tagRingBuffer gObjDataQueue[kConveyorCount][kConveyorRobotSlots];

// The entry in execution and the one after it (for blending), and the chain
// pointers the look-ahead keeps into it.
extern PreDealData gPreDealData;
extern PreDealData gNextPreDealData;
extern PreDealData* gpNextPreDealData;
extern PreDealData* gpThirdPreDealData;

// Where the next queued move starts: the end of the last planned entry.
extern tagGPose gPreDealPos;
// The queue index clients read (id 246): n - 1 while entry n runs, n once it
// has finished. The execution recomputes it every cycle from the index of the
// entry it started last, minus 1, plus gCmdFinishFlag.
extern std::uint64_t gQueuedCmdCurrentIndex;
extern std::uint64_t gQueuedCmdStartIndex;

// The next object of each conveyor, waiting to be handed to a move.
extern MulRobotConveyor::ObjectData gNextCnvObject[kConveyorCount];

// The conveyor object handed to the moves (object query, id 15): the moves
// track it and mark it reached when they end.
struct tagOutObj {
  std::uint8_t reached;
  double pose[6];       // x, y, z (mm), rz, ry, rx (rad) in the capture frame
  double captureCount;  // encoder count at capture
  std::uint8_t newObject;       // set by the hand-over, cleared when a move starts tracking it
  std::uint8_t armOrientation;  // chosen by the move that started tracking it
  std::uint8_t cnvPosInitialFlag;  // a speed change re-planned a conveyor move: its start is taken anew
};
extern tagOutObj gOutObj;

// Sets up every ring over its pool and marks the next objects taken.
void InitKernelQueues();
