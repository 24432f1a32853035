#include "controller/cpu_temperature.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "install_paths.h"

namespace zelor::brevan {

namespace {

constexpr const char* kReadCommand = "cat /sys/class/thermal/thermal_zone0/temp > temp.txt";
constexpr const char* kCopyFile = "temp.txt";
constexpr auto kPeriod = std::chrono::seconds(1);

int readCopy() {
  int value = 0;
  if (std::FILE* in = std::fopen(kCopyFile, "r")) {
    if (std::fscanf(in, "%d", &value) != 1) value = 0;
    std::fclose(in);
  }
  return value;
}

}  // namespace

int publishCpuTemperature(const std::string& outFile) {
  // The shell's own result does not matter: a missing zone leaves temp.txt
  // empty, which reads as 0.
  [[maybe_unused]] const int ignored = std::system(kReadCommand);
  const int value = readCopy();
  if (std::FILE* out = std::fopen(outFile.c_str(), "w")) {
    std::fprintf(out, "%d", value);
    std::fclose(out);
  }
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
