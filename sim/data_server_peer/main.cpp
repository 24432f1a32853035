// The data-server peer as a program: serves the command queue pair with
// immediate answers and sets the control mode, until SIGINT or SIGTERM.
//   zelor-dataserver-peer [control-mode]   (default "tcp")
#include <csignal>
#include <cstdio>
#include <string>

#include "data_server_peer/data_server_peer.h"

int main(int argc, char** argv) {
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  zelor::sim::DataServerPeer peer;
  peer.setControlMode(argc > 1 ? argv[1] : "tcp");
  peer.start();
  std::fprintf(stderr, "data-server peer serving queues 102/103\n");
  int signal = 0;
  sigwait(&stopSignals, &signal);
  peer.stop();
  std::fprintf(stderr, "data-server peer answered %d request(s)\n", peer.answered());
  return 0;
}
