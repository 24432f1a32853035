#include "subProcess/business/hmi_points.h"

#include <modbus.h>

#include <cstdio>
#include <cstring>

#include "install_paths.h"

namespace hmi_points {

bool pointFile(const std::string& project, std::string& path) {
  if (project.empty() || project == "." || project == ".." || project.find('/') != std::string::npos) return false;
  path = std::string(zelor::paths::kProjectDir) + "/project/" + project + "/point.json";
  return true;
}

bool pointNumber(const char* name, int& n) {
  if (name == nullptr || name[0] != 'P') return false;
  const char* digits = name + 1;
  const std::size_t len = std::strlen(digits);
  if (len == 0 || len > 2 || digits[0] == '0') return false;
  int value = 0;
  for (std::size_t i = 0; i < len; ++i) {
    if (digits[i] < '0' || digits[i] > '9') return false;
    value = value * 10 + (digits[i] - '0');
  }
  if (value < 1 || value > hmi_reg::kPointCount) return false;
  n = value;
  return true;
}

HMIPoint recordFrom(int n, const std::uint16_t block[hmi_reg::kPointStride]) {
  HMIPoint p{};
  std::snprintf(p.name, sizeof p.name, "P%d", n);
  p.x = modbus_get_float(block + hmi_reg::kPointX);
  p.y = modbus_get_float(block + hmi_reg::kPointX + 2);
  p.z = modbus_get_float(block + hmi_reg::kPointX + 4);
  p.r = modbus_get_float(block + hmi_reg::kPointX + 6);
  const std::uint16_t arm = block[hmi_reg::kPointArm];
  if (arm == 0) std::strcpy(p.armOrientation, "left");
  if (arm == 1) std::strcpy(p.armOrientation, "right");
  p.user = static_cast<std::uint8_t>(block[hmi_reg::kPointUser]);
  p.tool = static_cast<std::uint8_t>(block[hmi_reg::kPointTool]);
  return p;
}

void blockFrom(const HMIPoint& point, std::uint16_t block[hmi_reg::kPointStride]) {
  modbus_set_float(point.x, block + hmi_reg::kPointX);
  modbus_set_float(point.y, block + hmi_reg::kPointX + 2);
  modbus_set_float(point.z, block + hmi_reg::kPointX + 4);
  modbus_set_float(point.r, block + hmi_reg::kPointX + 6);
  block[hmi_reg::kPointArm] = std::strncmp(point.armOrientation, "left", sizeof point.armOrientation) == 0 ? 0 : 1;
  block[hmi_reg::kPointUser] = point.user;
  block[hmi_reg::kPointTool] = point.tool;
}

int runToMode(int reg) {
  if (reg == 0) return 1;
  if (reg == 1) return 2;
  return reg;
}

}  // namespace hmi_points
