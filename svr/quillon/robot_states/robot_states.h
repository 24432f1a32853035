#pragma once

#include <atomic>
#include <cstdint>

struct AxesGroupRef;

// The data server's snapshot of the robot, fed by the host's entry points
// (I/O images, PLC record, E-stop deceleration) and read by its services.
// This is the host's share; the state-detection thread joins with the data
// sub-process.
class RobotStates {
 public:
  static constexpr int kImageSize = 64;

  static RobotStates& Instance();
  RobotStates();

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

 private:
  void checkModeFiles(std::int32_t mode);

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
};
