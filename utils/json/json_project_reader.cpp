#include "json/json_project_reader.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cmath>
#include <climits>

#include <json/value.h>

#include "json/project_structure.h"
#include "json/settings_json.h"
#include "log/line_log.h"

JsonProjectReader::JsonProjectReader()
    : project(std::make_unique<st_project>()), structure(std::make_unique<st_structure>()) {
  const std::string quillonDir = zelor::config::projectPath("settings/quillon");
  if (DIR* dir = opendir(quillonDir.c_str())) {
    closedir(dir);
  } else {
    // The settings folder may be missing too on a fresh tree.
    mkdir(zelor::config::projectPath("settings").c_str(), 0775);
    if (mkdir(quillonDir.c_str(), 0775) != 0) ZLOG_WARN("mkdir %s error", quillonDir.c_str());
  }
  loadAll();
}

JsonProjectReader::~JsonProjectReader() = default;

void JsonProjectReader::loadAll() {
  // The two property loaders come first: every later loader clamps to their
  // limits or takes their defaults.
  st_ratiodefault_load();
  st_default_load();
  st_common_load();
  st_types_load();
  st_teach_load();
  st_ioctrl_load();
  st_modbusctrl_load();
  st_playback_load();
  st_coord_load();
  st_temp_load();
  st_lynload_load();
  st_inch_load();
  st_load_latchPos();
  st_fanCtrl_load();
  st_extEstop_load();
  st_extAxis_load();
  st_setloadparams_load();
  st_collision_load();
  st_dynamicparams6_load();
  st_modbusIO_load();
}

bool JsonProjectReader::isEmptyItem(Json::Value* value, const char* key) {
  if (value == nullptr || key == nullptr) return true;
  return zelor::config::isMissing(*value, key);
}

int JsonProjectReader::paramsSpeedFactor() const {
  // The ratio is clamped to its limits, but those come from a file too.
  const float ratio = common.ratio;
  if (!std::isfinite(ratio)) return 0;
  if (ratio >= static_cast<float>(INT_MAX)) return INT_MAX;
  if (ratio <= static_cast<float>(INT_MIN)) return INT_MIN;
  return static_cast<int>(ratio);
}

tagPTPJointParams* JsonProjectReader::paramsPTPJoint() {
  for (int i = 0; i < 4; ++i) {
    ptpJoint.velocity[i] = playback.jointVelocity[i];
    ptpJoint.acceleration[i] = playback.jointAcceleration[i];
    ptpJoint.jerk[i] = playback.jointJerk[i];
  }
  return &ptpJoint;
}

tagPTPCoordinateParams* JsonProjectReader::paramsPTPCoordinate() {
  ptpCoordinate = {playback.coordinateVelocity[0],     playback.coordinateVelocity[1],
                   playback.coordinateAcceleration[0], playback.coordinateAcceleration[1],
                   playback.coordinateJerk[0],         playback.coordinateJerk[1]};
  return &ptpCoordinate;
}
