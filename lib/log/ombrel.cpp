#include "log/ombrel.h"

#include <string>

namespace spdlog {

namespace {
constexpr int kBarePatternChannels[] = {12, 13, 6, 1, 2, 3, 4};
constexpr int kStampedChannel = 7;
}  // namespace

ombrel& ombrel::Instance() {
  static ombrel instance;
  return instance;
}

ombrel::ombrel() {
  for (int ch = 0; ch < kLogChannelCount; ++ch) {
    sinks[ch] = std::make_shared<sinks::msq_sink>(ch);
    loggers[ch] = std::make_shared<logger>(std::to_string(ch), sinks[ch]);
  }
  for (int ch : kBarePatternChannels) loggers[ch]->set_pattern("%v");
  loggers[kStampedChannel]->set_pattern("[%Y-%m-%d %H:%M:%S.%e] %v");
}

}  // namespace spdlog
