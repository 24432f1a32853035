// Control program.
#include <csignal>

#include "common/network/sigpipe.h"
#include "log/ombrel.h"

int main() {
  // A client that drops its connection mid-reply must not end the program.
  zelor::common::network::IgnoreSigpipe();

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  spdlog::ombrel::basicLog(-16, __LINE__, __func__, spdlog::level::info, "brevan started");

  int signal = 0;
  sigwait(&stopSignals, &signal);
  return 0;
}
