#include "common/kernel/motion_state.h"

tagRobotAxisMove gRobotAxisMove = {};
tagServoFeedBack gServoFeedBack[4] = {};
double gActualPosition[4] = {};
double gActualVelocity[4] = {};
double gActualAcceleration[4] = {};
tagTeachMove gTeachMove = {};

std::uint8_t gRobotPrfMode = kPrfIdle;
std::uint8_t gStopMode = kStopEmergency;
std::uint8_t gStopCmdPlanFlag = 0;
std::uint8_t gCmdFinishFlag = 0;
std::uint8_t gPauseCmdFlag = 0;
bool gCmdPlanFlag = false;
std::uint8_t gHandTeachFlag = 0;
std::uint8_t gDriverAlarmFlag = 0;
std::uint8_t gDriverResetFlag = 0;
std::uint8_t gDriverEnbleFlag[4] = {};
std::uint8_t gRobotEnableFlag = 0;
std::uint8_t gEmergencyStop = 0;
std::uint8_t gSafeGuardStop = 0;
std::uint8_t gExcitMode = 0;
std::uint8_t g_single_joint_mode = 0;

std::uint32_t gPeriodCount = 0;
std::uint32_t gPeriodCount1 = 0;
std::uint32_t gSystick = 0;

_stLoadParams gLoad = {};
_stLoadFullParams gLoadFullParams = {};

std::uint8_t gCollisionPause = 0;
std::uint64_t gQueuedMotionCmdCurrentIndex = 0;
tagEncoderChannel encoder[kEncoderChannels] = {};
std::uint8_t gEncoderCheckFlag = 0;
