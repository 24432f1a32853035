// User motion settings: speed ratio, motor type, teach and playback speeds,
// arch heights, frames, frame selection, inch steps and the latch template.
#include <algorithm>
#include <cstdio>

#include <json/value.h>

#include "json/json_project_reader.h"
#include "json/settings_json.h"
#include "log/line_log.h"

using zelor::config::clampToLimit;
using zelor::config::element;
using zelor::config::isMissing;
using zelor::config::member;
using zelor::config::ParseFailure;
using zelor::config::projectPath;
using zelor::config::readSettings;

namespace {

enum class Speeds { kMissing, kFilled, kBadForm };

// A speed array of exactly n numbers, each clamped to its limit; a missing
// array takes the limits' defaults, an element of the wrong kind its default.
Speeds readSpeeds(Json::Value& parent, const char* key, float* out, const st_triple* limit, unsigned n,
                  const char* func) {
  if (isMissing(parent, key)) {
    for (unsigned i = 0; i < n; ++i) out[i] = limit[i].def;
    return Speeds::kMissing;
  }
  Json::Value& array = parent[key];
  if (!array.isArray() || array.size() != n) {
    zelor::log::lineLog("WARNI", func, __FILE__, __LINE__, "get %s error", key);
    return Speeds::kBadForm;
  }
  for (unsigned i = 0; i < n; ++i) {
    auto v = element<float>(array, i, key, func);
    out[i] = v ? clampToLimit(*v, limit[i]) : limit[i].def;
  }
  return Speeds::kFilled;
}

// params of a frame: exactly six numbers, else nothing.
bool readFrameParams(Json::Value& entry, float (&out)[6]) {
  if (isMissing(entry, "params")) return false;
  Json::Value& params = entry["params"];
  if (!params.isArray() || params.size() != 6) return false;
  float values[6];
  for (unsigned i = 0; i < 6; ++i) {
    if (!params[i].isNumeric()) return false;
    auto v = zelor::config::convert<float>(params[i]);
    if (!v) return false;
    values[i] = *v;
  }
  std::copy(values, values + 6, out);
  return true;
}

// Frame 0 is the base frame: always enabled, all zero.
void readFrames(Json::Value& root, st_coord (&frames)[kFrameCount], const char* badParamsLine,
                const char* func) {
  const unsigned n = std::min(root.size(), static_cast<unsigned>(kFrameCount));
  frames[0] = st_coord{true, {0, 0, 0, 0, 0, 0}};
  for (unsigned i = 1; i < n; ++i) {
    Json::Value& entry = root[i];
    frames[i].enable = member<bool>(entry, "enable", func).value_or(false);
    if (!readFrameParams(entry, frames[i].params)) {
      zelor::log::lineLog("WARNI", func, __FILE__, __LINE__, "%s", badParamsLine);
    }
  }
}

}  // namespace

void JsonProjectReader::st_common_load() {
  Json::Value root;
  readSettings(projectPath("settings/common.json"), root, __func__);
  auto ratio = member<float>(root, "ratio", __func__);
  common.ratio = ratio ? clampToLimit(*ratio, limits.commonRatio) : limits.commonRatio.def;
}

void JsonProjectReader::st_types_load() {
  Json::Value root;
  readSettings(projectPath("settings/productInfo/types.json"), root, __func__);
  const int type = member<int>(root, "motoTypes", __func__).value_or(1);
  motoTypes = (type >= 1 && type <= 3) ? type : 1;
}

void JsonProjectReader::st_teach_load() {
  Json::Value joint;
  readSettings(projectPath("settings/teach/joint.json"), joint, __func__, ParseFailure::kNothing);
  if (readSpeeds(joint, "velocity", teach.jointVelocity, limits.teachJointVelocity, kAxisCount, __func__) ==
      Speeds::kBadForm)
    return;
  if (readSpeeds(joint, "acceleration", teach.jointAcceleration, limits.teachJointAcceleration, kAxisCount,
                 __func__) == Speeds::kBadForm)
    return;

  Json::Value coordinate;
  readSettings(projectPath("settings/teach/coordinate.json"), coordinate, __func__, ParseFailure::kNothing);
  if (readSpeeds(coordinate, "velocity", teach.coordinateVelocity, limits.teachCoordinateVelocity,
                 kAxisCount, __func__) == Speeds::kBadForm)
    return;
  // A bad acceleration array skips only itself.
  readSpeeds(coordinate, "acceleration", teach.coordinateAcceleration, limits.teachCoordinateAcceleration,
             kAxisCount, __func__);
}

void JsonProjectReader::st_playback_load() {
  Json::Value joint;
  readSettings(projectPath("settings/playback/joint.json"), joint, __func__);
  if (readSpeeds(joint, "velocity", playback.jointVelocity, limits.playbackJointVelocity, kAxisCount,
                 __func__) == Speeds::kBadForm ||
      readSpeeds(joint, "acceleration", playback.jointAcceleration, limits.playbackJointAcceleration,
                 kAxisCount, __func__) == Speeds::kBadForm ||
      readSpeeds(joint, "jerk", playback.jointJerk, limits.playbackJointJerk, kAxisCount, __func__) ==
          Speeds::kBadForm)
    return;

  Json::Value coordinate;
  readSettings(projectPath("settings/playback/coordinate.json"), coordinate, __func__);
  if (readSpeeds(coordinate, "velocity", playback.coordinateVelocity, limits.playbackCoordinateVelocity, 2,
                 __func__) == Speeds::kBadForm ||
      readSpeeds(coordinate, "acceleration", playback.coordinateAcceleration,
                 limits.playbackCoordinateAcceleration, 2, __func__) == Speeds::kBadForm ||
      readSpeeds(coordinate, "jerk", playback.coordinateJerk, limits.playbackCoordinateJerk, 2, __func__) ==
          Speeds::kBadForm)
    return;

  Json::Value root;
  readSettings(projectPath("settings/playback/arch.json"), root, __func__);
  if (!root.isArray()) {
    ZLOG_WARN("get arch error");
    return;
  }
  const unsigned n = std::min(root.size(), static_cast<unsigned>(kArchCount));
  for (unsigned k = 0; k < n; ++k) {
    Json::Value& entry = root[k];
    arch[k].enable = member<bool>(entry, "enable", __func__).value_or(false);
    if (isMissing(entry, "params")) continue;
    Json::Value& params = entry["params"];
    struct Row {
      const char* key;
      float st_arch::*field;
      const st_triple& limit;
    };
    const Row rows[] = {
        {"startHeight", &st_arch::startHeight, limits.archStartHeight},
        {"endHeight", &st_arch::endHeight, limits.archEndHeight},
        {"zLimit", &st_arch::zLimit, limits.archZLimit},
    };
    for (const Row& row : rows) {
      auto v = member<float>(params, row.key, __func__);
      arch[k].*row.field = v ? clampToLimit(*v, row.limit) : row.limit.def;
    }
  }
}

void JsonProjectReader::st_coord_load() {
  Json::Value user;
  readSettings(projectPath("settings/coordinate/user.json"), user, __func__);
  if (!user.isArray()) {
    ZLOG_WARN("get user tool error");
    return;
  }
  readFrames(user, userCoord, "get user coord error", __func__);

  Json::Value tool;
  readSettings(projectPath("settings/coordinate/tool.json"), tool, __func__);
  if (!tool.isArray()) {
    ZLOG_WARN("get tool tool error");
    return;
  }
  readFrames(tool, toolCoord, "get tool coord error", __func__);
}

void JsonProjectReader::st_temp_load() {
  Json::Value root;
  readSettings(projectPath("settings/quillon/config.json"), root, __func__);
  if (isMissing(root, "coordinate")) return;
  Json::Value& coordinate = root["coordinate"];
  if (auto v = member<int>(coordinate, "user", __func__)) temp.user = *v;
  if (auto v = member<int>(coordinate, "tool", __func__)) temp.tool = *v;
}

void JsonProjectReader::st_inch_load() {
  const std::string path = projectPath("settings/teach/inch.json");
  Json::Value root;
  if (zelor::config::fileExists(path)) readSettings(path, root, __func__);
  // A file that does not parse counts as absent, like everywhere else.
  if (root.isNull()) {
    inch.distance = 0.1f;
    inch.angle = 0.1f;
    return;
  }
  if (auto v = member<float>(root, "distance", __func__)) inch.distance = *v;
  inch.angle = member<float>(root, "angle", __func__).value_or(0.1f);
}

void JsonProjectReader::st_load_latchPos() {
  const std::string path = projectPath("settings/teach/latch_pos.json");
  if (!zelor::config::fileExists(path)) return;
  Json::Value root;
  readSettings(path, root, __func__);
  if (auto v = member<float>(root, "x", __func__)) latchPos.x = *v;
  if (auto v = member<float>(root, "y", __func__)) latchPos.y = *v;
  if (auto v = member<float>(root, "r", __func__)) latchPos.r = *v;
  if (isMissing(root, "jointAngle") || !root["jointAngle"].isArray()) {
    ZLOG_WARN("get pos template:jointAngle error");
  } else {
    Json::Value& angles = root["jointAngle"];
    const unsigned n = std::min(angles.size(), 4u);
    for (unsigned i = 0; i < n; ++i) {
      auto v = element<float>(angles, i, "jointAngle", __func__);
      if (!v) continue;
      latchPos.joint[i] = *v;
      std::printf("[%s], pos template:jointAngle[%u]: %f \n", __func__, i, latchPos.joint[i]);
    }
  }
  std::printf("[%s], pos template:[x,y,z,r]:[%f,%f,%f,%f] \n", __func__, latchPos.x, latchPos.y, latchPos.z,
              latchPos.r);
}

void JsonProjectReader::st_temp_coord_save(int user, int tool) {
  temp.user = user;
  temp.tool = tool;

  const std::string path = projectPath("settings/quillon/config.json");
  Json::Value root;
  std::string errors;
  if (zelor::config::fileExists(path) && !zelor::config::parseFile(path, root, errors)) {
    std::printf("read file[%s] error:%s\n", path.c_str(), errors.c_str());
  }
  // Only an object can hold the selection beside the other members.
  if (!root.isObject()) root = Json::Value(Json::objectValue);
  Json::Value coordinate =
      root["coordinate"].isObject() ? root["coordinate"] : Json::Value(Json::objectValue);
  coordinate["user"] = user;
  coordinate["tool"] = tool;
  root["coordinate"] = coordinate;

  if (!zelor::config::saveTextFile(path, root.toStyledString())) ZLOG_ERROR("Create file error");
}
