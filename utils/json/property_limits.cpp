// Factory limits (properties/ratio_default.json, properties/default.json) and
// the arm structure (properties/structure.json).
#include <algorithm>

#include <json/value.h>

#include "json/json_project_reader.h"
#include "json/project_structure.h"
#include "json/settings_json.h"
#include "log/line_log.h"

using zelor::config::isMissing;
using zelor::config::member;
using zelor::config::projectPath;
using zelor::config::readSettings;
using zelor::config::readTriple;

namespace {

constexpr st_triple kMissingTriple{100.0f, 1.0f, 50.0f};

// An array of limit objects fills entries 0 .. min(length, 6)-1; entries
// beyond, and entries that are not objects, keep their values.
void readTripleArray(Json::Value& parent, const char* key, st_triple* out, const char* missingLine,
                     const char* func) {
  if (isMissing(parent, key) || !parent[key].isArray()) {
    zelor::log::lineLog("ERROR", func, __FILE__, __LINE__, "%s", missingLine);
    return;
  }
  Json::Value& array = parent[key];
  const unsigned n = std::min(array.size(), static_cast<unsigned>(kAxisCount));
  for (unsigned i = 0; i < n; ++i) {
    if (auto t = readTriple(array[i], key, func)) out[i] = *t;
  }
}

// A single limit that takes {100, 1, 50} when missing or not an object.
st_triple tripleOrDefault(Json::Value& parent, const char* key, const char* func) {
  if (isMissing(parent, key)) return kMissingTriple;
  return readTriple(parent[key], key, func).value_or(kMissingTriple);
}

// One limit array of a section: section.group.key. A missing group is skipped
// without a line.
struct GroupArray {
  const char* group;
  const char* key;
  st_triple* out;
  const char* missingLine;
};

template <size_t N>
void readGroupArrays(Json::Value& section, const GroupArray (&rows)[N], const char* func) {
  for (const GroupArray& row : rows) {
    if (isMissing(section, row.group)) continue;
    readTripleArray(section[row.group], row.key, row.out, row.missingLine, func);
  }
}

}  // namespace

void JsonProjectReader::st_ratiodefault_load() {
  Json::Value root;
  readSettings(projectPath("properties/ratio_default.json"), root, __func__);
  if (isMissing(root, "playback")) return;
  Json::Value& playbackLimits = root["playback"];

  struct Row {
    const char* key;
    st_triple st_ratiodefault::*field;
  };
  static constexpr Row kRows[] = {
      {"joint_vel", &st_ratiodefault::joint_vel},
      {"joint_acc", &st_ratiodefault::joint_acc},
      {"joint_jerk", &st_ratiodefault::joint_jerk},
      {"coord_vel", &st_ratiodefault::coord_vel},
      {"coord_acc", &st_ratiodefault::coord_acc},
      {"coord_jerk", &st_ratiodefault::coord_jerk},
      {"arch_startHeight", &st_ratiodefault::arch_startHeight},
      {"arch_endHeight", &st_ratiodefault::arch_endHeight},
      {"arch_zLimit", &st_ratiodefault::arch_zLimit},
  };
  for (const Row& row : kRows) {
    if (isMissing(playbackLimits, row.key)) continue;
    if (auto t = readTriple(playbackLimits[row.key], row.key, __func__)) ratioDefault.*row.field = *t;
  }
}

void JsonProjectReader::st_default_load() {
  Json::Value root;
  readSettings(projectPath("properties/default.json"), root, __func__);

  if (isMissing(root, "common")) {
    limits.commonRatio = kMissingTriple;
  } else {
    limits.commonRatio = tripleOrDefault(root["common"], "ratio", __func__);
  }

  if (isMissing(root, "teach")) {
    ZLOG_ERROR("Can't find teach default param");
  } else {
    const GroupArray rows[] = {
        {"joint", "velocity", limits.teachJointVelocity, "Can't find teach joint velocity default param"},
        {"joint", "acceleration", limits.teachJointAcceleration, "Can't find teach joint acceleration default param"},
        {"coordinate", "velocity", limits.teachCoordinateVelocity,
         "Can't find teach coordinate velocity default param"},
        {"coordinate", "acceleration", limits.teachCoordinateAcceleration,
         "Can't find teach coordinate acceleration default param"},
    };
    readGroupArrays(root["teach"], rows, __func__);
  }

  if (isMissing(root, "driver")) {
    ZLOG_ERROR("Can't find driver default param");
  } else {
    Json::Value& driverLimits = root["driver"];
    struct Row {
      const char* key;
      st_triple (&out)[kAxisCount];
    };
    const Row rows[] = {
        {"velocityP", limits.driverVelocityP},
        {"velocityI", limits.driverVelocityI},
        {"positionP", limits.driverPositionP},
        {"speedFeedForward", limits.driverSpeedFeedForward},
        {"loadInertiaRatio", limits.driverLoadInertiaRatio},
    };
    for (const Row& row : rows) {
      if (isMissing(driverLimits, row.key)) continue;
      if (!driverLimits[row.key].isArray()) {
        ZLOG_ERROR("Can't find driver %s default param", row.key);
        continue;
      }
      readTripleArray(driverLimits, row.key, row.out, "", __func__);
    }
  }

  if (isMissing(root, "playback")) return;
  Json::Value& playbackLimits = root["playback"];
  const GroupArray rows[] = {
      {"joint", "velocity", limits.playbackJointVelocity, "Can't find playback joint velocity default param"},
      {"joint", "acceleration", limits.playbackJointAcceleration,
       "Can't find playback joint acceleration default param"},
      {"joint", "jerk", limits.playbackJointJerk, "Can't find playback joint jerk default param"},
      {"coordinate", "velocity", limits.playbackCoordinateVelocity,
       "Can't find playback coordinate velocity default param"},
      {"coordinate", "acceleration", limits.playbackCoordinateAcceleration,
       "Can't find playback coordinate acceleration default param"},
      {"coordinate", "jerk", limits.playbackCoordinateJerk, "Can't find playback coordinate jerk default param"},
  };
  readGroupArrays(playbackLimits, rows, __func__);
  if (!isMissing(playbackLimits, "arch")) {
    Json::Value& archLimits = playbackLimits["arch"];
    limits.archStartHeight = tripleOrDefault(archLimits, "startHeight", __func__);
    limits.archEndHeight = tripleOrDefault(archLimits, "endHeight", __func__);
    limits.archZLimit = tripleOrDefault(archLimits, "zLimit", __func__);
  }
}

st_structure* JsonProjectReader::RegexStructureParams() {
  Json::Value root;
  readSettings(projectPath("properties/structure.json"), root, __func__);
  st_structure& s = *structure;

  if (isMissing(root, "structure")) {
    ZLOG_ERROR("Can't find structure params");
  } else {
    Json::Value& arm = root["structure"];
    struct Row {
      const char* key;
      double st_structure::*field;
    };
    static constexpr Row kRows[] = {
        {"L1", &st_structure::L1}, {"L2", &st_structure::L2}, {"L3", &st_structure::L3},
        {"L4", &st_structure::L4}, {"L5", &st_structure::L5}, {"L6", &st_structure::L6},
        {"L7", &st_structure::L7}, {"a1", &st_structure::a1}, {"a2", &st_structure::a2},
        {"a3", &st_structure::a3}, {"a4", &st_structure::a4}, {"a5", &st_structure::a5},
        {"a6", &st_structure::a6},
    };
    for (const Row& row : kRows) s.*row.field = member<double>(arm, row.key, __func__).value_or(0.0);

    if (isMissing(arm, "limits") || !arm["limits"].isArray()) {
      ZLOG_ERROR("Structure params limits is not array");
    } else {
      Json::Value& rows = arm["limits"];
      const unsigned n = std::min(rows.size(), static_cast<unsigned>(kAxisCount));
      for (unsigned j = 0; j < n; ++j) {
        Json::Value& pair = rows[j];
        if (!pair.isArray() || pair.size() < 2) {
          ZLOG_WARN("get limits error");
          continue;
        }
        auto first = zelor::config::element<double>(pair, 0, "limits", __func__);
        auto second = zelor::config::element<double>(pair, 1, "limits", __func__);
        if (first && second) {
          s.limits[j][0] = *first;
          s.limits[j][1] = *second;
        }
      }
    }
    s.singularity12 = member<double>(arm, "singularity12", __func__).value_or(0.0);
  }

  if (isMissing(root, "motors")) {
    ZLOG_ERROR("Can't find motors params");
    return structure.get();
  }
  Json::Value& motors = root["motors"];
  if (!motors.isArray()) {
    ZLOG_ERROR("motors params is not array");
    return structure.get();
  }
  const unsigned n = std::min(motors.size(), static_cast<unsigned>(kAxisCount));
  for (unsigned j = 0; j < n; ++j) {
    Json::Value& entry = motors[j];
    st_motor& m = s.motors[j];
    m.simulated = member<bool>(entry, "simulated", __func__).value_or(false);
    m.composite = member<bool>(entry, "composite", __func__).value_or(false);
    if (isMissing(entry, "motor")) {
      m.type.clear();
      m.rated = 3000;
      m.limit = 3500;
      m.inverted = false;
    } else {
      Json::Value& motor = entry["motor"];
      m.type = QString::fromStdString(member<std::string>(motor, "type", __func__).value_or(""));
      m.inverted = member<bool>(motor, "inverted", __func__).value_or(false);
      m.rated = member<double>(motor, "rated", __func__).value_or(0.0);
      m.limit = member<double>(motor, "limit", __func__).value_or(0.0);
    }
    if (isMissing(entry, "encoder")) {
      m.encoderType.clear();
      m.bitNum = 17;
    } else {
      Json::Value& encoder = entry["encoder"];
      m.encoderType = QString::fromStdString(member<std::string>(encoder, "type", __func__).value_or(""));
      m.bitNum = member<double>(encoder, "bitNum", __func__).value_or(0.0);
    }
    if (isMissing(entry, "gearBox")) {
      m.gearBoxNum = 101;
      m.gearBoxDen = 1;
    } else {
      Json::Value& gearBox = entry["gearBox"];
      m.gearBoxNum = member<double>(gearBox, "num", __func__).value_or(0.0);
      m.gearBoxDen = member<double>(gearBox, "den", __func__).value_or(0.0);
    }
    if (isMissing(entry, "positionScaling")) {
      m.positionScalingNum = 360;
      m.positionScalingDen = 1;
    } else {
      Json::Value& scaling = entry["positionScaling"];
      m.positionScalingNum = member<double>(scaling, "num", __func__).value_or(0.0);
      m.positionScalingDen = member<double>(scaling, "den", __func__).value_or(0.0);
    }
  }
  return structure.get();
}
