#include "subProcess/data/servo_payload_request.h"

#include <cmath>
#include <cstring>

namespace servo_payload {

Request read(const std::uint8_t* record) {
  Request r{};
  std::memcpy(&r.index, record, 4);
  std::memcpy(&r.value8, record + 8, 4);
  std::memcpy(&r.value12, record + 12, 4);
  std::memcpy(&r.value16, record + 16, 4);
  std::memcpy(&r.mass, record + 20, 4);
  return r;
}

Outcome apply(const Request& request, int& userDriverSet, st_loadParams& load, std::string& why) {
  if (request.index >= 1 && request.index <= 5) {
    userDriverSet = request.index;
    return Outcome::Servo;
  }
  if (request.index != 0) {
    why = "unknown servo parameter set index";
    return Outcome::Refused;
  }
  if (!std::isfinite(request.value8) || !std::isfinite(request.value12) || !std::isfinite(request.value16) ||
      !std::isfinite(request.mass)) {
    why = "payload value is not a number";
    return Outcome::Refused;
  }
  if (request.mass < 0.0f || request.mass > kMaxMass) {
    why = "payload mass out of range 0..20 kg";
    return Outcome::Refused;
  }
  load.loadValue = request.mass;
  load.inertiaX = request.value8;
  load.inertiaY = request.value12;
  return Outcome::Payload;
}

int loadLevel(int manualLevel, const st_loadParams& load, int projectType, int current, float* value) {
  if (value != nullptr) *value = 0.0f;
  if (manualLevel != 0) return manualLevel;
  const float r = std::sqrt(load.inertiaX * load.inertiaX + load.inertiaY * load.inertiaY);
  const float v = load.loadValue * r * r + load.loadValue * 0.5f * 400.0f;
  if (value != nullptr) *value = v;
  if (projectType == 3) return 1;
  if (projectType != 1 && projectType != 2) return current;
  static constexpr float kSteps[] = {50.0f, 100.0f, 150.0f, 325.0f, 500.0f, 675.0f, 850.0f, 1025.0f, 1200.0f};
  const int maxLevel = projectType == 2 ? 6 : 10;
  int level = 1;
  for (float step : kSteps) {
    if (level >= maxLevel || v < step) break;
    ++level;
  }
  return level;
}

}  // namespace servo_payload
