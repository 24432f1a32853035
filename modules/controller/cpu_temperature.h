#pragma once

#include <string>

namespace zelor::brevan {

// The kernel's temperature of the CPU, in millidegrees.
inline constexpr const char* kThermalZone = "/sys/class/thermal/thermal_zone0/temp";

// One pass of the CPU-temperature publisher: copies the thermal zone's text
// into temp.txt in the working directory and reads one integer from it (0 when
// the zone is missing or holds no number; a missing zone is reported once per
// absence), then writes it, in decimal without a line end, to outFile.
int publishCpuTemperature(const std::string& outFile, const std::string& zoneFile = kThermalZone);

// Starts the detached thread that publishes the temperature every second
// into the project directory's "cputemp".
void startCpuTemperatureThread();

}  // namespace zelor::brevan
