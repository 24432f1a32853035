#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zelor::common::util {

// settings/function/tcp30006Feedback.json: one switch per field of the 30006
// frame, named after its key (a "[n]" suffix becomes n), in the file's order,
// then the send period. A switch is true when the field is sent.
struct tcpipRealTimeDataFormater {
  bool MessageSize = false;
  bool DigitalInputs = false;
  bool DigitalOutputs = false;
  bool RobotMode = false;
  bool TimeStamp = false;
  bool TestValue = false;
  bool SpeedScaling = false;
  bool LinearMomentumNorm = false;
  bool VMain = false;
  bool VRobot = false;
  bool IRobot = false;
  bool ToolAccelerometer = false;
  bool ElbowPosition = false;
  bool ElbowVelocity = false;
  bool QTarget = false;
  bool QDTarget = false;
  bool QDDTarget = false;
  bool ITarget = false;
  bool MTarget = false;
  bool QActual = false;
  bool QDActual = false;
  bool IActual = false;
  bool ActualTCPForce = false;
  bool TCPSpeedActual = false;
  bool TCPForce = false;
  bool ToolVectorTarget = false;
  bool TCPSpeedTarget = false;
  bool MotorTemperatures = false;
  bool JointModes = false;
  bool VActual = false;
  bool HandType = false;
  bool User = false;
  bool Tool = false;
  bool RunQueuedCmd = false;
  bool PauseCmdFlag = false;
  bool VelocityRatio = false;
  bool AccelerationRatio = false;
  bool JerkRatio = false;
  bool XYZVelocityRatio = false;
  bool RVelocityRatio = false;
  bool XYZAccelerationRatio = false;
  bool RAccelerationRatio = false;
  bool XYZJerkRatio = false;
  bool RJerkRatio = false;
  bool MActual6 = false;
  bool Load = false;
  bool CenterX = false;
  bool CenterY = false;
  bool CenterZ = false;
  bool User6 = false;
  bool Tool6 = false;
  bool BrakeStatus = false;
  bool EnableStatus = false;
  bool DragStatus = false;
  bool RunningStatus = false;
  bool ErrorStatus = false;
  bool JogStatus = false;
  bool RobotType = false;
  bool DragButtonSignal = false;
  bool EnableButtonSignal = false;
  bool RecordButtonSignal = false;
  bool ReappearButtonSignal = false;
  bool JawButtonSignal = false;
  bool SixForceOnline = false;
  bool TraceIndex = false;
  bool SixForceValue6 = false;
  bool TargetQuaternion4 = false;
  bool ActualQuaternion4 = false;
  std::int32_t cycle = 0;  // send period
};

inline constexpr int kFeedbackSwitchCount = 68;
static_assert(offsetof(tcpipRealTimeDataFormater, cycle) == kFeedbackSwitchCount,
              "one switch per key, nothing else before the period");

// settings/function/tcp30005Feedback.json.
struct TCPIPRealTimeDataFormater30005 {
  std::uint32_t cycle = 0;  // send period
};

// A key of tcp30006Feedback.json and its switch.
struct FeedbackSwitchKey {
  const char* key;
  bool tcpipRealTimeDataFormater::*flag;
};

// The 68 keys in file order.
extern const FeedbackSwitchKey kFeedbackSwitchKeys[kFeedbackSwitchCount];

// The switch of key in rec; null for a key the file does not have.
bool* feedbackSwitch(tcpipRealTimeDataFormater& rec, std::string_view key);

}  // namespace zelor::common::util
