#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "capture_channel.h"
#include "status_output.h"

// Remote control by digital I/O (mode "io") or Modbus coils (mode "modbus"):
// input edges become request words that the main loop turns into handshakes
// in the status memory; the robot's state goes back to outputs.
class remoteCtl {
 public:
  // Remote-control modes as stored in the mode word.
  enum Mode : std::int32_t { kModeTp = 0, kModeIo = 1, kModeModbus = 2, kModeTcp = 3, kModeOther = -1 };

  // Input keys, in the order of the input channels.
  enum Input { kClearAlarm, kStart, kPause, kContinue, kStop, kEmergencyStop, kPowerOn, kInputCount };
  // Output keys.
  enum Output { kReadyOut, kPauseOut, kAlarmOut, kRunOut, kWarningOut, kRemoteOut, kPowerOut, kOutputCount };

  static constexpr const char* kInputKeys[kInputCount] = {"clear_alarm", "start_pin", "pause_pin", "continue",
                                                          "stop_pin", "emergencystop", "poweron"};
  static constexpr const char* kOutputKeys[kOutputCount] = {"readystatus", "pausestatus", "alarmstatus",
                                                            "runstatus", "warningstatus", "remotestatus",
                                                            "powerstatus"};

  // The process's one remote control, defaults set; built on first use.
  static remoteCtl& instance();

  // Reconfigures from the files and restarts the threads; 0.
  int ReInit();

  int loadConfigFiles();
  // 0, or -1 when a pin or index is out of range (then nothing is configured).
  int transformConfigs();
  void ReInitMonitor();
  void ReInitOutPut();

  // Alarm code of the robot state snapshot; read before a continue request.
  void setAlarmSource(std::function<int()> source) { alarmSource_ = std::move(source); }

  std::int32_t triggerMode() const { return triggerMode_; }
  const inputChannelCfg& inputConfig(Input input) const { return inputs_[input]; }
  const std::vector<tagoutputChannelCfg>& outputConfigs() const { return outputs_; }

  std::int32_t ioIn[kInputCount] = {};
  std::int32_t ioOut[kOutputCount] = {};
  std::int32_t coils[kInputCount] = {};
  std::int32_t inBits[kOutputCount] = {};

  remoteCtl(const remoteCtl&) = delete;
  remoteCtl& operator=(const remoteCtl&) = delete;

 private:
  remoteCtl();
  void setDefaults();
  void resetInputConfigs();
  static void RemoteControlMainProcess(remoteCtl* self, unsigned generation);
  static void StatusOutputProcess(remoteCtl* self, unsigned generation);
  bool keepRunning(unsigned generation) const;
  // Polls every 10 ms while busy() holds; false when the loop was told to end.
  bool waitWhile(unsigned generation, const std::function<bool()>& busy, const char* text);
  void mainPass(unsigned generation);
  void requestStop(unsigned generation);
  void requestStart(unsigned generation);
  void requestPause();
  void requestContinue(unsigned generation);
  void requestClearError(unsigned generation);
  void refreshStatus();

  std::function<int()> alarmSource_;

  inputChannelCfg inputs_[kInputCount];
  std::vector<tagoutputChannelCfg> outputs_;

  // Request words written by the input channels, and their values at the
  // end of the main loop's previous pass.
  std::int32_t inIsRequestScriptRun = 0;
  std::int32_t inIsRequestScriptStop = 0;
  std::int32_t inIsRequestScriptPause = 0;
  std::int32_t inIsRequestScriptContinue = 0;
  std::int32_t inIsRequestPowerOn = 0;
  std::int32_t inIsRequestRobotClearErr = 0;
  std::int32_t last_inIsRequestScriptRun = 0;
  std::int32_t last_inIsRequestScriptStop = 0;
  std::int32_t last_inIsRequestScriptPause = 0;
  std::int32_t last_inIsRequestScriptContinue = 0;
  std::int32_t last_inIsRequestRobotClearErr = 0;

  // Status words read by the output channels.
  std::int32_t alarmStatus = 0;
  std::int32_t pauseStatus = 0;
  std::int32_t runStatus = 0;
  std::int32_t readyStatus = 0;
  std::int32_t warningStatus = 0;
  std::int32_t remoteStatus = 0;

  std::int32_t triggerMode_ = CaptureRaising;
  std::atomic<int> running_{0};
  std::atomic<unsigned> generation_{0};
  std::atomic<bool> mainInLoop_{false};
  std::atomic<bool> statusInLoop_{false};
  std::mutex reInitMutex_;
};
