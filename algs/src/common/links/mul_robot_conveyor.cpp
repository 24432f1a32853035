#include "common/links/mul_robot_conveyor.h"

#include "common/links/mul_robot_bus.h"

namespace MulRobotConveyor {

int GetConfig(int& id, int& count) { return MulRobotBus::Instance().GetConfig(id, count); }
int UpdateObj(int slot, ObjectData& obj) { return MulRobotBus::Instance().UpdateObj(slot, obj); }
int ReadObj(int slot, ObjectData& obj) { return MulRobotBus::Instance().ReadObj(slot, obj); }
int ClearObj(int slot) { return MulRobotBus::Instance().ClearObj(slot); }
int ClearAllCache() { return MulRobotBus::Instance().ClearAllCache(); }

}  // namespace MulRobotConveyor
