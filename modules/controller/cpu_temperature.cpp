#include "controller/cpu_temperature.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "install_paths.h"

namespace zelor::brevan {

namespace {

constexpr auto kPeriod = std::chrono::seconds(1);

constexpr const char* kCopyFile = "temp.txt";

// A PC without the zone would otherwise print the same complaint every second.
std::atomic<bool> zoneMissingReported{false};

// The zone's text, as the kernel gives it; empty when the zone is missing.
std::string readZone(const std::string& zoneFile) {
  std::FILE* in = std::fopen(zoneFile.c_str(), "r");
  if (in == nullptr) {
    if (!zoneMissingReported.exchange(true)) {
      std::printf("[publishCpuTemperature] %s is missing; the temperature reads 0\n", zoneFile.c_str());
    }
    return {};
  }
  zoneMissingReported.store(false);
  char text[64] = {};
  const std::size_t got = std::fread(text, 1, sizeof text - 1, in);
  std::fclose(in);
  return std::string(text, got);
}

void writeText(const char* path, const std::string& text) {
  if (std::FILE* out = std::fopen(path, "w")) {
    std::fputs(text.c_str(), out);
    std::fclose(out);
  }
}

}  // namespace

int publishCpuTemperature(const std::string& outFile, const std::string& zoneFile) {
  // The zone's text is also kept in the working directory's temp.txt.
  const std::string text = readZone(zoneFile);
  writeText(kCopyFile, text);
  int value = 0;
  if (std::sscanf(text.c_str(), "%d", &value) != 1) value = 0;
  writeText(outFile.c_str(), std::to_string(value));
  return value;
}

void startCpuTemperatureThread() {
  std::thread([] {
    const std::string outFile = std::string(zelor::paths::kProjectDir) + "/cputemp";
    for (;;) {
      publishCpuTemperature(outFile);
      std::this_thread::sleep_for(kPeriod);
    }
  }).detach();
}

}  // namespace zelor::brevan
