#include "common/ipc/robot_map.h"
#include "common/protocol/axes_group_ref.h"
#include "robot_states/robot_states.h"

namespace {

constexpr std::uint32_t kGroupStateDrag = 10;

enum RobotMode : int {
  kNoRecord = 1,
  kBrakeReleased = 2,
  kIdle = 4,
  kDisabled = 5,
  kDrag = 6,
  kRunning = 7,
  kAlarm = 9,
  kPaused = 10,
  kJogging = 11,
};

}  // namespace

// Axis 0 ends in bit 4, axis 3 in bit 1; bit 0 is always clear.
std::uint8_t RobotStates::getBrakeStatus(const AxesGroupRef* ref) const {
  if (ref == nullptr) return 0;
  unsigned r = 0;
  for (const AxesGroupJoint& axis : ref->m_Joints) r = ((r | (axis.m_ControlWord != 0 ? 1u : 0u)) << 1) & 0xFEu;
  return static_cast<std::uint8_t>(r);
}

std::uint8_t RobotStates::getDragStatus(const AxesGroupRef* ref) const {
  return ref != nullptr && ref->m_Joints[0].m_GroupState == kGroupStateDrag ? 1 : 0;
}

std::uint8_t RobotStates::getRunningStatus() { return (~askStopStatus()) & 1u; }

int RobotStates::getRobotMode(AxesGroupRef* ref, RealTimeData_t* rec) {
  if (ref == nullptr || rec == nullptr) return kNoRecord;
  robotMap& map = robotMap::instance();
  if (GetAlarm() != 0) {
    map.storeWord(robot_map::kIsErr, 1);
    return kAlarm;
  }
  map.storeWord(robot_map::kIsErr, 0);
  if (getDragStatus(ref) != 0) return kDrag;
  if (rec->JogStatus != 0) return kJogging;
  const int lua = askLuaState();
  const std::uint8_t stopped = askStopStatus();
  if ((lua != 0 && (rec->RunQueuedCmd != 0 || stopped == 0)) || (lua == 0 && stopped == 0)) return kRunning;
  if (lua != 0 && rec->PauseCmdFlag != 0) return kPaused;
  if (map.loadWord(robot_map::kIsDisabled) == 0) return kDisabled;
  for (const AxesGroupJoint& axis : ref->m_Joints) {
    if (axis.m_ControlWord == 1) return kBrakeReleased;
  }
  return kIdle;
}
