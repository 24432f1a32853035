// Loading the drive parameters from the project files into the drive.
#include <algorithm>
#include <cstdio>

#include "tramlet/json_file.h"
#include "tramlet/tramlet.h"

using namespace tramlet_detail;

namespace {

constexpr const char* kStructureFile = "/project/process/auxJoint/structure.json";
constexpr const char* kPlaybackFile = "/project/settings/playback/auxJoint.json";
constexpr const char* kTeachFile = "/project/settings/teach/auxJoint.json";
constexpr const char* kStopFile = "/project/process/auxJoint/stop.json";

}  // namespace

int tramlet::paramInit() {
  rapidjson::Document doc;
  float maxVelocity = kDefaultMaxVelocity;
  if (!loadJsonFile(kStructureFile, "structure.json", doc)) return -1;
  if (!applyStructure(doc, params_, maxVelocity)) return -1;
  if (!loadJsonFile(kPlaybackFile, kPlaybackFile, doc)) return -1;
  applyPlayback(doc, params_, maxVelocity);
  if (!loadJsonFile(kTeachFile, kTeachFile, doc)) return -1;
  applyTeach(doc, params_, maxVelocity);
  if (!loadJsonFile(kStopFile, kStopFile, doc)) return -1;
  applyStop(doc, params_);
  applyProfiles(params_);

  writeParams();
  const DriveParams& p = params_;
  std::printf("%s:lead=%d, maxRPM=%d, SPD=%d, ACC=%d, JOGSPD=%d, JOGACC=%d, LIMP=%d, LIMN=%d\n", "paramInit",
              p.pulsesPerUnit, p.ratedSpeed, p.maxPtpSpeed, p.maxPtpAcc, p.maxJogSpeed, p.maxJogAcc, p.limitPos,
              p.limitNeg);
  return 0;
}

void tramlet::writeParams() {
  const DriveParams& p = params_;
  int step = 0;
  auto check = [&step](int rc, int expected) {
    ++step;
    if (rc != expected) std::printf("[%d]set init param failed,rst=%d\n", step, rc);
  };
  check(drive_->writeRegister32(reg::kRatedSpeed, p.ratedSpeed), 2);
  check(drive_->writeRegister(reg::kPolarity, p.polarity), 1);
  check(drive_->writeRegister32(reg::kLimitNeg, p.limitNeg), 2);
  check(drive_->writeRegister32(reg::kLimitPos, p.limitPos), 2);
  check(drive_->writeRegister32(reg::kLimitNeg2, p.limitNeg), 2);
  check(drive_->writeRegister32(reg::kLimitPos2, p.limitPos), 2);

  const std::int32_t maxSpeed = std::max(p.maxPtpSpeed, p.maxJogSpeed);
  std::printf("set max speed = %d\n", maxSpeed);
  check(drive_->writeRegister32(reg::kMaxSpeed, maxSpeed), 2);

  // The stop deceleration is compared as an unsigned number.
  const auto maxAcc = static_cast<std::int32_t>(std::max(
      static_cast<std::uint32_t>(std::max(p.maxPtpAcc, p.maxJogAcc)), static_cast<std::uint32_t>(p.stopDecel)));
  std::printf("set max acc = %d\n", maxAcc);
  check(drive_->writeRegister32(reg::kMaxAcc, maxAcc), 2);
  check(drive_->writeRegister32(reg::kStopDecel, p.stopDecel), 2);
}
