// The data-server peer as a program: serves the command queue pair and sets
// the control mode, until SIGINT or SIGTERM.
//   zelor-dataserver-peer [--tick] [--records | --slow-records] [control-mode]
//   --tick           at most one answer per 4 ms tick (default: immediate answers)
//   --records        rewrite the real-time record with the known pattern every 3.9 ms
//   --slow-records   rewrite it spread over 1 ms, the rewrite counter in every word
//   control-mode     default "tcp"
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "data_server_peer/data_server_peer.h"
#include "data_server_peer/record_writer.h"

int main(int argc, char** argv) {
  std::string mode = "tcp";
  bool tick = false;
  std::unique_ptr<zelor::sim::RecordWriter::Mode> records;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tick") == 0) {
      tick = true;
    } else if (std::strcmp(argv[i], "--records") == 0) {
      records = std::make_unique<zelor::sim::RecordWriter::Mode>(zelor::sim::RecordWriter::Mode::Pattern);
    } else if (std::strcmp(argv[i], "--slow-records") == 0) {
      records = std::make_unique<zelor::sim::RecordWriter::Mode>(zelor::sim::RecordWriter::Mode::Slow);
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: zelor-dataserver-peer [--tick] [--records | --slow-records] [control-mode]\n");
      return 2;
    } else {
      mode = argv[i];
    }
  }

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  zelor::sim::DataServerPeer peer;
  peer.setControlMode(mode);
  if (tick) peer.setMode(zelor::sim::DataServerPeer::Mode::Tick4ms);
  // The kernel's common motion parameters (id 83): nine ratios of 50.
  std::vector<std::uint8_t> ratios(9 * sizeof(float));
  for (std::size_t i = 0; i < 9; ++i) {
    const float fifty = 50.0f;
    std::memcpy(ratios.data() + i * sizeof fifty, &fifty, sizeof fifty);
  }
  peer.setReadReply(83, ratios);
  peer.start();
  zelor::sim::RecordWriter writer;
  if (records) writer.start(*records);
  std::fprintf(stderr, "data-server peer serving queues 102/103\n");
  int signal = 0;
  sigwait(&stopSignals, &signal);
  writer.stop();
  peer.stop();
  std::fprintf(stderr, "data-server peer answered %d request(s), rewrote the record %llu time(s)\n", peer.answered(),
               static_cast<unsigned long long>(writer.rewrites()));
  return 0;
}
