#include "subProcess/data/servo_payload_request.h"

#include <cmath>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

namespace sp = servo_payload;

namespace {

std::uint8_t* record(std::uint8_t (&bytes)[sp::kRecordSize], std::int32_t index, float v8, float v12, float v16,
                     float mass) {
  std::memset(bytes, 0, sizeof bytes);
  std::memcpy(bytes, &index, 4);
  bytes[sp::kFlagOffset] = 1;
  std::memcpy(bytes + 8, &v8, 4);
  std::memcpy(bytes + 12, &v12, 4);
  std::memcpy(bytes + 16, &v16, 4);
  std::memcpy(bytes + 20, &mass, 4);
  return bytes;
}

const st_loadParams kProjectLoad{1.0f, 2.0f, 3.0f, 4.0f, 5.0f};

}  // namespace

TEST(ServoPayloadRequest, AServoRequestChoosesTheSetAndLeavesThePayload) {
  std::uint8_t bytes[sp::kRecordSize];
  int userSet = 0;
  st_loadParams load = kProjectLoad;
  std::string why;
  EXPECT_EQ(sp::apply(sp::read(record(bytes, 3, 0, 0, 0, 0)), userSet, load, why), sp::Outcome::Servo);
  EXPECT_EQ(userSet, 3);
  EXPECT_EQ(std::memcmp(&load, &kProjectLoad, sizeof load), 0);
}

TEST(ServoPayloadRequest, APayloadRequestSetsMassAndCentreXYButNotZ) {
  std::uint8_t bytes[sp::kRecordSize];
  int userSet = 2;
  st_loadParams load = kProjectLoad;
  std::string why;
  EXPECT_EQ(sp::apply(sp::read(record(bytes, 0, 10, 20, 30, 2.5f)), userSet, load, why), sp::Outcome::Payload);
  EXPECT_EQ(load.loadValue, 2.5f);
  EXPECT_EQ(load.inertiaX, 10.0f);
  EXPECT_EQ(load.inertiaY, 20.0f);
  EXPECT_EQ(load.inertiaZ, kProjectLoad.inertiaZ);
  EXPECT_EQ(load.toolLength, kProjectLoad.toolLength);
  EXPECT_EQ(userSet, 2);
}

TEST(ServoPayloadRequest, RefusedRequestsChangeNothing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    std::int32_t index;
    float v8, v12, v16, mass;
  };
  const Case cases[] = {
      {0, 10, 20, 30, 25.0f},  {0, 10, 20, 30, -0.5f}, {0, 10, nan, 30, 2.5f}, {0, inf, 20, 30, 2.5f},
      {0, 10, 20, nan, 2.5f},  {0, 10, 20, 30, nan},   {6, 0, 0, 0, 0},        {-1, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    std::uint8_t bytes[sp::kRecordSize];
    int userSet = 2;
    st_loadParams load = kProjectLoad;
    std::string why;
    EXPECT_EQ(sp::apply(sp::read(record(bytes, c.index, c.v8, c.v12, c.v16, c.mass)), userSet, load, why),
              sp::Outcome::Refused)
        << c.index << " " << c.mass;
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(userSet, 2);
    EXPECT_EQ(std::memcmp(&load, &kProjectLoad, sizeof load), 0);
  }
  // The range ends are accepted.
  for (float mass : {0.0f, 20.0f}) {
    std::uint8_t bytes[sp::kRecordSize];
    int userSet = 0;
    st_loadParams load = kProjectLoad;
    std::string why;
    EXPECT_EQ(sp::apply(sp::read(record(bytes, 0, 0, 0, 0, mass)), userSet, load, why), sp::Outcome::Payload);
  }
}

TEST(DriverLoadLevel, StepsByProjectTypeAndTheManualLevelWins) {
  struct Case {
    int manual;
    float mass, x, y;
    int type;
    int current;
    int level;
  };
  const Case cases[] = {
      {0, 1.0f, 10.0f, 0.0f, 1, 0, 4},   // 100 + 200 = 300
      {0, 1.0f, 10.0f, 0.0f, 2, 0, 4},
      {0, 5.0f, 10.0f, 0.0f, 2, 0, 6},   // 500 + 1000 = 1500
      {0, 5.0f, 10.0f, 0.0f, 1, 0, 10},
      {0, 5.0f, 10.0f, 0.0f, 3, 0, 1},
      {0, 5.0f, 10.0f, 0.0f, 7, 5, 5},   // other types keep the level
      {3, 5.0f, 10.0f, 0.0f, 1, 0, 3},
      {0, 0.0f, 0.0f, 0.0f, 2, 0, 1},
      {0, 1.0f, 0.0f, 0.0f, 2, 0, 4},    // 200: below 325
      {0, 1.0f, 3.0f, 4.0f, 1, 0, 4},    // r = 5: 25 + 200 = 225
      {0, 1.0f, 30.0f, 0.0f, 1, 0, 9},   // 900 + 200 = 1100
  };
  for (const Case& c : cases) {
    const st_loadParams load{c.x, c.y, 0.0f, c.mass, 0.0f};
    EXPECT_EQ(sp::loadLevel(c.manual, load, c.type, c.current, nullptr), c.level)
        << c.manual << " " << c.mass << " " << c.x << " type " << c.type;
  }
  float value = 0.0f;
  sp::loadLevel(0, st_loadParams{10.0f, 0.0f, 0.0f, 1.0f, 0.0f}, 1, 0, &value);
  EXPECT_FLOAT_EQ(value, 300.0f);
}
