#pragma once

#include <cstdint>
#include <string>

// Records of the project settings reader (JsonProjectReader). The data server
// reads the reader's members directly, so field order is part of the interface.

// Factory limit of one setting, in this memory order.
struct st_triple {
  float max;
  float min;
  float def;
};
static_assert(sizeof(st_triple) == 12);

inline constexpr int kAxisCount = 6;
inline constexpr int kFrameCount = 10;
inline constexpr int kArchCount = 10;
inline constexpr int kModbusDeviceCount = 10;
inline constexpr int kModbusProjectCount = 10;
inline constexpr int kPointLoadCount = 128;

// properties/ratio_default.json, group "playback".
struct st_ratiodefault {
  st_triple joint_vel;
  st_triple joint_acc;
  st_triple joint_jerk;
  st_triple coord_vel;
  st_triple coord_acc;
  st_triple coord_jerk;
  st_triple arch_startHeight;
  st_triple arch_endHeight;
  st_triple arch_zLimit;
};

// properties/default.json: the limits every later loader clamps to.
struct st_default {
  st_triple commonRatio;
  st_triple teachJointVelocity[kAxisCount];
  st_triple teachJointAcceleration[kAxisCount];
  st_triple teachCoordinateVelocity[kAxisCount];
  st_triple teachCoordinateAcceleration[kAxisCount];
  st_triple driverVelocityP[kAxisCount];
  st_triple driverVelocityI[kAxisCount];
  st_triple driverPositionP[kAxisCount];
  st_triple driverSpeedFeedForward[kAxisCount];
  st_triple driverLoadInertiaRatio[kAxisCount];
  st_triple playbackJointVelocity[kAxisCount];
  st_triple playbackJointAcceleration[kAxisCount];
  st_triple playbackJointJerk[kAxisCount];
  st_triple playbackCoordinateVelocity[kAxisCount];
  st_triple playbackCoordinateAcceleration[kAxisCount];
  st_triple playbackCoordinateJerk[kAxisCount];
  st_triple archStartHeight;
  st_triple archEndHeight;
  st_triple archZLimit;
};

struct st_common {
  float ratio;  // global speed ratio, percent
};

struct st_teach {
  float jointVelocity[kAxisCount];
  float jointAcceleration[kAxisCount];
  float coordinateVelocity[kAxisCount];
  float coordinateAcceleration[kAxisCount];
};

struct st_driver {
  float velocityP[kAxisCount];
  float velocityI[kAxisCount];
  float positionP[kAxisCount];
  float speedFeedForward[kAxisCount];
  float loadInertiaRatio[kAxisCount];
};

struct st_modbusIO {
  int deviceCount;
  int doNumber[kModbusDeviceCount];
  int diNumber[kModbusDeviceCount];
};

struct st_modbusProject {
  std::string name;
  bool valid;
};

struct st_modbusctrl {
  int optionProject;
  st_modbusProject projects[kModbusProjectCount];  // entry k is project number k+1
};

enum IoCtrlIn { kClearAlarm, kContinue, kPausePin, kStopPin, kStartPin, kEmergencyStop, kIoCtrlInCount };
enum IoCtrlOut { kReadyStatus, kPauseStatus, kAlarmStatus, kRunStatus, kCollisionStatus, kIoCtrlOutCount };

struct st_ioctrl {
  int inPins[kIoCtrlInCount];
  int outPins[kIoCtrlOutCount];
};

struct st_playback {
  float jointVelocity[kAxisCount];
  float jointAcceleration[kAxisCount];
  float jointJerk[kAxisCount];
  float coordinateVelocity[2];  // [0] xyz, [1] r
  float coordinateAcceleration[2];
  float coordinateJerk[2];
};

struct st_arch {
  bool enable;
  float startHeight;
  float endHeight;
  float zLimit;
};

struct st_coord {
  bool enable;
  float params[6];  // x, y, z, r first
};

// Current user and tool frame index.
struct st_temp {
  int user;
  int tool;
};

struct st_lynload {
  bool enable;
  float params[2];
};

struct st_fanCtrl {
  int mode;
  int openThreshold;
  int closeThreshold;
  int alarmThreshold;
  int minimumRunTime;
};

struct st_mulRobot {
  int robotId;
  int robotInLine;
  std::string masterAddr;
};

struct st_extEstop {
  int userStop1;
  int safeStop1;
  int userStop2;
  int safeStop2;
};

// External-axis switch: this reader sets auxJoint and addPoints only.
struct st_extAxis {
  bool auxJoint;
  bool reserved1;
  bool reserved2;
  bool addPoints;
  bool reserved3;
  bool reserved4;
};

struct st_inch {
  float distance;
  float angle;
};

struct st_collisionStop {
  int resumeType;
  int stopType;
};

// Records the caller owns and the reader fills.

struct st_dynamicParams {
  float ZZ1, FS1, FV1, XX2, ZZ2, MX2, MY2, FS2, FV2, XX3, ZZ3, MX3, MY3, FS3, FV3, XX4, ZZ4, MX4, XX5,
      ZZ5, MX5, MY5, XX6, MX6, XX7, ZZ7, MX7, MY7, XX8, ZZ8, MX8, MX9, MY9, ZZ10, IA10, FS10, FV10;
  double loadWeight;
  double optimalRatio;
  double torqueLimit[4];
};

struct st_advanced_function {
  bool UsingTrueMotion;
  bool DynamicOptimal;
  int UsingAccType;
  bool TorqueFeedforward;
  bool InputECP;
  int InputShapingFreq;
  double InputShapingDamp;
};

struct stModbusConf {
  int id;
  std::string mode;
};

struct stStopConf {
  bool enable;
  std::uint8_t speed;
  char armOrientation[10];
  float x, y, z, a;
  std::int8_t tool;
  std::int8_t user;
  char mode[20];
  std::uint8_t archIndex;
};

struct DragSenseAdjust {
  int j1, j2, j3, j4, j5, j6;
};

// A taught point of the pendant's point list, as GetAllTeachPoint fills it.
struct HMIPoint {
  char name[8];            // NUL-terminated, at most 7 characters
  char armOrientation[8];  // "left" or "right"
  float x, y, z, r;
  float reserved[2];  // the reader leaves these alone
  std::uint8_t tool;
  std::uint8_t user;
};

// Points of a point file the pendant's list holds.
inline constexpr int kHmiPointCount = 16;
