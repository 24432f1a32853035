// The PLC-runtime stand-in as a program:
//   zelor-plc-host --key N --socket PATH [--block FILE] [--realtime] [--cycles N]
//                  [--project] [--log-file PATH] [--vantrel LIB] [--utils LIB] [--excit LIB]
//                  [--start-joints J1,J2,J3,J4]
// or, in data-server mode (the real libquillon, every 4 ms on a cycle thread):
//   zelor-plc-host --key N --data-server [--quillon LIB] --fifo-log PATH [--fifo-log-max BYTES]
//                  [--cycles N] [--hold] [--pc-mode] [--project] [--collision-flag] [--linger-ms N]
//                  [--vantrel LIB] [--start-joints J1,J2,J3,J4] [--report-threads]
// --start-joints sets the simulated joints' positions (degrees, mm for J3)
// before the first cycle. It cycles until SIGINT or SIGTERM (or N cycles), then (in data-server mode
// after RTSReleaseRobot) prints its cycle and overrun counts, removes its
// segment and socket and exits 0. --hold waits after RTSCreateParameter until
// SIGUSR1 before the first cycle; --linger-ms keeps the process (and the data
// server's threads that outlive the release) for N ms after RTSReleaseRobot.
// In data-server mode --vantrel loads that library before libquillon, which
// takes it for its libvantrel (the recording kernel of sim/recording_kernel).
// --report-threads prints the number of the process's threads at the end,
// after everything it started is stopped.
#include <dirent.h>
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "plc_host/plc_host.h"

namespace {

std::atomic<bool> gStop{false};
std::atomic<bool> gRelease{false};

void onSignal(int) { gStop.store(true); }
void onRelease(int) { gRelease.store(true); }

// Waits on the main thread until `until` holds or a stop signal came.
template <typename F>
void waitFor(F until) {
  while (!gStop.load() && !until()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Data-server mode: the parameter call was made on this thread; the cycles
// run on their own thread, as the PLC runtime's cyclic task.
void runDataServer(zelor::sim::PlcHost& host, bool hold, std::uint64_t maxCycles) {
  if (hold) {
    std::fprintf(stderr, "plc host: holding; SIGUSR1 starts the cycles\n");
    waitFor([] { return gRelease.load(); });
    if (gStop.load()) return;
  }
  std::fprintf(stderr, "plc host: cycling (data server, real time, 4 ms)\n");
  std::atomic<bool> done{false};
  std::thread cycles([&] {
    host.Run(true, gStop, maxCycles);
    done.store(true);
  });
  waitFor([&] { return done.load(); });
  gStop.store(true);
  cycles.join();
}

void reportDurations(const zelor::sim::CycleDurations& d) {
  std::fprintf(stderr, "plc host: RTSStartRobot calls %llu p50 %.0f us p99 %.0f us max %.0f us\n",
               static_cast<unsigned long long>(d.count()), d.PercentileUs(0.50), d.PercentileUs(0.99), d.MaxUs());
}

bool readBlock(const std::string& path, std::vector<std::uint8_t>& block) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  block.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

// Four finite numbers separated by commas, nothing else.
bool parseJoints(const char* text, double (&joints)[zelor::sim::SimAxesGroup::kJoints]) {
  const char* at = text;
  for (int j = 0; j < zelor::sim::SimAxesGroup::kJoints; ++j) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(at, &end);
    if (errno != 0 || end == at || !std::isfinite(value)) return false;
    const char expected = j + 1 < zelor::sim::SimAxesGroup::kJoints ? ',' : '\0';
    if (*end != expected) return false;
    joints[j] = value;
    at = end + 1;
  }
  return true;
}

// The process's threads: their number, and their names after it.
std::string threadReport() {
  DIR* dir = opendir("/proc/self/task");
  if (dir == nullptr) return "-1";
  int n = 0;
  std::string names;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    ++n;
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string name;
    std::getline(comm, name);
    names += " " + name;
  }
  closedir(dir);
  return std::to_string(n) + " (" + names.substr(names.empty() ? 0 : 1) + ")";
}

bool parseNumber(const char* text, long long& out) {
  errno = 0;
  char* end = nullptr;
  out = std::strtoll(text, &end, 0);
  return errno == 0 && end != text && *end == '\0';
}

int usage(const char* why) {
  std::fprintf(stderr,
               "plc host: %s\nusage: zelor-plc-host --key N --socket PATH [--block FILE] [--realtime] [--cycles N] "
               "[--project] [--log-file PATH] [--vantrel LIB] [--utils LIB] [--excit LIB] [--start-joints J1,J2,J3,J4]\n"
               "       zelor-plc-host --key N --data-server [--quillon LIB] --fifo-log PATH [--fifo-log-max BYTES] "
               "[--cycles N] [--hold] [--pc-mode] [--project] [--collision-flag] [--linger-ms N] [--vantrel LIB] "
               "[--start-joints J1,J2,J3,J4] [--report-threads]\n",
               why);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  zelor::sim::PlcHostOptions options;
  options.libraries = {ZELOR_HOST_UTILS, ZELOR_HOST_EXCIT, ZELOR_HOST_VANTREL};
  options.block = zelor::sim::FixtureBlock();
  bool haveKey = false;
  bool realTime = false;
  bool hold = false;
  bool collisionFlag = false;
  bool reportThreads = false;
  long long lingerMs = 0;
  long long maxCycles = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    long long number = 0;
    if (arg == "--realtime") {
      realTime = true;
    } else if (arg == "--project") {
      options.loadProject = true;
    } else if (arg == "--data-server") {
      if (options.dataServer.empty()) options.dataServer = ZELOR_HOST_QUILLON;
    } else if (arg == "--hold") {
      hold = true;
    } else if (arg == "--pc-mode") {
      options.pcMode = true;
    } else if (arg == "--collision-flag") {
      collisionFlag = true;
    } else if (arg == "--report-threads") {
      reportThreads = true;
    } else if (!hasValue) {
      return usage(("missing value or unknown option " + arg).c_str());
    } else if (arg == "--key") {
      if (!parseNumber(argv[++i], number) || number <= 0 || number > 0x7fffffff) return usage("bad --key");
      options.segmentKey = static_cast<key_t>(number);
      haveKey = true;
    } else if (arg == "--socket") {
      options.socketPath = argv[++i];
    } else if (arg == "--block") {
      if (!readBlock(argv[++i], options.block)) return usage("cannot read the block file");
    } else if (arg == "--cycles") {
      if (!parseNumber(argv[++i], number) || number < 0) return usage("bad --cycles");
      maxCycles = number;
    } else if (arg == "--log-file") {
      options.logFile = argv[++i];
    } else if (arg == "--vantrel") {
      options.libraries.vantrel = argv[++i];
      options.dataServerKernel = options.libraries.vantrel;
    } else if (arg == "--utils") {
      options.libraries.utils = argv[++i];
    } else if (arg == "--excit") {
      options.libraries.excitBuffer = argv[++i];
    } else if (arg == "--quillon") {
      options.dataServer = argv[++i];
    } else if (arg == "--linger-ms") {
      if (!parseNumber(argv[++i], number) || number < 0) return usage("bad --linger-ms");
      lingerMs = number;
    } else if (arg == "--start-joints") {
      if (!parseJoints(argv[++i], options.drive.startJoints)) return usage("bad --start-joints");
    } else if (arg == "--fifo-log") {
      options.fifoLog = argv[++i];
    } else if (arg == "--fifo-log-max") {
      if (!parseNumber(argv[++i], number) || number <= 0) return usage("bad --fifo-log-max");
      options.fifoLogMaxBytes = static_cast<off_t>(number);
    } else {
      return usage(("unknown option " + arg).c_str());
    }
  }
  if (!haveKey) return usage("--key is required");
  const bool dataServer = !options.dataServer.empty();
  if (dataServer && options.fifoLog.empty()) return usage("--fifo-log is required in data-server mode");
  if (dataServer && !options.socketPath.empty()) {
    return usage("--socket has no use in data-server mode: packets take the data server's queues");
  }
  if (!dataServer && (hold || options.pcMode || lingerMs > 0)) {
    return usage("--hold, --pc-mode and --linger-ms need --data-server");
  }

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  action.sa_handler = onRelease;
  sigaction(SIGUSR1, &action, nullptr);

  zelor::sim::PlcHost host(std::move(options));
  std::string error;
  if (!host.Start(error)) {
    std::fprintf(stderr, "plc host: %s\n", error.c_str());
    host.Stop();
    return 1;
  }
  if (dataServer) {
    runDataServer(host, hold, static_cast<std::uint64_t>(maxCycles));
  } else {
    std::fprintf(stderr, "plc host: cycling (%s)\n", realTime ? "real time, 4 ms" : "free");
    host.Run(realTime, gStop, static_cast<std::uint64_t>(maxCycles));
  }
  if (collisionFlag) std::fprintf(stderr, "plc host: gIsCollisionDect %d\n", host.collisionSwitch());
  host.Release();
  if (lingerMs > 0) {
    std::fprintf(stderr, "plc host: released; staying %lld ms\n", lingerMs);
    std::this_thread::sleep_for(std::chrono::milliseconds(lingerMs));
  }
  host.Stop();
  std::fprintf(stderr, "plc host: cycles %llu overruns %llu\n", static_cast<unsigned long long>(host.cycles()),
               static_cast<unsigned long long>(host.overruns()));
  if (dataServer) reportDurations(host.durations());
  if (reportThreads) {
    // Detached threads may still be ending: report once the count has held
    // for a few looks (2 s at most).
    std::string report = threadReport();
    for (int same = 0, look = 0; same < 3 && look < 20; ++look) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      const std::string now = threadReport();
      same = now == report ? same + 1 : 0;
      report = now;
    }
    std::fprintf(stderr, "plc host: threads at exit %s\n", report.c_str());
  }
  return 0;
}
