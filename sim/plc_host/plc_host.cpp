#include "plc_host/plc_host.h"

#include <sched.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>

#include "install_paths.h"
#include "json/json_project_reader.h"
#include "plc_host/quillon_side.h"
#include "plc_host/shared_library.h"
#include "support/robot_param_fixture.h"

namespace zelor::sim {

namespace {

constexpr int kRealTimePriority = 80;

std::int64_t nowNs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

timespec toTimespec(std::int64_t ns) { return timespec{static_cast<time_t>(ns / 1000000000), ns % 1000000000}; }

void useRealTimePolicy() {
  sched_param param{};
  param.sched_priority = kRealTimePriority;
  if (sched_setscheduler(0, SCHED_FIFO, &param) != 0) {
    std::fprintf(stderr, "plc host: SCHED_FIFO not permitted, cycling with the normal policy\n");
  }
}

}  // namespace

std::vector<std::uint8_t> FixtureBlock() {
  const RobotParamBlock block = zelor::test::FixtureParamBlock();
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(&block);
  return std::vector<std::uint8_t>(bytes, bytes + sizeof block);
}

PlcHost::PlcHost(PlcHostOptions options) : options_(std::move(options)) {}

PlcHost::~PlcHost() { Stop(); }

bool PlcHost::Start(std::string& error) {
  if (dataServerMode()) return startDataServer(error);
  if (options_.loadProject) {
    // The settings globals the kernel reads hold the project's values.
    static JsonProjectReader reader;
  }
  if (!LoadKernelLibrary(options_.libraries, api_, error)) return false;
  if (!options_.logFile.empty() && !mailbox_.log().OpenFile(options_.logFile.c_str())) {
    error = "cannot open the log file " + options_.logFile;
    return false;
  }
  if (!segment_.Create(options_.segmentKey, error)) return false;
  started_ = true;
  drive_ = std::make_unique<SimAxesGroup>(records().axesGroup, options_.drive);
  side_ = std::make_unique<VantrelSide>(api_, mailbox_, options_.block);
  {
    std::lock_guard<std::mutex> lock(kernelMutex_);
    if (!side_->Start(records().axesGroup, error)) return false;
  }
  if (!options_.socketPath.empty() &&
      !endpoint_.Start(options_.socketPath, [this](const Packet& request, Packet& reply) { return Call(request, reply); },
                       error)) {
    return false;
  }
  return true;
}

bool PlcHost::startDataServer(std::string& error) {
  if (options_.fifoLog.empty()) {
    error = "data-server mode needs a log file for the FIFO";
    return false;
  }
  // Loaded first, it answers libquillon's need of libvantrel by its name.
  if (!options_.dataServerKernel.empty() &&
      OpenSharedLibrary(options_.dataServerKernel, RTLD_NOW | RTLD_GLOBAL, error) == nullptr) {
    return false;
  }
  if (!LoadQuillonLibrary(options_.dataServer, quillon_, error)) return false;
  if (options_.loadProject) {
    // Built after libquillon bound the collision setting to the kernel's switch.
    static JsonProjectReader reader;
  }
  if (!fifoCopy_.Start(zelor::paths::kFifoCodesys, options_.fifoLog, options_.fifoLogMaxBytes, error)) return false;
  if (!segment_.Create(options_.segmentKey, error)) return false;
  started_ = true;
  if (options_.pcMode) {
    const std::int32_t one = 1;
    std::memcpy(records().plcStatus + kPlcModeWordOffset, &one, sizeof one);
  }
  drive_ = std::make_unique<SimAxesGroup>(records().axesGroup, options_.drive);
  side_ = std::make_unique<QuillonSide>(quillon_, durations_);
  std::lock_guard<std::mutex> lock(kernelMutex_);
  return side_->Start(records().axesGroup, error);
}

int PlcHost::collisionSwitch() const {
  if (dataServerMode()) return quillon_.gIsCollisionDect != nullptr ? *quillon_.gIsCollisionDect : -1;
  return api_.gIsCollisionDect != nullptr ? *api_.gIsCollisionDect : -1;
}

void PlcHost::cycleLocked() {
  PlcHostRecords& r = records();
  drive_->Step();
  side_->Cycle(r.di, r.dout);
  side_->Status(r.plcStatus);
  cycles_.fetch_add(1);
}

void PlcHost::Cycle() {
  std::lock_guard<std::mutex> lock(kernelMutex_);
  cycleLocked();
}

void PlcHost::Run(bool realTime, const std::atomic<bool>& stop, std::uint64_t maxCycles) {
  running_.store(true);
  if (realTime) useRealTimePolicy();
  std::int64_t deadline = nowNs();
  for (std::uint64_t n = 0; !stop.load() && (maxCycles == 0 || n < maxCycles); ++n) {
    Cycle();
    if (!realTime) continue;
    deadline += kPeriodNs;
    const std::int64_t done = nowNs();
    if (done > deadline) {
      overruns_.fetch_add(1);
      deadline = done;  // start afresh rather than catch up in a burst
      continue;
    }
    const timespec wake = toTimespec(deadline);
    // A signal ends the sleep early; the loop then sees the stop flag.
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr);
  }
  running_.store(false);
}

bool PlcHost::Call(const Packet& request, Packet& reply) {
  auto exchange = mailbox_.ExchangeLock();
  mailbox_.Post(request);
  bool answered = false;
  if (running_.load()) {
    answered = mailbox_.WaitReply(reply, std::chrono::steady_clock::now() + std::chrono::seconds(2));
  } else {
    for (int n = 0; n < kReplyCycles && !answered; ++n) {
      Cycle();
      answered = mailbox_.TakeReply(reply);
    }
  }
  if (!answered) mailbox_.Abandon();
  return answered;
}

void PlcHost::Release() {
  if (!side_) return;
  std::lock_guard<std::mutex> lock(kernelMutex_);
  side_->Stop();
}

void PlcHost::Stop() {
  endpoint_.Stop();
  Release();
  // The release's lines are in the FIFO by now.
  fifoCopy_.Stop();
  if (started_) segment_.Remove();
  started_ = false;
}

}  // namespace zelor::sim
