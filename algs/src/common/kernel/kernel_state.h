#pragma once

#include <cstddef>
#include <cstdint>

#include "common/protocol/command_records.h"
#include "zelor_export.h"

// Kernel-wide state: static single-instance records, zero at load unless said.

// Velocity profile kind: 0 five-segment, 1 seven-segment S-curve, 2 cosine;
// set from the robot parameters by the set-up.
extern std::int32_t gAccType;
// Control period in seconds.
extern double gPeriodTime;
// Shortest jerk time of a joint move's five-segment profile re-planned for a
// stop (0.08 s at load).
extern double gMinAccT1;

// Stage stamps of the running cycle, microseconds since its start; 29 is the total.
inline constexpr int kStageStampCount = 30;
extern std::int32_t elapsed[kStageStampCount];

// Robot set-up records, filled from the parameter block.
// Inner arm L1, outer arm L2, screw lead of joint 3 (mm/rev), z offset, one more.
extern double gScaraMechPara[5];
// Maximum of joints 1-4, minimum of joints 1-4, smallest allowed |joint 2|.
extern double gSoftLimitPara[9];

// The robot parameter block as received (its layout belongs to the set-up).
inline constexpr int kRobotParamBlockSize = 712;
extern std::uint8_t gScaraParams[kRobotParamBlockSize];
// Motor speed limit per joint, revolutions per minute.
extern double gAxisSpeedOver[4];
// Joint parameters; 5-8 are the gear reduction ratios of joints 1-4.
extern double gJointPara[9];
// Speed, acceleration and jerk limits in joint and Cartesian space, in the
// form of the point-to-point joint and coordinate records.
extern tagPTPJointParams gJointSpAcJkLimit;
extern tagPTPCoordinateParams gCoorSpAcJkLimit;
extern std::uint8_t gSimulatedFlag[4];
// Coupling flags; the fourth couples joint 3 to joint 4.
extern std::uint8_t gCouplFlag[4];
// Joint-3 travel per degree of joint 4 while coupled.
extern double gRatioCompToThreeFromFour;
// Latch pose template: x, y, z, r, then joints 1-4.
extern float gPoseTemplate[8];

// Switches from the parameter block.
extern std::uint8_t gUsingTrueMotion;
extern std::uint8_t gDynamicOptimal;
extern std::uint8_t gTorqueFeedforward;
extern std::uint8_t gInputECP;
extern std::uint8_t gInputShaping;
// Shaper frequency (Hz, above 0 switches shaping on) and damping of every
// joint's shaper, as the parameter block gives them.
extern std::int32_t gInputShapingFreq;
extern double gInputShapingDamp;

// Conveyor encoder channels, one per conveyor number: filtered position
// (counts), its velocity (counts/s) and the count at the last capture.
inline constexpr int kEncoderChannels = 3;
struct tagCurrentEncoder {
  double position;
  double velocity;
  double captureValue;
};
static_assert(sizeof(tagCurrentEncoder) == 24);
static_assert(offsetof(tagCurrentEncoder, velocity) == 8);
extern tagCurrentEncoder gCurrentEncoder[kEncoderChannels];

// Conveyor tracking settings (ids 19 and 23): the point offset and the time
// compensation in milliseconds that the tracking set-up of a move applies.
extern stConvPointOffset gConvPointOffset;
extern std::uint16_t gCnvTimeCompensation;

// Configuration of the conveyor whose object was handed over last.
extern Conveyor gConveyor0;

// Digital output and input images: point n is byte n - 1, 0 or 1. Bytes 0-63
// are the controller's own points, 100-999 the Modbus points. Exported
// through the C interface.
inline constexpr int kDigitalImageSize = 1000;
extern "C" ZELOR_EXPORT std::uint8_t gPhyDOs[kDigitalImageSize];
extern "C" ZELOR_EXPORT std::uint8_t gPhyDIs[kDigitalImageSize];
