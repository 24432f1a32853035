#pragma once

// The external axis' drive parameters and their conversion from the four
// project documents (structure, playback, teach, stop) into drive pulses.
// Each step updates the block in place: a value a document does not give keeps
// the one of an earlier load.

#include <cstdint>

#include <rapidjson/document.h>

namespace tramlet_detail {

struct DriveParams {
  std::int32_t pulsesPerUnit = 0;
  std::int32_t ratedSpeed = 0;
  std::int32_t maxPtpSpeed = 0;
  std::int32_t maxPtpAcc = 0;
  std::int32_t maxJogSpeed = 0;
  std::int32_t maxJogAcc = 0;
  std::int32_t limitPos = 0;
  std::int32_t limitNeg = 0;
  std::int32_t stopDecel = 0;
  std::uint16_t polarity = 0;
  // Current profile values (the rates of the command worker apply to them).
  std::int32_t jogSpeed = 0;
  std::int32_t jogAcc = 0;
  std::int32_t ptpSpeed = 0;
  std::int32_t ptpAcc = 0;
};

inline constexpr std::uint16_t kPolarityInverted = 0xC0;
// Maximum velocity in user units per second when the gear box is not read.
inline constexpr float kDefaultMaxVelocity = 18000.0f;
inline constexpr int kDefaultBitNum = 17;

// Structure document: false when "auxJoint" or "type" fail their checks.
// Sets maxVelocity for the two following steps.
bool applyStructure(const rapidjson::Value& doc, DriveParams& p, float& maxVelocity);
// Playback document: the point-to-point maxima.
void applyPlayback(const rapidjson::Value& doc, DriveParams& p, float maxVelocity);
// Teach document: the jog maxima.
void applyTeach(const rapidjson::Value& doc, DriveParams& p, float maxVelocity);
// Stop document: the stop deceleration.
void applyStop(const rapidjson::Value& doc, DriveParams& p);
// The current profile values from the maxima.
void applyProfiles(DriveParams& p);

// All steps on four parsed documents: 0, or -1 when the structure fails its
// checks (values of the later documents are then not taken).
int convertParams(const rapidjson::Value& structure, const rapidjson::Value& playback,
                  const rapidjson::Value& teach, const rapidjson::Value& stop, DriveParams& p);

}  // namespace tramlet_detail
