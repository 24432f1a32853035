#include "common/kernel/kernel_state.h"

std::int32_t gAccType = 0;
double gPeriodTime = 0.004;
double gMinAccT1 = 0.08;
std::int32_t elapsed[kStageStampCount] = {};
double gScaraMechPara[5] = {};
double gSoftLimitPara[9] = {};

std::uint8_t gScaraParams[kRobotParamBlockSize] = {};
double gAxisSpeedOver[4] = {};
double gJointPara[9] = {};
tagPTPJointParams gJointSpAcJkLimit = {};
tagPTPCoordinateParams gCoorSpAcJkLimit = {};
std::uint8_t gSimulatedFlag[4] = {};
std::uint8_t gCouplFlag[4] = {};
double gRatioCompToThreeFromFour = 0.0;
float gPoseTemplate[8] = {};

std::uint8_t gUsingTrueMotion = 0;
std::uint8_t gDynamicOptimal = 0;
std::uint8_t gTorqueFeedforward = 0;
std::uint8_t gInputECP = 0;
std::uint8_t gInputShaping = 0;
std::int32_t gInputShapingFreq = 0;
double gInputShapingDamp = 0.0;

tagCurrentEncoder gCurrentEncoder[kEncoderChannels] = {};
stConvPointOffset gConvPointOffset = {};
std::uint16_t gCnvTimeCompensation = 0;
Conveyor gConveyor0 = {};

extern "C" {
std::uint8_t gPhyDOs[kDigitalImageSize] = {};
std::uint8_t gPhyDIs[kDigitalImageSize] = {};
}
