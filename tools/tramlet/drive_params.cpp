#include "tramlet/drive_params.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "tramlet/int32_saturate.h"

namespace tramlet_detail {

namespace {

using rapidjson::Value;

const Value* member(const Value& obj, const char* key) {
  if (!obj.IsObject()) return nullptr;
  const auto it = obj.FindMember(key);
  return it == obj.MemberEnd() ? nullptr : &it->value;
}

const Value* objectMember(const Value& obj, const char* key) {
  const Value* v = member(obj, key);
  return v != nullptr && v->IsObject() ? v : nullptr;
}

// Element 0 of a non-empty array under key.
const Value* firstOf(const Value& obj, const char* key) {
  const Value* v = member(obj, key);
  if (v == nullptr || !v->IsArray() || v->Empty()) return nullptr;
  return &(*v)[0];
}

std::optional<double> number(const Value* v) {
  if (v == nullptr || !v->IsNumber()) return std::nullopt;
  return v->GetDouble();
}

std::optional<std::int64_t> integer(const Value* v) {
  if (v == nullptr || !v->IsInt64()) return std::nullopt;
  return v->GetInt64();
}

std::optional<double> firstNumber(const Value& doc, const char* key) { return number(firstOf(doc, key)); }

// Speed maximum: trunc(float(ppu) * min(float(velocity), maximum)), single precision.
std::int32_t speedLimit(std::int32_t ppu, double velocity, float maxVelocity) {
  const float v = std::min(static_cast<float>(velocity), maxVelocity);
  return saturateInt32(std::trunc(static_cast<float>(ppu) * v));
}

std::int32_t accelLimit(std::int32_t ppu, double acceleration) {
  return saturateInt32(std::trunc(acceleration * static_cast<double>(ppu)));
}

}  // namespace

bool applyStructure(const Value& doc, DriveParams& p, float& maxVelocity) {
  maxVelocity = kDefaultMaxVelocity;
  const auto aux = integer(member(doc, "auxJoint"));
  if (!aux || *aux < 1) return false;
  const auto type = integer(firstOf(doc, "type"));
  if (!type || (*type != 0 && *type != 1)) return false;
  const bool rotary = *type == 0;

  const Value* motor0 = firstOf(doc, "motors");
  if (motor0 != nullptr && motor0->IsObject()) {
    int bitNum = kDefaultBitNum;
    if (const Value* enc = objectMember(*motor0, "encoder")) {
      const auto bits = integer(member(*enc, "bitNum"));
      if (bits && *bits >= 0 && *bits <= 30) bitNum = static_cast<int>(*bits);
    }
    if (const Value* motor = objectMember(*motor0, "motor")) {
      const Value* rated = member(*motor, "rated");
      if (rated != nullptr && rated->IsInt()) p.ratedSpeed = rated->GetInt();
      const Value* inverted = member(*motor, "inverted");
      p.polarity = inverted != nullptr && inverted->IsBool() && inverted->GetBool() ? kPolarityInverted : 0;
    }
    if (const Value* gear = objectMember(*motor0, "gearBox")) {
      const auto num = number(member(*gear, "num"));
      const auto den = number(member(*gear, "den"));
      if (num && den && std::isfinite(*num) && std::isfinite(*den) && *num != 0.0 && *den != 0.0) {
        const double pulsesPerRev = static_cast<double>(static_cast<std::int32_t>(1) << bitNum);
        const double rated = p.ratedSpeed;
        if (rotary) {
          p.pulsesPerUnit = saturateInt32(std::trunc(pulsesPerRev * *den / *num / 360.0));
          maxVelocity = static_cast<float>(rated * 360.0 / 60.0 * *num / *den);
        } else {
          p.pulsesPerUnit = saturateInt32(std::trunc(pulsesPerRev * *den / *num));
          maxVelocity = static_cast<float>(rated / 60.0 * *num / *den);
        }
      }
    }
  }

  if (const Value* limits = firstOf(doc, "limits"); limits != nullptr && limits->IsArray()) {
    const double ppu = p.pulsesPerUnit;
    if (limits->Size() > 0) {
      if (const auto neg = number(&(*limits)[0])) p.limitNeg = saturateInt32(std::trunc(*neg * ppu));
    }
    if (limits->Size() > 1) {
      if (const auto pos = number(&(*limits)[1])) p.limitPos = saturateInt32(std::trunc(*pos * ppu));
    }
  }
  return true;
}

void applyPlayback(const Value& doc, DriveParams& p, float maxVelocity) {
  if (const auto v = firstNumber(doc, "velocity")) p.maxPtpSpeed = speedLimit(p.pulsesPerUnit, *v, maxVelocity);
  if (const auto a = firstNumber(doc, "acceleration")) p.maxPtpAcc = accelLimit(p.pulsesPerUnit, *a);
}

void applyTeach(const Value& doc, DriveParams& p, float maxVelocity) {
  if (const auto v = firstNumber(doc, "velocity")) p.maxJogSpeed = speedLimit(p.pulsesPerUnit, *v, maxVelocity);
  if (const auto a = firstNumber(doc, "acceleration")) p.maxJogAcc = accelLimit(p.pulsesPerUnit, *a);
}

void applyStop(const Value& doc, DriveParams& p) {
  if (const auto a = firstNumber(doc, "acceleration")) {
    p.stopDecel = saturateInt32(std::trunc(static_cast<float>(p.pulsesPerUnit) * static_cast<float>(*a)));
  }
}

void applyProfiles(DriveParams& p) {
  p.jogSpeed = p.maxJogSpeed;
  p.jogAcc = p.maxJogAcc;
  p.ptpSpeed = p.maxPtpSpeed;
  p.ptpAcc = p.maxPtpAcc;
}

int convertParams(const Value& structure, const Value& playback, const Value& teach, const Value& stop,
                  DriveParams& p) {
  float maxVelocity = kDefaultMaxVelocity;
  if (!applyStructure(structure, p, maxVelocity)) return -1;
  applyPlayback(playback, p, maxVelocity);
  applyTeach(teach, p, maxVelocity);
  applyStop(stop, p);
  applyProfiles(p);
  return 0;
}

}  // namespace tramlet_detail
