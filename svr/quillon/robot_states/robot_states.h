#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "modbus/modbus_register_map.h"
#include "robot_states/missing_kind_log.h"

struct AxesGroupRef;
struct RealTimeData_t;
struct st_structure;
class ISubProcess;
class ModbusSrv;

// The data server's snapshot of the robot, fed by the host's entry points
// (I/O images, PLC record, E-stop deceleration) and read by its services.
// The state-detection thread publishes the snapshot into the Modbus tables
// and rewrites the real-time record of the status memory.
class RobotStates {
 public:
  static constexpr int kImageSize = 64;
  static constexpr int kJoints = modbus_map::kJoints;

  static RobotStates& Instance();
  RobotStates();
  ~RobotStates();

  // Clears the snapshot and loads the E-stop values of the project.
  void Init();
  // Keeps p; writes the loaded E-stop decelerations into its axes. 1 when
  // they were written, else 0. Null does nothing.
  int UpdateEStopAcc(AxesGroupRef* p);

  void GetInputIOStatus(const std::uint8_t* in);
  void GetOutputIOStatus(const std::uint8_t* out);
  // Overwrites in[i] with the simulated value while input i is simulated.
  void HandleSimulateIOInput(std::uint8_t* in);
  // Index outside 0..63: setters write nothing, the getter returns 0.
  void SetIOInputSimulate(int index, std::uint8_t mode);
  std::uint8_t GetIOInputMode(int index) const;
  void SetSimulateIOInputStatus(int index, std::uint8_t value);

  // The PLC's robot command record; null does nothing.
  void UpdateStatus(void* plcRecord);
  void UpdateEnableStatus(std::uint8_t b) { enableStatus_ = b; }
  void UpdateRunStatus(std::uint8_t b) { runStatus_ = b; }
  void UpdateErrorStatus(std::uint8_t b) { errorStatus_ = b; }

  void SetAlarm(std::uint16_t code) { alarmCode_ = code; }
  std::uint16_t GetAlarm() const { return alarmCode_; }
  std::uint8_t GetErrorStatus() const { return alarmCode_ != 0 ? 1 : 0; }
  std::uint8_t GetEnableStatus() const { return enableStatus_; }
  std::uint8_t GetPCMode() const { return pcMode_; }
  void SetAutoMode(std::uint8_t b) { autoMode_ = b; }
  std::uint8_t GetAutoMode() const { return autoMode_; }
  int getRobotType() const { return 2; }

  const std::uint8_t* inputImage() const { return in_; }
  const std::uint8_t* outputImage() const { return out_; }

  // State-detection thread. start ends a previous thread first, so at most
  // one runs; stop returns once it has ended. A null ref takes the data
  // sub-process's record.
  void start(ModbusSrv* modbus, st_structure* structure, AxesGroupRef* ref);
  void stop();
  bool isRunning() const { return running_.load() != 0; }
  bool isScriptRunning() const { return scriptRunning_.load() != 0; }

  // Setters despite their names; joints outside 0..3 are ignored.
  void GetJoint(int j, float value);
  void GetRunSpeed(int j, float value);
  // Servo values of joint j from the drive's two readings and a * b / c,
  // scaled by the encoder bits and gear box of the kept structure record;
  // returns 2^bitNum * gearBoxDen (0, nothing written, for a joint outside
  // 0..3, a null servo array or no structure record).
  double GetServoStatus(int j, const stModbusServo* servo, double a, double b, double c);
  float joint(int j) const;
  float runSpeed(int j) const;
  stModbusServo servoValues(int j) const;

  // Status bytes of the record; without an argument the kept record.
  std::uint8_t getBrakeStatus() const { return getBrakeStatus(axesRef_.load()); }
  std::uint8_t getBrakeStatus(const AxesGroupRef* ref) const;
  std::uint8_t getDragStatus() const { return getDragStatus(axesRef_.load()); }
  std::uint8_t getDragStatus(const AxesGroupRef* ref) const;
  std::uint8_t getRunningStatus();
  int getRobotMode(AxesGroupRef* ref, RealTimeData_t* rec);

  // Rewrites the real-time record from the kernel's run data and the getters.
  void UpdateRtStatus(AxesGroupRef* ref, RealTimeData_t* rec);

 private:
  void checkModeFiles(std::int32_t mode);
  void DetectStatesLoop();
  void publishToModbus(ModbusSrv& modbus);
  void updateRecordFromData(ISubProcess* data);
  // Waits for d unless stop is asked; false when it is.
  bool sleepFor(std::chrono::microseconds d);
  void endThread();
  int askLuaState();
  std::uint8_t askStopStatus();
  ISubProcess* heldCore();

  std::atomic<std::uint16_t> alarmCode_{0};
  std::uint8_t in_[kImageSize] = {};
  std::uint8_t out_[kImageSize] = {};
  std::uint8_t simMode_[kImageSize] = {};
  std::uint8_t simValue_[kImageSize] = {};
  std::atomic<std::uint8_t> enableStatus_{0};
  std::atomic<std::uint8_t> runStatus_{0};
  std::atomic<std::uint8_t> errorStatus_{0};
  std::atomic<std::uint8_t> pcMode_{0};
  std::atomic<std::uint8_t> autoMode_{0};
  std::int32_t flagFileCount_ = 0;
  std::atomic<AxesGroupRef*> axesGroup_{nullptr};
  double eStopAcc_[4] = {};
  double eStopJerk_[4] = {};
  std::uint8_t eStopLoaded_ = 0;
  std::uint8_t eStopApplied_ = 0;

  std::atomic<float> joints_[kJoints] = {};
  std::atomic<float> speeds_[kJoints] = {};
  std::atomic<float> servo_[kJoints][3] = {};
  std::atomic<ModbusSrv*> modbus_{nullptr};
  std::atomic<st_structure*> structure_{nullptr};
  std::atomic<AxesGroupRef*> axesRef_{nullptr};
  std::atomic<std::int32_t> running_{0};
  std::atomic<std::uint8_t> scriptRunning_{0};
  MissingKindLog missing_;
  // The record writer's core sub-process, looked up once.
  std::atomic<ISubProcess*> rtCore_{nullptr};
  bool rtCoreLooked_ = false;
  int rtCoreMisses_ = 0;

  std::mutex startMutex_;  // serialises start and stop
  std::mutex sleepMutex_;
  std::condition_variable wake_;
  bool stopRequested_ = false;
  std::thread thread_;
};
