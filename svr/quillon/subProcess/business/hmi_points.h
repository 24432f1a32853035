#pragma once

#include <cstdint>
#include <string>

#include "json/project_records.h"
#include "subProcess/business/hmi_registers.h"

// The panel's taught points: the point file of the remote-control project
// and the register block of one point.
namespace hmi_points {

// The point file of a project: <project folder>/project/<name>/point.json. False for a name that would leave the project
// tree ("", ".", "..", or one holding "/").
bool pointFile(const std::string& project, std::string& path);

// n of a name "P1".."P16"; false for any other name.
bool pointNumber(const char* name, int& n);

// The file record of point n from its registers (+0..+14).
HMIPoint recordFrom(int n, const std::uint16_t block[hmi_reg::kPointStride]);

// The registers of a file record; registers of the block it does not hold
// keep their values.
void blockFrom(const HMIPoint& point, std::uint16_t block[hmi_reg::kPointStride]);

// Move mode of the run-to mode register: 0 gives 1, 1 gives 2, others as
// they are.
int runToMode(int reg);

}  // namespace hmi_points
