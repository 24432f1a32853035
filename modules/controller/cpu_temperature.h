#pragma once

#include <string>

namespace zelor::brevan {

// One pass of the CPU-temperature publisher: copies the thermal zone's value
// into temp.txt in the working directory, reads one integer from it (0 when
// there is none) and writes it, in decimal without a line end, to outFile.
int publishCpuTemperature(const std::string& outFile);

// Starts the detached thread that publishes the temperature every second
// into the project directory's "cputemp".
void startCpuTemperatureThread();

}  // namespace zelor::brevan
