#pragma once

// The slide-rail driver as the system meets it: the link objects made by the
// motion library's real link in this process, the marker file, the project's
// external-axis files, the simulated drive on a pseudo-terminal, and
// `tramlet` started on it with its output captured.

#include <signal.h>
#include <sys/ipc.h>
#include <sys/msg.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "built_paths.h"
#include "common/links/exter_axis_msg.h"
#include "common/links/exter_axis_rtu.h"
#include "process.h"
#include "slide_drive/slide_drive_sim.h"

namespace zelor::test {

using namespace std::chrono_literals;

inline bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (cond()) return true;
    std::this_thread::sleep_for(5ms);
  }
  return cond();
}

inline std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void writeText(const std::string& path, const std::string& text) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The project's external-axis files.
struct AxisFiles {
  static constexpr const char* kStructure = "/zelor/userdata/project/process/auxJoint/structure.json";
  static constexpr const char* kPlayback = "/zelor/userdata/project/settings/playback/auxJoint.json";
  static constexpr const char* kTeach = "/zelor/userdata/project/settings/teach/auxJoint.json";
  static constexpr const char* kStop = "/zelor/userdata/project/process/auxJoint/stop.json";

  std::string structure =
      R"({"auxJoint":1,"type":[0],"motors":[{"encoder":{"bitNum":17},"motor":{"rated":3000,"inverted":true},)"
      R"("gearBox":{"num":1,"den":50}}],"limits":[[-10,100]]})";
  std::string playback = R"({"velocity":[500],"acceleration":[1000]})";
  std::string teach = R"({"velocity":[100],"acceleration":[200]})";
  std::string stop = R"({"acceleration":[2000]})";

  // 1000 pulses per unit on a linear axis, limits -100..100 units; moves at
  // 50 units/s, jogs at 10 units/s.
  static AxisFiles kilo() {
    AxisFiles f;
    f.structure =
        R"({"auxJoint":1,"type":[1],"motors":[{"encoder":{"bitNum":10},"motor":{"rated":3000,"inverted":false},)"
        R"("gearBox":{"num":1024,"den":1000}}],"limits":[[-100,100]]})";
    f.playback = R"({"velocity":[50],"acceleration":[1000]})";
    f.teach = R"({"velocity":[10],"acceleration":[100]})";
    f.stop = R"({"acceleration":[1000]})";
    return f;
  }
  // 1 pulse per unit, limits 0..500.
  static AxisFiles unit() {
    AxisFiles f;
    f.structure =
        R"({"auxJoint":1,"type":[1],"motors":[{"encoder":{"bitNum":10},"motor":{"rated":3000,"inverted":false},)"
        R"("gearBox":{"num":1024,"den":1}}],"limits":[[0,500]]})";
    f.playback = R"({"velocity":[1000],"acceleration":[100000]})";
    f.teach = R"({"velocity":[100],"acceleration":[10000]})";
    f.stop = R"({"acceleration":[100000]})";
    return f;
  }
  // The default with a motor that is not inverted.
  static AxisFiles upright() {
    AxisFiles f;
    const auto at = f.structure.find("true");
    f.structure.replace(at, 4, "false");
    return f;
  }

  void write() const {
    writeText(kStructure, structure);
    writeText(kPlayback, playback);
    writeText(kTeach, teach);
    writeText(kStop, stop);
  }
};

class TramletRig {
 public:
  static constexpr const char* kOutput = "/tmp/tramlet.out";

  TramletRig() {
    ExterAxisRTU::Init();
    const key_t key = ftok(ExterAxisRTU::kKeyPath, ExterAxisRTU::kKeyId);
    msqId_ = msgget(key, 0);
    semId_ = semget(key, 1, 0);
    const int shmId = shmget(key, ExterAxisRTU::kStatusMemorySize, 0);
    if (shmId >= 0) {
      void* address = shmat(shmId, nullptr, 0);
      if (address != reinterpret_cast<void*>(-1)) shm_ = address;
    }
    // A fresh status block for every driver run of the test.
    if (shm_ != nullptr) std::memset(shm_, 0, sizeof(ExterAxisRTU::ExterAxisStatus));
    setMarker(true);
  }
  ~TramletRig() {
    child_.reset();
    if (shm_ != nullptr) shmdt(shm_);
    std::remove(kOutput);
    std::remove(ExterAxisRTU::kOnlineMarker);
  }

  ExterAxisRTU::exterAxisRTU& link() { return ExterAxisRTU::exterAxisRTU::instance(); }
  zelor::sim::SlideDriveSim& drive() { return drive_; }

  static void setMarker(bool present) {
    if (present) {
      writeText(ExterAxisRTU::kOnlineMarker, "");
    } else {
      std::remove(ExterAxisRTU::kOnlineMarker);
    }
  }
  static bool markerPresent() { return access(ExterAxisRTU::kOnlineMarker, F_OK) == 0; }
  // Marker in place and seen by the link.
  bool online() {
    setMarker(true);
    return waitFor([&] { return link().driverOnline(); }, 2s);
  }

  void start(const std::vector<std::string>& args) {
    std::vector<std::string> argv{built::kTramlet};
    argv.insert(argv.end(), args.begin(), args.end());
    child_ = std::make_unique<ChildProcess>(argv, ChildOptions{{}, kOutput});
  }
  // tramlet on the simulated drive, instance 1.
  void start() { start({drive_.slaveName(), "1"}); }
  bool startedUp() { return waitOutput("paramInit:lead=", 10s); }

  std::string output() const { return readText(kOutput); }
  bool waitOutput(const std::string& text, std::chrono::milliseconds timeout) const {
    return waitFor([&] { return output().find(text) != std::string::npos; }, timeout);
  }
  // Lines of the output holding text.
  int countOutput(const std::string& text) const {
    const std::string out = output();
    int n = 0;
    for (auto at = out.find(text); at != std::string::npos; at = out.find(text, at + 1)) ++n;
    return n;
  }

  // Waits for tramlet's end; its exit status, or -1 (still running or killed).
  int exitCode(std::chrono::milliseconds timeout = 5s) {
    if (!waitFor([&] { return !child_->running(); }, timeout)) return -1;
    const int status = child_->stop(SIGKILL);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  bool running() { return child_ != nullptr && child_->running(); }
  // The command worker waits in its blocking queue read.
  bool waitingForCommand() {
    if (child_ == nullptr) return false;
    const std::string tasks = "/proc/" + std::to_string(child_->pid()) + "/task";
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
      const std::string call = readText(task.path().string() + "/syscall");
      if (call.rfind(std::to_string(SYS_msgrcv) + " ", 0) == 0) return true;
    }
    return false;
  }
  // Enables the drive with a message of index `index`; true once published.
  bool enable(std::uint32_t index) {
    return send(ExterAxisRTU::kMsgSetting, ExterAxisRTU::kCmdEnable, 1, index) &&
           waitStatus([](const auto& s) { return (s.statusWord & 4) != 0; }, 3s);
  }

  // The status block as the driver last published it.
  ExterAxisRTU::ExterAxisStatus status() {
    ExterAxisRTU::ExterAxisStatus s{};
    sembuf p{0, -1, SEM_UNDO};
    sembuf v{0, 1, SEM_UNDO};
    semop(semId_, &p, 1);
    std::memcpy(&s, shm_, sizeof s);
    semop(semId_, &v, 1);
    return s;
  }
  bool waitStatus(const std::function<bool(const ExterAxisRTU::ExterAxisStatus&)>& cond,
                  std::chrono::milliseconds timeout = 2s) {
    return waitFor([&] { return cond(status()); }, timeout);
  }

  // Puts a message on the queue as the link would, with a chosen index.
  bool send(long type, std::int32_t cmd, std::int32_t value, std::uint32_t index) {
    ExterAxisRTU::ExterAxisCmdMsg msg{};
    msg.mtype = type;
    msg.body.cmd = cmd;
    msg.body.value.i = value;
    msg.body.index = index;
    return msgsnd(msqId_, &msg, ExterAxisRTU::kCmdBodySize, IPC_NOWAIT) == 0;
  }
  bool sendFloat(long type, std::int32_t cmd, float value, std::uint32_t index) {
    std::int32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return send(type, cmd, bits, index);
  }
  std::size_t queued() const {
    msqid_ds ds{};
    return msgctl(msqId_, IPC_STAT, &ds) == 0 ? ds.msg_qnum : 999;
  }
  int msqId() const { return msqId_; }

 private:
  zelor::sim::SlideDriveSim drive_;
  std::unique_ptr<ChildProcess> child_;
  int msqId_ = -1;
  int semId_ = -1;
  void* shm_ = nullptr;
};

}  // namespace zelor::test
