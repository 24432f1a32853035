#pragma once

// Multi-robot conveyor bus, as the motion kernel calls it. Each call builds
// the bus on first use (which starts its threads) and returns in
// microseconds. Slots are 0..9 (robot id - 1).

#include "common/links/mul_robot_object.h"

namespace MulRobotConveyor {

// 1 with this robot's id and the number of robots in line.
int GetConfig(int& id, int& count);
// Queues obj for publication on the master: 0, or -1 when more than 1,000
// objects already wait for the slot or the slot does not exist.
int UpdateObj(int slot, ObjectData& obj);
// 0 with the slot's cached object, 1 when the slot holds none (or does not exist).
int ReadObj(int slot, ObjectData& obj);
// Empties the slot's cache and frees the slot on the master for the next object.
int ClearObj(int slot);
// ClearObj of this robot's own slot; the master also clears every slot.
int ClearAllCache();

}  // namespace MulRobotConveyor
