#pragma once

#include <cstdint>
#include <string>

#include "json/parameter_globals.h"

// The servo and payload request record at the start of memory ftok("/zelor",
// 67): i32 set index at 0, request flag at 4, floats at 8, 12, 16 and the
// payload mass at 20.
namespace servo_payload {

inline constexpr std::size_t kRecordSize = 28;
inline constexpr std::size_t kFlagOffset = 4;
inline constexpr float kMaxMass = 20.0f;

struct Request {
  std::int32_t index;
  float value8;
  float value12;
  float value16;
  float mass;
};

Request read(const std::uint8_t* record);

enum class Outcome { Servo, Payload, Refused };

// Applies a request: index 1..5 becomes the user-chosen driver set; index 0
// puts a mass within 0..20 kg and the centre x, y (offsets 8, 12) into load,
// offset 16 is not applied; a mass out of range or a non-finite value
// refuses the payload, any other index refuses the request. why tells a
// refusal.
Outcome apply(const Request& request, int& userDriverSet, st_loadParams& load, std::string& why);

// The drive load level of driverParamCal: a non-zero manual level wins;
// otherwise value = m r^2 + m 0.5 400 with r = |(x, y)| in single precision,
// stepped by project type (2: 1..6, 1: 1..10, 3: 1, others keep current).
// value receives the computed figure (0 when the manual level won).
int loadLevel(int manualLevel, const st_loadParams& load, int projectType, int current, float* value);

}  // namespace servo_payload
