// Conveyor tracking configurations, process/tracking.json, into the kernel's
// conveyor record.
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <optional>

#include <json/value.h>

#include "json/json_project_reader.h"
#include "json/settings_json.h"
#include "log/line_log.h"

using zelor::config::convert;
using zelor::config::isMissing;
using zelor::config::member;
using zelor::config::projectPath;

namespace {

// Numbers of an array member into out, at most n of them; returns how many.
unsigned copyNumbers(const Json::Value& array, float* out, unsigned n, const char* name) {
  if (!array.isArray()) return 0;
  unsigned stored = 0;
  for (unsigned i = 0; i < array.size() && i < n; ++i) {
    out[i] = convert<float>(array[i]).value_or(0.0f);
    std::printf("### %s[%u]: %f ###\n", name, i, out[i]);
    ++stored;
  }
  return stored;
}

// Every key of a group present, or the group counts as missing.
bool allPresent(Json::Value& item, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    if (isMissing(item, key)) return false;
  }
  return true;
}

std::uint8_t byteOf(Json::Value& item, const char* key, const char* func) {
  return static_cast<std::uint8_t>(member<int>(item, key, func).value_or(0));
}

float floatOf(Json::Value& item, const char* key, const char* func) {
  return member<float>(item, key, func).value_or(0.0f);
}

}  // namespace

int JsonProjectReader::getAutoTraceConfig(int index, Conveyor& conveyor) {
  std::printf("start getAutoTraceConfig ...\n");
  const std::string path = projectPath("process/tracking.json");
  if (!zelor::config::fileExists(path)) {
    std::printf("AUTOTRACE_PROJECT_CONFIG is not exist\n");
    return 0;
  }
  Json::Value root;
  ReadJsonArray(path.c_str(), root);
  if (!root.isArray()) return 0;
  const int count = static_cast<int>(root.size());
  std::printf("start parse json value ...\n");
  if (index < 0 || index >= count) {
    ZLOG_ERROR("conveyor %d is not configured, %d conveyors", index, count);
    return count;
  }
  Json::Value& item = root[static_cast<unsigned>(index)];

  if (auto userIndex = member<int>(item, "user_coord", __func__)) {
    Json::Value frames;
    ReadJsonArray(projectPath("settings/coordinate/user.json").c_str(), frames);
    if (frames.isArray() && *userIndex >= 0 && static_cast<unsigned>(*userIndex) < frames.size()) {
      Json::Value& frame = frames[static_cast<unsigned>(*userIndex)];
      if (!isMissing(frame, "params") && frame["params"].isArray()) {
        std::printf("### cConv size: %d ###\n", static_cast<int>(frame["params"].size()));
        copyNumbers(frame["params"], conveyor.conveyorFrame, 6, "cConv");
      }
    } else {
      ZLOG_ERROR("user frame %d not found", *userIndex);
    }
  }
  if (auto source = member<int>(item, "data_source", __func__)) {
    conveyor.dataSource = static_cast<std::uint8_t>(*source);
    std::printf("### data_source: %d ###\n", conveyor.dataSource);
  }

  if (!allPresent(item, {"conveyor_index", "conveyor_type"})) {
    std::printf("isEmptyItem ...\n");
    return count;
  }
  conveyor.conveyorIndex = byteOf(item, "conveyor_index", __func__);
  conveyor.conveyorType = byteOf(item, "conveyor_type", __func__);
  std::printf("### conveyor_index: %d, conveyor_type: %d ###\n", conveyor.conveyorIndex, conveyor.conveyorType);

  if (!allPresent(item, {"work_min", "pick_max", "work_max"})) {
    std::printf("isEmptyItem ...\n");
    return count;
  }
  conveyor.workArea[0] = floatOf(item, "work_min", __func__);
  conveyor.workArea[1] = floatOf(item, "pick_max", __func__);
  conveyor.workArea[2] = floatOf(item, "work_max", __func__);
  std::printf("### work_min: %f, pick_max: %f, work_max: %f ###\n", conveyor.workArea[0], conveyor.workArea[1],
              conveyor.workArea[2]);

  if (!allPresent(item, {"encoder_channel", "resolution", "direction"})) {
    std::printf("isEmptyItem ...\n");
    return count;
  }
  conveyor.encoderChannel = byteOf(item, "encoder_channel", __func__);
  conveyor.encoderResolution = floatOf(item, "resolution", __func__);
  conveyor.direction = byteOf(item, "direction", __func__);
  std::printf("### encoder_channel: %d, resolution: %f, direction: %d ###\n", conveyor.encoderChannel,
              conveyor.encoderResolution, conveyor.direction);

  if (conveyor.dataSource == 1) {
    if (isMissing(item, "camera") ||
        !allPresent(item["camera"], {"trigger_DO", "trigger_type", "repeat_threshold", "shot_interval",
                                     "data_uint_type", "camera_coord", "camera_mat", "height", "width"})) {
      std::printf("camera isEmptyItem ...\n");
      return count;
    }
    Json::Value& camera = item["camera"];
    conveyor.cameraTriggerOutput = byteOf(camera, "trigger_DO", __func__);
    conveyor.cameraTriggerType = byteOf(camera, "trigger_type", __func__);
    conveyor.cameraRepeatDistance = floatOf(camera, "repeat_threshold", __func__);
    conveyor.triggerDistance = floatOf(camera, "shot_interval", __func__);
    conveyor.dataUnitType = byteOf(camera, "data_uint_type", __func__);
    conveyor.imageHeight = static_cast<std::uint16_t>(member<int>(camera, "height", __func__).value_or(0));
    conveyor.imageWidth = static_cast<std::uint16_t>(member<int>(camera, "width", __func__).value_or(0));
    std::printf("### camera trigger_DO: %d, trigger_type: %d, repeat_threshold: %f, shot_interval: %f ###\n",
                conveyor.cameraTriggerOutput, conveyor.cameraTriggerType, conveyor.cameraRepeatDistance,
                conveyor.triggerDistance);
    std::printf("### camera data_uint_type: %d, height: %d, width: %d ###\n", conveyor.dataUnitType,
                conveyor.imageHeight, conveyor.imageWidth);
    copyNumbers(camera["camera_coord"], conveyor.visionFrame, 6, "camera_coord");
    copyNumbers(camera["camera_mat"], conveyor.visionMatrix, 9, "camera_mat");
  } else if (conveyor.dataSource == 0) {
    if (isMissing(item, "sensor") ||
        !allPresent(item["sensor"], {"communication_DI", "trigger_type", "repeat_threshold", "sensor_coord"})) {
      std::printf("sensor isEmptyItem ...\n");
      return count;
    }
    Json::Value& sensor = item["sensor"];
    conveyor.sensorInput = byteOf(sensor, "communication_DI", __func__);
    conveyor.sensorTriggerType = byteOf(sensor, "trigger_type", __func__);
    conveyor.sensorRepeatDistance = floatOf(sensor, "repeat_threshold", __func__);
    std::printf("### sensor communication_DI: %d, trigger_type: %d, repeat_threshold: %f ###\n",
                conveyor.sensorInput, conveyor.sensorTriggerType, conveyor.sensorRepeatDistance);
    copyNumbers(sensor["sensor_coord"], conveyor.visionFrame, 6, "sensor_coord");
    // A sensor sees no image: no camera correction.
    for (float& c : conveyor.visionMatrix) c = 0.0f;
  }
  return count;
}
