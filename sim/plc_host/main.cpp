// The PLC-runtime stand-in as a program:
//   zelor-plc-host --key N --socket PATH [--block FILE] [--realtime] [--cycles N]
//                  [--project] [--log-file PATH] [--vantrel LIB] [--utils LIB] [--excit LIB]
// It cycles until SIGINT or SIGTERM (or N cycles), then prints its cycle and
// overrun counts, removes its segment and socket and exits 0.
#include <signal.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "plc_host/plc_host.h"

namespace {

std::atomic<bool> gStop{false};

void onSignal(int) { gStop.store(true); }

bool readBlock(const std::string& path, std::vector<std::uint8_t>& block) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  block.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
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
               "[--project] [--log-file PATH] [--vantrel LIB] [--utils LIB] [--excit LIB]\n",
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
  long long maxCycles = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    long long number = 0;
    if (arg == "--realtime") {
      realTime = true;
    } else if (arg == "--project") {
      options.loadProject = true;
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
    } else if (arg == "--utils") {
      options.libraries.utils = argv[++i];
    } else if (arg == "--excit") {
      options.libraries.excitBuffer = argv[++i];
    } else {
      return usage(("unknown option " + arg).c_str());
    }
  }
  if (!haveKey) return usage("--key is required");

  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  zelor::sim::PlcHost host(std::move(options));
  std::string error;
  if (!host.Start(error)) {
    std::fprintf(stderr, "plc host: %s\n", error.c_str());
    host.Stop();
    return 1;
  }
  std::fprintf(stderr, "plc host: cycling (%s)\n", realTime ? "real time, 4 ms" : "free");
  host.Run(realTime, gStop, static_cast<std::uint64_t>(maxCycles));
  host.Stop();
  std::fprintf(stderr, "plc host: cycles %llu overruns %llu\n", static_cast<unsigned long long>(host.cycles()),
               static_cast<unsigned long long>(host.overruns()));
  return 0;
}
