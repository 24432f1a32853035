// Developer viewer: prints every log channel's lines as they arrive.
#include <csignal>
#include <cstdio>
#include <string>
#include <thread>

#include "log/log_line.h"
#include "log_reader/log_queue_reader.h"

namespace {
volatile std::sig_atomic_t running = 1;
void stop(int) { running = 0; }
}  // namespace

int main() {
  std::signal(SIGINT, stop);
  std::signal(SIGTERM, stop);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  while (running) {
    bool any = false;
    for (int ch = 0; ch < spdlog::kLogChannelCount; ++ch) {
      for (std::string& text : zelor::sim::drainLogChannel(ch)) {
        any = true;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::printf("[ch%02d] %s\n", ch, text.c_str());
      }
    }
    if (!any) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}
