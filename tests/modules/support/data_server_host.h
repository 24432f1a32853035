#pragma once

// The real data server (libquillon) in the PLC-runtime stand-in, cycling
// every 4 ms in the test's sandbox; stopped by pid when the object goes.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "built_paths.h"
#include "process.h"
#include "support/brevan_rig.h"

namespace zelor::test {

class DataServerHost {
 public:
  static constexpr const char* kFifoLog = "/tmp/quillon.log";
  static constexpr const char* kErr = "/tmp/plc_host.err";

  // Starts the host; started() tells whether the data server came up.
  DataServerHost()
      : roomy_(allowRoomyQueues()),
        process_(std::make_unique<ChildProcess>(std::vector<std::string>{
            "/bin/sh", "-c", "exec \"$0\" \"$@\" 2>" + std::string(kErr), built::kPlcHost, "--key", "0x5A30",
            "--data-server", "--quillon", built::kQuillon, "--fifo-log", kFifoLog})) {
    started_ = waitFor([] { return readFile(kFifoLog).find("Quillon started") != std::string::npos; }, 30s);
    startedAt_ = Clock::now();
  }
  ~DataServerHost() {
    process_.reset();
    unlink(kFifoLog);
    unlink(kErr);
  }

  bool started() const { return started_; }
  bool running() { return process_->running(); }
  pid_t pid() const { return process_->pid(); }
  std::string diagnostics() const { return readFile(kErr) + readFile(kFifoLog); }

  // How the host ended, once running() is false.
  std::string endedBy() { return howItEnded(*process_); }

  // Ends the host as the PLC runtime would (release, exit 0); the wait status.
  int stop() { return process_->stop(SIGTERM, 15s); }

  // The cycle count the host printed when it stopped, -1 when none.
  long long cyclesReported() const {
    const std::string err = readFile(kErr);
    const std::size_t at = err.find("plc host: cycles ");
    if (at == std::string::npos) return -1;
    return std::atoll(err.c_str() + at + 17);
  }

  // 4 ms periods since the data server came up.
  long long periodsSinceStart() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - startedAt_).count() / 4;
  }

 private:
  bool roomy_;
  std::unique_ptr<ChildProcess> process_;
  bool started_ = false;
  Clock::time_point startedAt_;
};

}  // namespace zelor::test
