#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "common/plugin/plugin_base.h"
#include "json/json_project_reader.h"

class DataSubProcess;
class ModbusSrv;

namespace zelor::modules::service {

// The operator panel: a Modbus master drives jog mode, jog parameters,
// teaching and run-to through the slave's holding registers; the digital
// I/O and the current position are mirrored into the tables. Commands go to
// the motion kernel through the core sub-process.
class HmiServer : public PluginBase {
 public:
  // The process-wide panel, created on first use.
  static HmiServer& Instance();

  // Keeps both (not owned) and starts the threads Proc and ProcIO.
  void Start(ModbusSrv* modbus, DataSubProcess* data);
  // Ends both threads' loops, waiting at most 2 s for them.
  void Stop();
  bool running() const { return running_.load() != 0; }

  int processTranslate(Packet* packet) override;

  // 1 while running and register 1570 is non-zero.
  int IsClearAlarm();
  void ClearAlarm() {}
  // Current pose into the input registers; for the state-detection thread.
  void UpdateCurrentCoord();

 private:
  HmiServer();

  void Proc(unsigned generation);
  void ProcIO(unsigned generation);
  void jogModeTick();
  void enterJogMode();
  void leaveJogMode();

  // Registers; a failed read gives 0, without a slave nothing is written.
  int readReg(int n);
  float readFloat(int n);
  void writeReg(int n, int value);
  void writeFloat(int n, float value);

  void InitJogMode();
  void SetParamsRegs();
  void storeRatio(int ratio);
  void sendToolFrame(int index, int queued);
  void sendUserFrame(int index, int queued);
  void IsJog();
  void DoJog();
  void stopJog(int joint, int isPos, int isNeg);

  void UpdateTeachPoint();
  void IsUpdatePoint();
  void CoverPoint();
  void Runto();
  bool enableForRunTo();

  // The calling panel thread may go on: running and of the current start.
  bool alive();
  // Sleeps ms unless Stop is asked; false when the thread must end.
  bool pause(int ms);
  void leaveLoop();
  DataSubProcess* data() const { return data_.load(); }

  std::atomic<std::uint8_t> running_{0};
  std::atomic<ModbusSrv*> modbus_{nullptr};
  std::atomic<DataSubProcess*> data_{nullptr};

  std::atomic<bool> inJogMode_{false};
  std::uint8_t isJoint_ = 1;
  bool jogging_ = false;
  bool ready_ = false;
  bool started_ = false;
  std::uint8_t jogCmd_ = 0;
  std::uint8_t arm_ = 0;

  JsonProjectReader reader_;
  std::string projectName_;
  tagCoordParamsFull currentTool_{};
  tagCoordParamsFull currentUser_{};

  // Threads still inside their loops; Stop waits for 0.
  std::mutex lifeMutex_;
  std::condition_variable lifeCond_;
  int loops_ = 0;
  unsigned generation_ = 0;
  // The start a panel thread belongs to.
  static thread_local unsigned threadGeneration_;
};

}  // namespace zelor::modules::service
