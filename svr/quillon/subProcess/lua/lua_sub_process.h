#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "common/ipc/semlib_shm.h"
#include "common/transport/segment.h"
#include "subProcess/activity.h"
#include "subProcess/i_sub_process.h"

struct st_project;

// The data server's side of Lua programs: starts and stops them through the
// control program's message router (segment 12), reads their run status, and
// serves the script plug-in's command requests (the semaphore-guarded request
// memory and the relay channel 16/17) through the core's packet mailbox.
class LuaSubProcess : public ISubProcess {
 public:
  enum CallId : int {
    kStartProgram = 0,  // in: st_project* (reserved = peer address); out: int, 1 when the line went out
    kStopProgram = 1,
    kResume = 2,
    kPause = 3,
    kRunStatus = 4,     // out: int, 1 while the program runs
    kProcessId = 5,     // out: int
    kNotifyReboot = 6,
  };

  explicit LuaSubProcess(int port);
  ~LuaSubProcess() override;

  void start() override;
  void stop() override;
  const void* getParam() const override { return &port_; }
  void interCall(int id, void* in, void* out, void** ret) override;

 private:
  static constexpr size_t kCommandLineBytes = 1024;

  int startProgram(const st_project* project);
  void writeCommand(const uint8_t* frame, unsigned short len);
  int runStatus();

  void semDataProcess();
  // One relay message of channel 16 answered on channel 17; false when none came.
  bool serveRelay(uint8_t* buffer, size_t size);
  // One request of the request memory answered; false when none waited.
  bool serveRequest();
  void idlePause();

  int port_;
  int semId_ = -1;
  semlib_shm* shm_ = nullptr;
  zelor::common::ipc::SemlibChannelTable slots_ = zelor::common::ipc::kSemlibChannels;
  int resumePid_ = 0;
  int pausePid_ = 0;
  std::atomic<bool> run_{true};
  std::atomic<uint8_t> lastRunStatus_{0};
  int idleRounds_ = 0;
  semlib_frame frame_{};
  zelor::common::transport::Segment segment_;
  Activity<LuaSubProcess> worker_{this, &LuaSubProcess::semDataProcess};
};
