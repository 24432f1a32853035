#pragma once

// A slide-rail driver that stalls while it holds the status semaphore, in a
// program of its own: the test program started again with two variables set
// (see kStalledDriverStandIn), so that the caller's pages stay its own (a
// fork's copy-on-write faults would slow the first calls of the caller). It
// takes the semaphore, writes StalledDriverStatus() into the memory while
// holding it, tells the caller through the `ready` descriptor, stalls for
// `hold` and lets go.

#include <spawn.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "common/links/exter_axis_msg.h"
#include "support/fake_slide_driver.h"

namespace zelor::test {

// What the stalled driver had begun to write when it stopped: never to be
// seen while it holds the semaphore.
inline ExterAxisRTU::ExterAxisStatus StalledDriverStatus() {
  ExterAxisRTU::ExterAxisStatus s{};
  s.cmdIndex = 77;
  s.statusWord = 0;
  s.alarmCode = 0x33;
  s.alarmFlags = 0x44;
  s.position = -3.25f;
  s.reachedIndex = 78;
  s.stopState = 0;
  return s;
}

inline constexpr const char* kStalledDriverHoldEnv = "ZELOR_TEST_STALLED_DRIVER_HOLD_MS";
inline constexpr const char* kStalledDriverReadyEnv = "ZELOR_TEST_STALLED_DRIVER_READY_FD";

inline int RunStalledDriver(std::chrono::milliseconds hold, int ready) {
  FakeSlideDriver driver;
  if (!driver.opened()) return 2;
  sembuf take{0, -1, SEM_UNDO};
  if (semop(driver.semaphoreId(), &take, 1) != 0) return 3;
  void* shm = shmat(shmget(ftok(ExterAxisRTU::kKeyPath, ExterAxisRTU::kKeyId), ExterAxisRTU::kStatusMemorySize, 0),
                    nullptr, 0);
  if (shm == reinterpret_cast<void*>(-1)) return 4;
  const ExterAxisRTU::ExterAxisStatus b = StalledDriverStatus();
  std::memcpy(shm, &b, sizeof b);
  char c = 1;
  if (write(ready, &c, 1) != 1) return 5;
  std::this_thread::sleep_for(hold);
  sembuf give{0, 1, SEM_UNDO};
  return semop(driver.semaphoreId(), &give, 1) == 0 ? 0 : 6;
}

// Started with the two variables set, the test program is the stand-in
// driver and ends before any test runs.
inline const bool kStalledDriverStandIn = [] {
  const char* hold = std::getenv(kStalledDriverHoldEnv);
  const char* ready = std::getenv(kStalledDriverReadyEnv);
  if (hold == nullptr || ready == nullptr) return false;
  _exit(RunStalledDriver(std::chrono::milliseconds(std::atoi(hold)), std::atoi(ready)));
}();

// The stand-in's pid, or -1 when it could not be started.
inline pid_t SpawnStalledDriver(std::chrono::milliseconds hold, int ready) {
  const std::string holdVar = std::string(kStalledDriverHoldEnv) + "=" + std::to_string(hold.count());
  const std::string readyVar = std::string(kStalledDriverReadyEnv) + "=" + std::to_string(ready);
  char self[] = "/proc/self/exe";
  char* argv[] = {self, nullptr};
  char* envp[] = {const_cast<char*>(holdVar.c_str()), const_cast<char*>(readyVar.c_str()), nullptr};
  pid_t pid = -1;
  return posix_spawn(&pid, self, nullptr, nullptr, argv, envp) == 0 ? pid : -1;
}

}  // namespace zelor::test
