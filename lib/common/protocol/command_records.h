#pragma once

#include <cstddef>
#include <cstdint>

// Parameter records of the command packets, byte for byte as they stand in a
// packet's parameters: packed, little-endian, no gaps. The command clients
// write them and the motion kernel reads them, so both include this header.
// Records whose fields no reader interprets keep only their size.

#pragma pack(push, 1)

// ---- Pose, frames and point conversion -----------------------------------

// Pose query (id 10): a user frame and a tool frame, six f64 each; x, y, z, r
// of each are used, the last two are reserved.
struct tagGetPoseInput {
  double user[6];
  double tool[6];
};
static_assert(sizeof(tagGetPoseInput) == 96);
static_assert(offsetof(tagGetPoseInput, tool) == 48);

// Pose query reply (id 10): "Right" or "Left" NUL-padded, the pose in the
// given frames, then reserved bytes (zero).
inline constexpr std::size_t kHandTextSize = 8;
struct tagGetPoseOutput {
  char hand[kHandTextSize];
  double x;
  double y;
  double z;
  double r;
  std::uint8_t reserved[16];
};
static_assert(sizeof(tagGetPoseOutput) == 56);
static_assert(offsetof(tagGetPoseOutput, x) == 8);

// User or tool frame with its table index (ids 250, 251).
struct tagCoordParamsFull {
  std::uint32_t index;
  float x;
  float y;
  float z;
  float r;
};
static_assert(sizeof(tagCoordParamsFull) == 20);
static_assert(offsetof(tagCoordParamsFull, x) == 4);

// Pose reset (id 11): with a non-zero flag, joint 2's home value is taken
// from the two angles.
struct tagResetPose {
  std::uint8_t flag;
  float a;
  float b;
};
static_assert(sizeof(tagResetPose) == 9);
static_assert(offsetof(tagResetPose, a) == 1);

// External control point frame (id 25).
struct tagCoordParams {
  float x;
  float y;
  float z;
  float r;
};
static_assert(sizeof(tagCoordParams) == 16);

// Point conversion request and reply (ids 8, 9).
struct KinematicsPose {
  float position[4];  // joints j1..j4, or x, y, z, r
  float user[4];      // user frame x, y, z, r
  float tool[4];      // tool x, y, z, r
  std::uint8_t handType;
  std::uint8_t reserved0[3];
  std::int32_t result;
  std::uint8_t usedefhandType;
  std::uint8_t reserved1[3];
};
static_assert(sizeof(KinematicsPose) == 60);
static_assert(offsetof(KinematicsPose, user) == 16);
static_assert(offsetof(KinematicsPose, tool) == 32);
static_assert(offsetof(KinematicsPose, handType) == 48);
static_assert(offsetof(KinematicsPose, result) == 52);
static_assert(offsetof(KinematicsPose, usedefhandType) == 56);

// Frame composition (id 228).
struct CorrectParams_t {
  float diff[6];        // offset x, y, z, r, two unused values
  float coordinate[6];  // frame x, y, z, r, two unused values
  std::uint8_t matrix_direction;
  std::uint8_t reserved[3];
};
static_assert(sizeof(CorrectParams_t) == 52);
static_assert(offsetof(CorrectParams_t, coordinate) == 24);
static_assert(offsetof(CorrectParams_t, matrix_direction) == 48);

// Latch pose template (id 35): x, y, z, r, then joints 1..4.
struct st_PoseTemplate_t {
  float x;
  float y;
  float z;
  float r;
  float joint[4];
};
static_assert(sizeof(st_PoseTemplate_t) == 32);

// ---- Conveyor tracking ----------------------------------------------------

// One conveyor's tracking configuration (id 14).
struct Conveyor {
  std::uint8_t conveyorIndex;  // 0..2
  std::uint8_t conveyorType;
  std::uint8_t dataSource;  // trigger kind: 0 sensor, 1 camera
  std::uint8_t reserved0;
  float conveyorFrame[6];  // the fourth value in degrees
  float visionFrame[6];    // the fourth value in degrees
  float visionMatrix[9];   // camera correction c0..c8
  float workArea[3];       // pick window start, pick max, end (mm since capture)
  std::uint8_t encoderChannel;
  std::uint8_t reserved1[3];
  float encoderResolution;  // counts per mm
  std::uint8_t direction;
  std::uint8_t reserved2[3];
  std::uint8_t sensorInput;
  std::uint8_t sensorTriggerType;
  std::uint8_t reserved3[2];
  float sensorRepeatDistance;
  std::uint8_t cameraTriggerOutput;
  std::uint8_t cameraTriggerType;
  std::uint8_t reserved4[2];
  float triggerDistance;  // travel between camera triggers, mm
  float cameraRepeatDistance;
  std::uint8_t dataUnitType;
  std::uint8_t reserved5;
  std::uint16_t imageHeight;
  std::uint16_t imageWidth;
  std::uint8_t reserved6[2];
};
static_assert(sizeof(Conveyor) == 140);
static_assert(offsetof(Conveyor, dataSource) == 2);
static_assert(offsetof(Conveyor, conveyorFrame) == 4);
static_assert(offsetof(Conveyor, visionFrame) == 28);
static_assert(offsetof(Conveyor, visionMatrix) == 52);
static_assert(offsetof(Conveyor, workArea) == 88);
static_assert(offsetof(Conveyor, encoderChannel) == 100);
static_assert(offsetof(Conveyor, encoderResolution) == 104);
static_assert(offsetof(Conveyor, direction) == 108);
static_assert(offsetof(Conveyor, sensorInput) == 112);
static_assert(offsetof(Conveyor, sensorTriggerType) == 113);
static_assert(offsetof(Conveyor, sensorRepeatDistance) == 116);
static_assert(offsetof(Conveyor, cameraTriggerOutput) == 120);
static_assert(offsetof(Conveyor, cameraTriggerType) == 121);
static_assert(offsetof(Conveyor, triggerDistance) == 124);
static_assert(offsetof(Conveyor, cameraRepeatDistance) == 128);
static_assert(offsetof(Conveyor, dataUnitType) == 132);
static_assert(offsetof(Conveyor, imageHeight) == 134);
static_assert(offsetof(Conveyor, imageWidth) == 136);

// Conveyor object query (id 15). The request is the first two bytes: the
// conveyor number and the caller's second argument; the reply fills the rest.
struct stConveyorObj {
  std::uint8_t objGetFlag;  // request: conveyor number
  std::uint8_t attribute;   // request: second argument
  std::uint8_t reserved[2];
  float x;
  float y;
  float r;
};
static_assert(sizeof(stConveyorObj) == 16);
static_assert(offsetof(stConveyorObj, x) == 4);

// Conveyor point offset (id 19).
struct stConvPointOffset {
  float x;
  float y;
};
static_assert(sizeof(stConvPointOffset) == 8);

// ---- Jog, inch and homing -------------------------------------------------

struct tagJOGJointParams {
  float velocity[4];
  float acceleration[4];
};
static_assert(sizeof(tagJOGJointParams) == 32);

struct tagJOGCoordinateParams {
  float velocity[4];
  float acceleration[4];
};
static_assert(sizeof(tagJOGCoordinateParams) == 32);

struct tagJOGCommonParams {
  float velocityRatio;
  float accelerationRatio;
};
static_assert(sizeof(tagJOGCommonParams) == 8);

// Never sent: its builders are stubs, so no size is fixed.
struct tagJOGLParams {
  std::uint8_t bytes[8];
};

struct tagJOGCmd {
  std::uint8_t isJoint;
  std::uint8_t cmd;  // 0 stop, 1..8 axis and direction
};
static_assert(sizeof(tagJOGCmd) == 2);

struct tagINCHParams {
  std::uint32_t isInch;
  float distanceANG;
  float distanceMM;
};
static_assert(sizeof(tagINCHParams) == 12);

struct tagHOMEParams {
  std::uint8_t bytes[16];
};
static_assert(sizeof(tagHOMEParams) == 16);

struct tagEndEffectorParams {
  std::uint8_t bytes[12];
};
static_assert(sizeof(tagEndEffectorParams) == 12);

// ---- Point-to-point parameters and moves ---------------------------------

struct tagPTPJointParams {
  float velocity[4];
  float acceleration[4];
  float jerk[4];
};
static_assert(sizeof(tagPTPJointParams) == 48);

struct tagPTPCoordinateParams {
  float xyzVelocity;
  float rVelocity;
  float xyzAcceleration;
  float rAcceleration;
  float xyzJerk;
  float rJerk;
};
static_assert(sizeof(tagPTPCoordinateParams) == 24);

struct tagPTPJumpParams {
  float jumpHeight;
  float zLimit;
  std::int32_t option;  // carried for the jump planner
};
static_assert(sizeof(tagPTPJumpParams) == 12);

struct tagPTPJump2Params {
  float startJumpHeight;
  float endJumpHeight;
  float zLimit;
};
static_assert(sizeof(tagPTPJump2Params) == 12);

struct tagPTPCommonParams {
  float velocityRatio;
  float accelerationRatio;
  float jerkRatio;
  float xyzVelocityRatio;
  float rVelocityRatio;
  float xyzAccelerationRatio;
  float rAccelerationRatio;
  float xyzJerkRatio;
  float rJerkRatio;
};
static_assert(sizeof(tagPTPCommonParams) == 36);

struct tagPTPLParams {
  std::uint8_t bytes[8];
};
static_assert(sizeof(tagPTPLParams) == 8);

struct tagPTPCmd {
  std::uint8_t ptpMode;  // 0..8
  float x;
  float y;
  float z;
  float r;
};
static_assert(sizeof(tagPTPCmd) == 17);
static_assert(offsetof(tagPTPCmd, x) == 1);

// The point-to-point move of the slide-rail variant (id 86, 89).
struct tagPTPWithLCmd {
  std::uint8_t bytes[21];
};
static_assert(sizeof(tagPTPWithLCmd) == 21);

// One output switched along a point-to-point move (id 88); the bytes not
// named are carried unchanged into the queued move.
struct tagParallelOutputCmd {
  std::uint8_t type;   // 0: place by ratio, 1: by distance, other: the start of the move
  std::uint8_t ratio;  // where along the move, percent
  std::uint8_t reserved1[6];
  double distance;  // mm along the path; negative counts back from its end
  std::uint16_t address;  // output number, 1-based
  std::uint8_t level;
  std::uint8_t reserved2[5];
};
static_assert(sizeof(tagParallelOutputCmd) == 24);
static_assert(offsetof(tagParallelOutputCmd, type) == 0);
static_assert(offsetof(tagParallelOutputCmd, ratio) == 1);
static_assert(offsetof(tagParallelOutputCmd, distance) == 8);
static_assert(offsetof(tagParallelOutputCmd, address) == 16);
static_assert(offsetof(tagParallelOutputCmd, level) == 18);

// Parallel outputs that fit behind a move record and its count in a packet.
inline constexpr int kMaxParallelOutputs = 84;

struct tagCPParams {
  std::uint8_t bytes[13];
};
static_assert(sizeof(tagCPParams) == 13);

struct tagCPCmd {
  std::uint8_t bytes[17];
};
static_assert(sizeof(tagCPCmd) == 17);

struct tagARCParams {
  std::uint8_t bytes[16];
};
static_assert(sizeof(tagARCParams) == 16);

struct tagARCPoint {
  float x;
  float y;
  float z;
  float r;
};

struct tagARCCmd {
  tagARCPoint cirPoint;  // a point on the arc
  tagARCPoint toPoint;   // the end point
};
static_assert(sizeof(tagARCCmd) == 32);

struct tagCircleCmd {
  tagARCPoint cirPoint;
  tagARCPoint toPoint;
  std::uint32_t count;  // read by the circle planner
};
static_assert(sizeof(tagCircleCmd) == 36);
static_assert(offsetof(tagCircleCmd, count) == 32);

// Excitation trajectories of load identification (ids 103, 104).
struct tagExcitCmd {
  float params[6];
};
static_assert(sizeof(tagExcitCmd) == 24);

struct tagExcitCmdZ {
  float params[3];
};
static_assert(sizeof(tagExcitCmdZ) == 12);

struct tagWAITCmd {
  std::uint32_t timeout;
};
static_assert(sizeof(tagWAITCmd) == 4);

struct tagTRIGCmd {
  std::uint8_t address;
  std::uint8_t mode;
  std::uint8_t condition;
  std::uint16_t threshold;
};
static_assert(sizeof(tagTRIGCmd) == 5);
static_assert(offsetof(tagTRIGCmd, threshold) == 3);

// ---- Inputs and outputs ---------------------------------------------------

struct tagIOMultiplexing {
  std::uint8_t bytes[2];
};
static_assert(sizeof(tagIOMultiplexing) == 2);

struct tagIO_DO {
  std::uint32_t address;  // output channel, from 1
  std::uint8_t level;
  std::uint8_t reserved[3];
};
static_assert(sizeof(tagIO_DO) == 8);

struct tagIO_DI {
  std::uint32_t address;  // input channel, from 1
  std::uint8_t level;
  std::uint8_t reserved[3];
};
static_assert(sizeof(tagIO_DI) == 8);

struct tagIODAC {
  std::uint8_t channel;
  std::uint16_t value;
};
static_assert(sizeof(tagIODAC) == 3);

struct tagIOADC {
  std::uint8_t bytes[3];
};
static_assert(sizeof(tagIOADC) == 3);

struct tagEMotor {
  std::uint8_t bytes[6];
};
static_assert(sizeof(tagEMotor) == 6);

struct tagIODOEx {
  std::uint8_t start;
  std::uint8_t count;
  std::uint8_t levels[3];  // 24-bit field, bit i = output start + 1 + i
};
static_assert(sizeof(tagIODOEx) == 5);

struct tagIODIEx {
  std::uint8_t index;
  std::uint8_t count;
  std::uint8_t levels[8];
  std::uint8_t reserved[8];
};
static_assert(sizeof(tagIODIEx) == 18);
static_assert(offsetof(tagIODIEx, levels) == 2);

struct tagIOADCEx {
  std::uint8_t bytes[14];
};
static_assert(sizeof(tagIOADCEx) == 14);

struct tagIODACEx {
  std::uint8_t start;
  std::uint8_t count;
  std::uint16_t value[2];
};
static_assert(sizeof(tagIODACEx) == 6);

struct tagGroupDO {
  std::uint32_t address;
  std::uint8_t level;
  std::uint8_t isQueued;
  std::uint8_t reserved[2];
};
static_assert(sizeof(tagGroupDO) == 8);

inline constexpr int kGroupDOEntries = 64;

struct Group_IO_DO {
  tagGroupDO DO[kGroupDOEntries];
  std::uint32_t count;
};
static_assert(sizeof(Group_IO_DO) == 516);
static_assert(offsetof(Group_IO_DO, count) == 512);

struct Group_IO_DI {
  std::uint8_t bytes[516];
};
static_assert(sizeof(Group_IO_DI) == 516);

// ---- Collision, load and slide rail ---------------------------------------

struct tagTorDiffParams {
  float torDiff[4];  // per joint
};
static_assert(sizeof(tagTorDiffParams) == 16);

// Load (id 208).
struct _stLoadParams {
  double payload;
  double inertia;
};
static_assert(sizeof(_stLoadParams) == 16);

// Full load (id 253).
struct _stLoadFullParams {
  std::uint8_t index;
  std::uint8_t reserved[7];
  double weight;
  double inertia;
};
static_assert(sizeof(_stLoadFullParams) == 24);
static_assert(offsetof(_stLoadFullParams, weight) == 8);
static_assert(offsetof(_stLoadFullParams, inertia) == 16);

// External (slide-rail) axis command (id 225).
struct stTramletCmd {
  std::uint32_t cmd;
  union {
    std::int32_t i;
    float f;
  } value;
  std::uint32_t third;
};
static_assert(sizeof(stTramletCmd) == 12);
static_assert(offsetof(stTramletCmd, value) == 4);
static_assert(offsetof(stTramletCmd, third) == 8);

#pragma pack(pop)
