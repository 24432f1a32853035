#include "log_reader/log_queue_reader.h"

#include <sys/ipc.h>
#include <sys/msg.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "install_paths.h"
#include "log/log_line.h"

namespace zelor::sim {

namespace {

int openQueue(int channel) {
  return msgget(ftok(zelor::paths::kLogKeyPath, channel), 0);
}

bool receive(int queue, std::string& text) {
  spdlog::LogLine line{};
  if (msgrcv(queue, &line, sizeof line.text, 0, IPC_NOWAIT) < 0) return false;
  text.assign(line.text, strnlen(line.text, sizeof line.text));
  return true;
}

}  // namespace

std::vector<std::string> drainLogChannel(int channel) {
  std::vector<std::string> texts;
  const int queue = openQueue(channel);
  if (queue < 0) return texts;
  for (std::string text; receive(queue, text);) texts.push_back(text);
  return texts;
}

bool readLogChannel(int channel, std::string& text, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  do {
    const int queue = openQueue(channel);
    if (queue >= 0 && receive(queue, text)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  } while (std::chrono::steady_clock::now() < deadline);
  return false;
}

}  // namespace zelor::sim
