// Collision detection, payload and dynamic model parameters. The first three
// loaders fill the process-wide records that the motion library reads.
#include <cstdio>
#include <string>

#include <json/value.h>

#include "json/collision_switch.h"
#include "json/json_project_reader.h"
#include "json/parameter_globals.h"
#include "json/settings_json.h"
#include "log/line_log.h"

using zelor::config::isMissing;
using zelor::config::member;
using zelor::config::projectPath;
using zelor::config::readSettings;

namespace {

constexpr int kLevelCount = 5;
constexpr int kThresholdJoints = 4;  // joints 5 and 6 have no thresholds in the file

}  // namespace

void JsonProjectReader::st_collision_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/collisionDect.json"), root, __func__);

  if (auto on = member<bool>(root, "value", __func__)) {
    std::uint8_t* collisionSwitch = zelor::config::collisionSwitch();
    *collisionSwitch = *on ? 1 : 0;
    ZLOG_DEBUG("gIsCollisionDect:%d", *collisionSwitch);
  }
  if (auto mode = member<int>(root, "mode", __func__)) {
    zelor::config::gCollisonMode = *mode;
    ZLOG_DEBUG("gCollisonMode:%d", zelor::config::gCollisonMode);
  }
  if (auto level = member<int>(root, "level", __func__)) {
    m_st_collisionParams.level = *level;
    ZLOG_DEBUG("level:%d", m_st_collisionParams.level);
  } else if (auto other = member<int>(root, "Level", __func__)) {
    // The capitalised key is only reported; it does not set the level.
    ZLOG_DEBUG("Level:%d", *other);
  }
  collisionStop.resumeType = member<int>(root, "resumeType", __func__).value_or(0);
  ZLOG_DEBUG("resumeType:%d", collisionStop.resumeType);
  collisionStop.stopType = member<int>(root, "stopType", __func__).value_or(0);
  ZLOG_DEBUG("stopType:%d", collisionStop.stopType);

  if (m_st_collisionParams.level < 1 || m_st_collisionParams.level > kLevelCount) return;

  Json::Value params;
  readSettings(projectPath("properties/collisionParams.json"), params, __func__);
  for (int k = 1; k <= kLevelCount; ++k) {
    const std::string key = "Level" + std::to_string(k);
    float values[kThresholdJoints];
    bool ok = !isMissing(params, key.c_str()) && params[key].isArray() && params[key].size() == 6;
    for (unsigned j = 0; ok && j < kThresholdJoints; ++j) {
      const Json::Value& v = params[key][j];
      auto number = v.isNumeric() ? zelor::config::convert<float>(v) : std::nullopt;
      if (!number) ok = false;
      else values[j] = *number;
    }
    if (!ok) {
      ZLOG_WARN("get %s error", key.c_str());
      return;
    }
    float (&torDiff)[6][5] = m_st_collisionParams.torDiff;
    for (int j = 0; j < kThresholdJoints; ++j) torDiff[j][k - 1] = values[j];
    std::printf("st_collision_load torDiffJ1[%d]:1:%f,2:%f,3:%f,4:%f,5:%f,6:%f\n", k - 1, torDiff[0][k - 1],
                torDiff[1][k - 1], torDiff[2][k - 1], torDiff[3][k - 1], torDiff[4][k - 1], torDiff[5][k - 1]);
  }
}

void JsonProjectReader::st_setloadparams_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/loadParams.json"), root, __func__);
  struct Row {
    const char* key;
    float st_loadParams::*field;
  };
  static constexpr Row kRows[] = {
      {"inertiaX", &st_loadParams::inertiaX},   {"inertiaY", &st_loadParams::inertiaY},
      {"inertiaZ", &st_loadParams::inertiaZ},   {"loadValue", &st_loadParams::loadValue},
      {"toolLength", &st_loadParams::toolLength},
  };
  for (const Row& row : kRows) {
    // Absent is reported; null keeps the value silently.
    if (!root.isObject() || !root.isMember(row.key)) {
      ZLOG_WARN("get %s error", row.key);
      continue;
    }
    if (auto v = member<float>(root, row.key, __func__)) {
      m_st_loadParams.*row.field = *v;
      ZLOG_DEBUG("%s:%f", row.key, *v);
    }
  }
}

void JsonProjectReader::st_dynamicparams6_load() {
  Json::Value root;
  readSettings(projectPath("settings/function/dynamicsParams.json"), root, __func__);
  st_basicdynamicparams6& p = m_st_basicdynamicparams6;

  if (isMissing(root, "dynamicparams")) {
    ZLOG_ERROR("Can't find dynamicparams params");
  } else {
    Json::Value& model = root["dynamicparams"];
    struct Row {
      const char* key;
      float st_basicdynamicparams6::*field;
    };
    using P = st_basicdynamicparams6;
    static constexpr Row kRows[] = {
        {"ZZ1", &P::ZZ1}, {"FS1", &P::FS1}, {"FV1", &P::FV1}, {"ZZ2", &P::ZZ2}, {"MX2", &P::MX2},
        {"MY2", &P::MY2}, {"IA2", &P::IA2}, {"FS2", &P::FS2}, {"FV2", &P::FV2}, {"ZZ3", &P::ZZ3},
        {"M3", &P::M3},   {"FS3", &P::FS3}, {"FV3", &P::FV3}, {"ZZ4", &P::ZZ4}, {"FS4", &P::FS4},
        {"FV4", &P::FV4},
    };
    for (const Row& row : kRows) p.*row.field = member<float>(model, row.key, __func__).value_or(0.0f);
  }

  if (isMissing(root, "gripper")) {
    ZLOG_ERROR("Can't find gripper params");
  } else {
    Json::Value& gripper = root["gripper"];
    p.gripperWeight = member<float>(gripper, "weigth", __func__).value_or(0.0f);
    p.gripperInertia = member<float>(gripper, "inertia", __func__).value_or(0.0f);
    std::printf("### m_st_basicdynamicparams6 weight = %f, inertia= %f ###\n", p.gripperWeight,
                p.gripperInertia);
  }

  if (isMissing(root, "limit")) {
    ZLOG_ERROR("Can't find limit params");
    return;
  }
  Json::Value& limit = root["limit"];
  for (int i = 0; i < 6; ++i) {
    const std::string key = "torqueLimit" + std::to_string(i + 1);
    p.torqueLimit[i] = member<float>(limit, key.c_str(), __func__).value_or(0.0f);
  }
  std::printf(
      "### m_st_basicdynamicparams6 torqueLimit1 = %f, torqueLimit2= %f, torqueLimit3=%f, torqueLimit4 = %f, "
      "torqueLimit5= %f, torqueLimit6=%f ###\n",
      p.torqueLimit[0], p.torqueLimit[1], p.torqueLimit[2], p.torqueLimit[3], p.torqueLimit[4], p.torqueLimit[5]);
}

int JsonProjectReader::st_dynamics_load(st_dynamicParams& params) {
  Json::Value root;
  readSettings(projectPath("properties/dynamics.json"), root, __func__);
  if (isMissing(root, "dynamics") || !root["dynamics"].isObject()) return 0;

  Json::Value& model = root["dynamics"];
  using D = st_dynamicParams;
  struct Row {
    const char* key;
    float D::*field;
  };
  static constexpr Row kRows[] = {
      {"ZZ1", &D::ZZ1},   {"FS1", &D::FS1},   {"FV1", &D::FV1},   {"XX2", &D::XX2},   {"ZZ2", &D::ZZ2},
      {"MX2", &D::MX2},   {"MY2", &D::MY2},   {"FS2", &D::FS2},   {"FV2", &D::FV2},   {"XX3", &D::XX3},
      {"ZZ3", &D::ZZ3},   {"MX3", &D::MX3},   {"MY3", &D::MY3},   {"FS3", &D::FS3},   {"FV3", &D::FV3},
      {"XX4", &D::XX4},   {"ZZ4", &D::ZZ4},   {"MX4", &D::MX4},   {"XX5", &D::XX5},   {"ZZ5", &D::ZZ5},
      {"MX5", &D::MX5},   {"MY5", &D::MY5},   {"XX6", &D::XX6},   {"MX6", &D::MX6},   {"XX7", &D::XX7},
      {"ZZ7", &D::ZZ7},   {"MX7", &D::MX7},   {"MY7", &D::MY7},   {"XX8", &D::XX8},   {"ZZ8", &D::ZZ8},
      {"MX8", &D::MX8},   {"MX9", &D::MX9},   {"MY9", &D::MY9},   {"ZZ10", &D::ZZ10}, {"IA10", &D::IA10},
      {"FS10", &D::FS10}, {"FV10", &D::FV10},
  };
  static_assert(sizeof(kRows) / sizeof(kRows[0]) == 37);
  for (const Row& row : kRows) {
    if (auto v = member<float>(model, row.key, __func__)) params.*row.field = *v;
  }

  // The double fields hold the file's number at float precision.
  if (isMissing(root, "load")) return 0;
  if (auto v = member<float>(root["load"], "weight", __func__)) params.loadWeight = *v;
  if (isMissing(root, "optimalRatio")) return 0;
  if (auto v = member<float>(root["optimalRatio"], "num", __func__)) params.optimalRatio = *v;
  if (isMissing(root, "torqueLimit")) return 0;
  Json::Value& torque = root["torqueLimit"];
  for (int i = 0; i < 4; ++i) {
    const std::string key = "torque" + std::to_string(i + 1);
    if (auto v = member<float>(torque, key.c_str(), __func__)) params.torqueLimit[i] = *v;
  }
  return 1;
}

tagTorDiffParams* JsonProjectReader::GetTorDiffParams() {
  const int level = m_st_collisionParams.level;
  if (level == 0) {
    *zelor::config::collisionSwitch() = 0;
  } else if (level >= 1 && level <= kLevelCount) {
    for (int j = 0; j < kThresholdJoints; ++j) {
      torDiffSelection.torDiff[j] = m_st_collisionParams.torDiff[j][level - 1];
    }
  } else {
    torDiffSelection = {{3.0f, 3.0f, 1.2f, 0.15f}};
  }
  std::printf("GetTorDiffParams m_st_collisionParams.level:%d, 1:%f,2:%f,3:%f,4:%f\n", level,
              torDiffSelection.torDiff[0], torDiffSelection.torDiff[1], torDiffSelection.torDiff[2],
              torDiffSelection.torDiff[3]);
  return &torDiffSelection;
}
