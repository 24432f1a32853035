// Control program.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "common/network/sigpipe.h"
#include "controller/feedback_senders.h"
#include "controller/module_controller.h"
#include "exchange/exchange_pack.h"
#include "install_paths.h"
#include "log/ombrel.h"

namespace {

constexpr int kChannel15 = ~15;
constexpr int kInfo = 2;

// The command queue pair is open before main runs, whether or not the data
// server runs yet.
[[maybe_unused]] const bool kExchangeOpen = (m_exchange.open(zelor::paths::kLogKeyPath), true);

// Standard output's one-byte buffer.
// BUFSIZ bytes although one is used: some C libraries and checkers take a
// buffer handed to setvbuf as BUFSIZ long.
char gStdoutBuffer[BUFSIZ];

}  // namespace

int main() {
  // SIGINT and SIGTERM are taken here only: every thread started from now on
  // (the log's included) inherits the blocked mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  // A client that drops its connection mid-reply must not end the program.
  zelor::common::network::IgnoreSigpipe();

  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::puts("this is Brevanor!");
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "change this stream to fifo .....");

  // The console becomes the FIFO. Nothing waits for its reader: a line that
  // does not fit is lost, and output flows again once a reader drains it.
  const char* fifo = zelor::paths::kFifoBrevan;
  if (access(fifo, F_OK) != 0 && mkfifo(fifo, 0777) != 0) std::fprintf(stderr, "Could not create fifo %s\n", fifo);
  std::freopen(fifo, "w+", stdout);
  const int fd = fileno(stdout);
  const int ret = fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "brevan ...  fd = {} ,ret = {}.", fd, ret);
  std::setvbuf(stdout, gStdoutBuffer, _IOFBF, 1);

  // The stop waits on a thread of its own: LoadAll keeps this thread while
  // the app-protocol port serves.
  std::thread([stopSignals] {
    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    spdlog::ombrel::basicLog(kChannel15, __LINE__, __func__, kInfo, "brevan stopping on signal {}", received);
    // The feedback threads are joined and their ports closed. The command
    // servers' threads have no stop and use objects that exit would destroy
    // under them, so the program ends without running static destructors.
    zelor::brevan::stopFeedback();
    std::fflush(stdout);
    std::_Exit(0);
  }).detach();
  zelor::brevan::ModuleController controller;
  controller.LoadAll();
  // The app-protocol server gave up: the program goes on serving the other
  // ports until a stop signal.
  for (;;) pause();
}
