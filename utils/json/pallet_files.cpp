// Matrix and taught pallets of a pallet file.
#include <algorithm>
#include <cstdio>
#include <vector>

#include <json/value.h>

#include "json/json_project_reader.h"
#include "json/pallet_records.h"
#include "json/settings_json.h"
#include "log/line_log.h"

using zelor::config::isMissing;
using zelor::config::member;

namespace {

// The pallet element index of the array at path, or null (with the loaders'
// lines) when there is none.
Json::Value* palletElement(JsonProjectReader& reader, Json::Value& root, int index, const char* path) {
  const int size = reader.ReadJsonArray(path, root);
  std::printf("############# GetPalletInfo path: %s, size : %d, index : %d\n", path, size, index);
  if (!root.isArray() || index < 0 || index >= static_cast<int>(root.size())) {
    std::printf("JsonProjectReader::GetPalletInfo error\n");
    return nullptr;
  }
  return &root[static_cast<unsigned>(index)];
}

// Each member of point present in group overwrites its field.
void readPoint(Json::Value& item, const char* group, const char* rKey, stPalletPoint& point, const char* func) {
  Json::Value& g = item[group];
  if (auto v = member<double>(g, "x", func)) point.x = *v;
  if (auto v = member<double>(g, "y", func)) point.y = *v;
  if (auto v = member<double>(g, "z", func)) point.z = *v;
  if (auto v = member<double>(g, rKey, func)) point.r = *v;
  std::printf("### %s: %f, %f, %f, %f ###\n", group, point.x, point.y, point.z, point.r);
}

void readArmOrientation(Json::Value& item, std::string& arm, const char* func) {
  if (isMissing(item, "armOrientation")) {
    arm = "Left";
    std::printf("### armOrientation: nil,set to %s ###\n", arm.c_str());
  } else {
    arm = member<std::string>(item, "armOrientation", func).value_or("Left");
    std::printf("### direction: %s ###\n", arm.c_str());
  }
}

void readPreparePoint(Json::Value& item, bool& present, stPalletPoint& point, const char* func) {
  present = !isMissing(item, "preparePoint");
  if (present) readPoint(item, "preparePoint", "r", point, func);
}

}  // namespace

int JsonProjectReader::GetMatrixPalletInfo(int index, stMatrixPallet* pallet, const char* path) {
  if (pallet == nullptr || path == nullptr) return 0;
  Json::Value root;
  Json::Value* found = palletElement(*this, root, index, path);
  if (found == nullptr) return 0;
  Json::Value& item = *found;
  stMatrixPallet& p = *pallet;

  if (auto v = member<int>(item, "direction", __func__)) p.direction = *v;
  readArmOrientation(item, p.armOrientation, __func__);
  if (!isMissing(item, "count")) {
    Json::Value& count = item["count"];
    if (auto v = member<int>(count, "x", __func__)) p.countX = *v;
    if (auto v = member<int>(count, "y", __func__)) p.countY = *v;
    if (auto v = member<int>(count, "z", __func__)) p.countZ = *v;
    std::printf("### count: %d, %d, %d ###\n", p.countX, p.countY, p.countZ);
  }
  if (!isMissing(item, "distance")) {
    Json::Value& distance = item["distance"];
    if (auto v = member<double>(distance, "x", __func__)) p.distanceX = *v;
    if (auto v = member<double>(distance, "y", __func__)) p.distanceY = *v;
    if (auto v = member<double>(distance, "z", __func__)) p.distanceZ = *v;
    std::printf("### distance: %f, %f, %f ###\n", p.distanceX, p.distanceY, p.distanceZ);
  }
  if (!isMissing(item, "firstPoint")) readPoint(item, "firstPoint", "a", p.firstPoint, __func__);
  if (!isMissing(item, "safePoint")) {
    readPoint(item, "safePoint", "r", p.safePoint, __func__);
    if (auto v = member<bool>(item["safePoint"], "auto", __func__)) p.safePointAuto = *v;
  }
  readPreparePoint(item, p.hasPreparePoint, p.preparePoint, __func__);
  if (auto v = member<int>(item, "userCoord", __func__)) p.userCoord = *v;
  std::printf("### userCoord: %d ###\n", p.userCoord);
  return 1;
}

int JsonProjectReader::GetTeachPalletInfo(int index, stTeachPallet* pallet, const char* path) {
  if (pallet == nullptr || path == nullptr) return 0;
  Json::Value root;
  Json::Value* found = palletElement(*this, root, index, path);
  if (found == nullptr) return 0;
  Json::Value& item = *found;
  stTeachPallet& p = *pallet;

  readArmOrientation(item, p.armOrientation, __func__);
  if (auto v = member<int>(item, "countLayer", __func__)) p.countLayer = *v;
  if (auto v = member<int>(item, "circleLayer", __func__)) p.circleLayer = *v;
  if (auto v = member<int>(item, "userCoord", __func__)) p.userCoord = *v;
  std::printf("### countLayer: %d, circleLayer: %d, userCoord: %d ###\n", p.countLayer, p.circleLayer, p.userCoord);

  // The period layers as taught; the pallet keeps copies in sequence order.
  std::vector<stPalletLayer> periods;
  if (!isMissing(item, "layout") && item["layout"].isArray()) {
    Json::Value& layout = item["layout"];
    if (layout.size() > static_cast<unsigned>(kPalletLayers)) {
      ZLOG_WARN("layout holds %u layers, only %d are kept", layout.size(), kPalletLayers);
    }
    periods.resize(std::min(layout.size(), static_cast<unsigned>(kPalletLayers)));
    int total = 0;
    for (unsigned i = 0; i < periods.size(); ++i) {
      Json::Value& layer = layout[i];
      stPalletLayer& period = periods[i];
      period.index = static_cast<std::int32_t>(i);
      period.height = member<int>(layer, "layerHigh", __func__).value_or(0);
      period.pointCount = 0;
      if (!isMissing(layer, "points") && layer["points"].isArray()) {
        Json::Value& points = layer["points"];
        if (points.size() > static_cast<unsigned>(kPalletLayerPoints)) {
          ZLOG_WARN("layout[%u] holds %u points, only %d are kept", i, points.size(), kPalletLayerPoints);
        }
        for (unsigned k = 0; k < points.size() && k < static_cast<unsigned>(kPalletLayerPoints); ++k) {
          Json::Value& pt = points[k];
          stPalletPoint& out = period.points[k];
          out.x = member<double>(pt, "x", __func__).value_or(0.0);
          out.y = member<double>(pt, "y", __func__).value_or(0.0);
          out.z = member<double>(pt, "z", __func__).value_or(0.0);
          out.r = member<double>(pt, "r", __func__).value_or(0.0);
          ++period.pointCount;
        }
      }
      total += period.pointCount;
      std::printf("### layout[%u]: layerHigh %f, points %d ###\n", i, period.height, period.pointCount);
    }
    p.totalPoints = total;
    std::printf("### teach period Part Num = %d ###\n", p.totalPoints);
  }

  if (!isMissing(item, "layoutSeq") && item["layoutSeq"].isArray()) {
    Json::Value& seq = item["layoutSeq"];
    p.layerCount = 0;
    p.totalHeight = 0.0;
    for (unsigned i = 0; i < seq.size(); ++i) {
      const int number = zelor::config::convert<int>(seq[i]).value_or(0);
      if (number < 1 || number > static_cast<int>(periods.size())) {
        ZLOG_ERROR("layoutSeq[%u] = %d names no taught layer", i, number);
        continue;
      }
      if (p.layerCount >= kPalletLayers) {
        ZLOG_ERROR("layoutSeq holds more than %d layers, the rest are left out", kPalletLayers);
        break;
      }
      p.layerSeq[p.layerCount] = number;
      p.layers[p.layerCount] = periods[static_cast<std::size_t>(number - 1)];
      p.totalHeight += p.layers[p.layerCount].height;
      ++p.layerCount;
      std::printf("### layoutSeq[%u]: %d ###\n", i, number);
    }
    std::printf("### total height: %f ###\n", p.totalHeight);
  }

  if (!isMissing(item, "transPoint")) {
    readPoint(item, "transPoint", "r", p.transPoint, __func__);
    if (auto v = member<bool>(item["transPoint"], "auto", __func__)) p.transPointAuto = *v;
  }
  readPreparePoint(item, p.hasPreparePoint, p.preparePoint, __func__);
  return 1;
}
