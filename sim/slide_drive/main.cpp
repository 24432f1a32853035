// The simulated slide-rail drive as a program: prints the device name below
// /dev ("pts/N") and answers on it until SIGTERM or SIGINT.
#include <signal.h>

#include <cstdio>

#include "slide_drive/slide_drive_sim.h"

int main() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  zelor::sim::SlideDriveSim drive;
  if (!drive.ok()) {
    std::fprintf(stderr, "zelor-slide-drive: cannot open a pseudo-terminal\n");
    return 1;
  }
  drive.setInput(9, 0x1000);  // firmware 1.0.0.0
  std::printf("%s\n", drive.slaveName().c_str());
  std::fflush(stdout);
  int sig = 0;
  sigwait(&set, &sig);
  return 0;
}
