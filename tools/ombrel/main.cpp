// Log terminal: forwards a producer's standard output, line by line, into one
// log channel, each line stamped with the date and time and a name.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <spdlog/logger.h>

#include "log/log_line.h"
#include "log/ombrel.h"

namespace {

const char* const channelList[spdlog::kLogChannelCount] = {
    "channel1",  "channel2",  "channel3",  "channel4",  "channel5",  "channel6",
    "channel7",  "channel8",  "channel9",  "channel10", "channel11", "channel12",
    "channel13", "channel14", "channel15", "channel16"};

// The name goes into an spdlog pattern: "%" must stay a literal character.
std::string escapePattern(const std::string& name) {
  std::string out;
  for (char c : name) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

// Reads one line of any length but keeps only what can reach the queue, so a
// producer that never ends its line cannot grow this program. Returns false at
// end of input (or on a read error) when no character was read.
bool readLine(std::FILE* in, std::string& line) {
  line.clear();
  bool any = false;
  for (int c; (c = std::getc(in)) != EOF;) {
    any = true;
    if (c == '\n') return true;
    if (line.size() < spdlog::kLogLineTextSize) line.push_back(static_cast<char>(c));
  }
  return any;
}

int usage(const char* program) {
  std::printf("Usage: STDOUT_SOURCE | %s [0 ~ 15] [name] \n    channel must exist.\n", program);
  return 255;
}

}  // namespace

int main(int argc, char** argv) {
  // Checked before the log channels are first used, so a usage error creates no queue.
  if (argc < 2) return usage(argv[0]);
  const long channel = std::strtol(argv[1], nullptr, 10);
  if (channel < 0 || channel >= spdlog::kLogChannelCount) return usage(argv[0]);
  const int ch = static_cast<int>(channel);
  const std::string name = argc == 3 ? argv[2] : "";

  std::printf("this stream will redirect to %s \n", channelList[ch]);
  spdlog::ombrel::basicLog(~ch, 21, "main", spdlog::level::info,
                           "this stream is redirect from ombrel  --- {} ;channel id:{};\n", argv[0],
                           argv[1]);

  spdlog::ombrel& channels = spdlog::ombrel::Instance();
  auto forward = std::make_shared<spdlog::logger>(channelList[ch], channels.sinks[ch]);
  forward->set_pattern("[%Y-%m-%d %H:%M:%S.%e] " + escapePattern(name) + " %v");
  channels.loggers[ch] = forward;
  std::fflush(stdout);

  std::string line;
  while (readLine(stdin, line)) forward->info("{}", line);
  return 0;
}
