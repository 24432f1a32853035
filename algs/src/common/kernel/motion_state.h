#pragma once

#include <cstdint>

#include "common/kernel/kernel_state.h"
#include "common/protocol/command_records.h"

// Motion state of the four joints and the kernel's activity flags; zero at
// load unless said.

// What the profile stage does this cycle (gRobotPrfMode).
enum RobotPrfMode : std::uint8_t {
  kPrfIdle = 0,
  kPrfJogJoint = 1,      // jog or inch in joint space
  kPrfJogCartesian = 2,  // jog or inch in Cartesian space
  kPrfHoming = 3,
  kPrfExecute = 4,       // planned entries run
  kPrfExecuteHold = 5,   // set by the entry runner; the profile stage does nothing
  kPrfWait = 6,          // a queued wait runs
  kPrfStop = 7,          // kind in gStopMode
  kPrfPoseReset = 8,
  kPrfTrig = 9,          // a queued input trigger runs
  kPrfEnableCheck = 10,
  kPrfConveyorStop = 14,
};

// Kind of stop in progress (gStopMode).
enum StopMode : std::uint8_t {
  kStopEmergency = 0,
  kStopSmooth = 1,
  kStopPath = 2,
  kStopTeach = 3,
};

// Joint set points of this cycle and their speeds (units per second).
struct tagRobotAxisMove {
  double nextPos[4];
  double nextVel[4];
  double aux[4];
};
extern tagRobotAxisMove gRobotAxisMove;

// Per-joint feedback copied from the axes group each cycle.
struct tagServoFeedBack {
  double position;
  double velocity;
  double torque;
  double reserved;
};
extern tagServoFeedBack gServoFeedBack[4];

extern double gActualPosition[4];
extern double gActualVelocity[4];
// Refreshed every 5th cycle from the velocity change over those cycles.
extern double gActualAcceleration[4];

// Jog in progress: signed velocity, target speed, acceleration, active command.
struct tagTeachMove {
  double velocity;
  double targetSpeed;
  double acceleration;
  std::uint8_t cmd;
};
extern tagTeachMove gTeachMove;

extern std::uint8_t gRobotPrfMode;     // RobotPrfMode
extern std::uint8_t gStopMode;         // StopMode
extern std::uint8_t gStopCmdPlanFlag;  // the stop in progress has its profile
extern std::uint8_t gCmdFinishFlag;    // no motion is being executed
extern std::uint8_t gPauseCmdFlag;     // queued execution paused
extern bool gCmdPlanFlag;             // the running excitation segment has taken its target
extern std::uint8_t gHandTeachFlag;    // drives not under motion control
extern std::uint8_t gDriverAlarmFlag;
extern std::uint8_t gDriverResetFlag;
extern std::uint8_t gDriverEnbleFlag[4];
extern std::uint8_t gRobotEnableFlag;
extern std::uint8_t gEmergencyStop;
extern std::uint8_t gSafeGuardStop;
// Excitation mode (id 206); 1 silences the periodic statistics lines.
extern std::uint8_t gExcitMode;
// Joints the homing activity homes: bit j-1 = joint j (id 31).
extern std::uint8_t g_single_joint_mode;

extern std::uint32_t gPeriodCount;   // cycles into the current stop or move profile
extern std::uint32_t gPeriodCount1;  // cycles into the blend with the next entry
extern std::uint32_t gSystick;       // cycles since load

// Load of the move in execution, set by its run phase every cycle: the load
// record (zeros when the move has no load) and the full-load record.
extern _stLoadParams gLoad;
extern _stLoadFullParams gLoadFullParams;

// The pause in force came from collision detection: set by the dynamics
// stage, cleared only by the queue start, so that a later command pause is
// handled as a collision pause until then.
extern std::uint8_t gCollisionPause;
// Index bookkeeping of the queued motions in execution; the alarm stop and
// the queue clear set it to 0.
extern std::uint64_t gQueuedMotionCmdCurrentIndex;

// Per conveyor encoder channel: in use once the conveyor of that number is
// configured. A channel in use turns the pause command into the conveyor stop.
struct tagEncoderChannel {
  std::uint8_t inUse;
};
extern tagEncoderChannel encoder[kEncoderChannels];
// Set while the control cycle's conveyor sensor check runs; every stop's
// finish clears it.
extern std::uint8_t gEncoderCheckFlag;
