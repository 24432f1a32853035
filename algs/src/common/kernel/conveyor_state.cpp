#include "common/kernel/conveyor_state.h"

Conveyor gConveyor[kEncoderChannels] = {};
tagSensorState gSensorState[kEncoderChannels] = {};
std::int64_t gCameraTriggerSendUs = 0;

#include "common/kinematics/conveyor_track_filter.h"

CEncoderFilter gEncoderFilter[kEncoderChannels];
