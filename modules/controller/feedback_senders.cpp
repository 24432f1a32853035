#include "controller/feedback_senders.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "common/ipc/robot_map.h"
#include "install_paths.h"

namespace zelor::brevan {

using zelor::modules::realTimeData::tcpipRealTimeDataSender;

tcpipRealTimeDataSender BasicSender30004;
tcpipRealTimeDataSender BasicSender30005;
tcpipRealTimeDataSender customizedFormatSender;

RealTimeData_t* mp_realtimeData = nullptr;
std::uint16_t* mp_realtimeData_isVaild = nullptr;

namespace {

constexpr auto kWatchPause = std::chrono::seconds(1);

// The watcher thread and its stop request. Defined after the senders, so at
// exit it is destroyed, and the thread joined, before they are.
class Watcher {
 public:
  ~Watcher() { stop(); }
  void start() {
    std::lock_guard lock(startMutex_);
    if (thread_.joinable()) return;
    {
      std::lock_guard stopLock(mutex_);
      stopRequested_ = false;
    }
    thread_ = std::thread(monitorRealTimeConfigFileChange);
  }
  void stop() {
    std::lock_guard lock(startMutex_);
    {
      std::lock_guard stopLock(mutex_);
      stopRequested_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }
  // Waits one pause; false when a stop was asked for.
  bool pause() {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, kWatchPause, [this] { return stopRequested_; });
  }
  bool stopRequested() {
    std::lock_guard lock(mutex_);
    return stopRequested_;
  }

 private:
  std::mutex startMutex_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopRequested_ = false;
  std::thread thread_;
};

Watcher gWatcher;

// Re-initialises a sender when the file's whole-second modification time
// differs from the last one seen; a missing file keeps its last time.
template <typename Reload>
void checkFile(const std::string& path, std::time_t& lastSeen, Reload reload) {
  struct stat st{};
  if (stat(path.c_str(), &st) != 0) return;
  if (st.st_mtime != lastSeen) reload();
  lastSeen = st.st_mtime;
}

}  // namespace

void realtimeSenderReInit() {
  if (mp_realtimeData == nullptr || mp_realtimeData_isVaild == nullptr) {
    char* base = robotMap::instance().entry();
    mp_realtimeData = reinterpret_cast<RealTimeData_t*>(base + robot_map::kRecord);
    std::printf("[realtimeSenderReInit] mp_realtimeData = %p\n", static_cast<void*>(mp_realtimeData));
    mp_realtimeData_isVaild = reinterpret_cast<std::uint16_t*>(base + robot_map::kRecordValid);
    std::printf("[realtimeSenderReInit] mp_realtimeData_isVaild = %p\n", static_cast<void*>(mp_realtimeData_isVaild));
  }
  for (tcpipRealTimeDataSender* sender : {&BasicSender30004, &BasicSender30005, &customizedFormatSender}) {
    sender->setValidFlag(mp_realtimeData_isVaild);
  }
  BasicSender30004.init(30004, 8, 10, 0);
  BasicSender30004.setDataSource(mp_realtimeData);
  BasicSender30005.init(30005, 0, 10, 2);
  BasicSender30005.setDataSource(mp_realtimeData);
  customizedFormatSender.init(30006, 0, 10, 1);
  customizedFormatSender.setDataSource(mp_realtimeData);
}

void monitorRealTimeConfigFileChange() {
  const std::string dir = std::string(zelor::paths::kProjectDir) + "/settings/function/";
  const std::string file30006 = dir + "tcp30006Feedback.json";
  const std::string file30005 = dir + "tcp30005Feedback.json";
  std::time_t seen30006 = 0;
  std::time_t seen30005 = 0;
  while (!gWatcher.stopRequested()) {
    checkFile(file30006, seen30006, [] {
      customizedFormatSender.init(30006, 0, 10, 1);
      std::puts("[monitorRealTimeConfigFileChange] found file has changed .... reload");
    });
    checkFile(file30005, seen30005, [] {
      BasicSender30005.init(30005, 0, 10, 2);
      std::puts("[monitorRealTimeConfigFileChange30005] found file has changed .... reload");
    });
    if (!gWatcher.pause()) break;
  }
}

void startRealTimeConfigWatcher() { gWatcher.start(); }

void stopRealTimeConfigWatcher() { gWatcher.stop(); }

void stopFeedback() {
  gWatcher.stop();
  for (tcpipRealTimeDataSender* sender : {&BasicSender30004, &BasicSender30005, &customizedFormatSender}) {
    sender->stop();
  }
}

}  // namespace zelor::brevan
