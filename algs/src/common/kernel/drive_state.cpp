#include "common/kernel/drive_state.h"

std::uint32_t gActualServoMode = 0;
std::uint8_t gServoMode = 0;
std::uint8_t gServoModeSwitch = 0;
std::uint8_t gIsEmergentGuiding = 0;
std::uint8_t gEncoderResetFlag = 0;
double gTorque[4] = {};

std::uint8_t gLatchEnable = 0;
std::uint8_t gLatchType = 0;
tagLatchPose gstLatchPose = {};

double homeOffset = 0.0;

std::uint32_t gHomeCmdCount = 0;
std::uint32_t gEnableCheckCount = 0;
std::uint32_t gDisableCount = 0;
std::uint8_t gServoModeStep = 0;
tagEnableCompensation gEnableComp[4] = {};
