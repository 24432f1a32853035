// Remote-control selection, conveyor tracking configurations and pallets.
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include <json/value.h>

#include <gtest/gtest.h>

#include "json/json_project_reader.h"
#include "json/pallet_records.h"
#include "settings_tree.h"

using namespace zelor::test;

namespace {

constexpr const char* kTracking = "process/tracking.json";

const char* kCamera = R"({"user_coord": 1, "data_source": 1, "conveyor_index": 2, "conveyor_type": 3,
  "work_min": 10.5, "pick_max": 20, "work_max": 30, "encoder_channel": 1, "resolution": 12.25, "direction": 1,
  "camera": {"trigger_DO": 5, "trigger_type": 1, "repeat_threshold": 2.5, "shot_interval": 100,
             "data_uint_type": 2, "camera_coord": [1, 2, 3, 90, 0, 0, 99], "camera_mat": [1, 2, 3, 4, 5, 6, 7, 8, 9, 10],
             "height": 480, "width": 640}})";

const char* kSensor = R"({"data_source": 0, "conveyor_index": 1, "conveyor_type": 0,
  "work_min": 1, "pick_max": 2, "work_max": 3, "encoder_channel": 0, "resolution": 4, "direction": 0,
  "sensor": {"communication_DI": 7, "trigger_type": 0, "repeat_threshold": 5, "sensor_coord": [4, 5, 6, 0, 0, 0],
             "camera_mat": [9, 9, 9]}})";

Conveyor filled(unsigned char byte) {
  Conveyor c;
  std::memset(&c, byte, sizeof c);
  return c;
}

}  // namespace

TEST(RemoteControl, SelectionIsSavedAndReadBack) {
  JsonProjectReader reader;
  EXPECT_EQ(reader.set_remotectrl_conf("demo", "io"), 1);
  std::string name;
  std::string mode;
  EXPECT_EQ(reader.get_remotectrl_conf(name, mode), 1);
  EXPECT_EQ(name, "demo");
  EXPECT_EQ(mode, "io");

  // A folder that cannot hold the file: the failure is reported.
  std::filesystem::remove_all(projectFile("settings/function"));
  writeFile("settings/function", "");
  EXPECT_EQ(reader.set_remotectrl_conf("demo", "modbus"), 0);
}

TEST(ConveyorTracking, CameraConveyorFillsTheKernelRecord) {
  writeFile(kTracking, std::string("[") + kSensor + ", " + kCamera + "]");
  writeFile("settings/coordinate/user.json", R"([{"params": [0]}, {"params": [100, 200, 300, 45, 0, 0, 7]}])");
  JsonProjectReader reader;
  Conveyor c = filled(0);
  EXPECT_EQ(reader.getAutoTraceConfig(1, c), 2);
  EXPECT_EQ(c.conveyorIndex, 2);
  EXPECT_EQ(c.conveyorType, 3);
  EXPECT_EQ(c.dataSource, 1);
  const float frame[6] = {100, 200, 300, 45, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c.conveyorFrame[i], frame[i]) << i;
  const float vision[6] = {1, 2, 3, 90, 0, 0};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(c.visionFrame[i], vision[i]) << i;
  for (int i = 0; i < 9; ++i) EXPECT_EQ(c.visionMatrix[i], i + 1.0f) << i;
  EXPECT_EQ(c.workArea[0], 10.5f);
  EXPECT_EQ(c.workArea[1], 20.0f);
  EXPECT_EQ(c.workArea[2], 30.0f);
  EXPECT_EQ(c.encoderChannel, 1);
  EXPECT_EQ(c.encoderResolution, 12.25f);
  EXPECT_EQ(c.direction, 1);
  EXPECT_EQ(c.cameraTriggerOutput, 5);
  EXPECT_EQ(c.cameraTriggerType, 1);
  EXPECT_EQ(c.cameraRepeatDistance, 2.5f);
  EXPECT_EQ(c.triggerDistance, 100.0f);
  EXPECT_EQ(c.dataUnitType, 2);
  EXPECT_EQ(c.imageHeight, 480);
  EXPECT_EQ(c.imageWidth, 640);
  EXPECT_EQ(c.sensorInput, 0) << "the sensor block is not read for a camera";
}

TEST(ConveyorTracking, SensorConveyorHasNoCameraMatrix) {
  writeFile(kTracking, std::string("[") + kSensor + "]");
  JsonProjectReader reader;
  Conveyor c = filled(0x41);
  EXPECT_EQ(reader.getAutoTraceConfig(0, c), 1);
  for (float m : c.visionMatrix) EXPECT_EQ(m, 0.0f);
  EXPECT_EQ(c.sensorInput, 7);
  EXPECT_EQ(c.sensorTriggerType, 0);
  EXPECT_EQ(c.sensorRepeatDistance, 5.0f);
  EXPECT_EQ(c.visionFrame[2], 6.0f);
  EXPECT_EQ(c.conveyorIndex, 1);
  EXPECT_EQ(c.conveyorFrame[0], filled(0x41).conveyorFrame[0]) << "no user_coord: the frame is left";
}

TEST(ConveyorTracking, BadInputsLeaveTheRecordAlone) {
  writeFile(kTracking, std::string("[") + kSensor + ", " + kCamera + "]");
  JsonProjectReader reader;
  const Conveyor before = filled(0x5a);
  for (int index : {-1, 2, 1000}) {
    Conveyor c = before;
    EXPECT_EQ(reader.getAutoTraceConfig(index, c), 2) << index;
    EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0) << index;
  }

  // A user frame number that names no frame leaves the conveyor frame.
  writeFile(kTracking, R"([{"user_coord": 12, "conveyor_index": 1}])");
  Conveyor c = before;
  EXPECT_EQ(reader.getAutoTraceConfig(0, c), 1);
  EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0);

  removeFile(kTracking);
  EXPECT_EQ(reader.getAutoTraceConfig(0, c), 0);
  writeFile(kTracking, R"({"conveyor_index": 1})");
  EXPECT_EQ(reader.getAutoTraceConfig(0, c), 0);
  EXPECT_EQ(std::memcmp(&c, &before, sizeof c), 0);
}

TEST(ConveyorTracking, AMissingGroupStopsTheFilling) {
  struct Case {
    const char* element;
    const char* line;
    unsigned char index;
    float workMax;
    unsigned char channel;
  };
  const Case cases[] = {
      {R"({"conveyor_type": 1, "work_min": 1, "pick_max": 2, "work_max": 3})", "isEmptyItem ...", 0x5a, 0, 0x5a},
      {R"({"conveyor_index": 1, "conveyor_type": 1, "work_min": 1, "work_max": 3})", "isEmptyItem ...", 1, 0, 0x5a},
      {R"({"conveyor_index": 1, "conveyor_type": 1, "work_min": 1, "pick_max": 2, "work_max": 3,
           "encoder_channel": 2, "resolution": 1, "direction": 0, "data_source": 1, "camera": {"trigger_DO": 1}})",
       "camera isEmptyItem ...", 1, 3, 2},
      {R"({"conveyor_index": 1, "conveyor_type": 1, "work_min": 1, "pick_max": 2, "work_max": 3,
           "encoder_channel": 2, "resolution": 1, "direction": 0, "data_source": 0})",
       "sensor isEmptyItem ...", 1, 3, 2},
  };
  JsonProjectReader reader;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.element);
    writeFile(kTracking, std::string("[") + c.element + "]");
    Conveyor conveyor = filled(0x5a);
    const float untouched = conveyor.workArea[2];
    OutputCapture output;
    EXPECT_EQ(reader.getAutoTraceConfig(0, conveyor), 1);
    EXPECT_EQ(output.count(c.line), 1u) << output.text();
    EXPECT_EQ(conveyor.conveyorIndex, c.index);
    EXPECT_EQ(conveyor.workArea[2], c.workMax == 0 ? untouched : c.workMax);
    EXPECT_EQ(conveyor.encoderChannel, c.channel);
  }
}

TEST(Pallets, MatrixPalletDefaultsAndValues) {
  writeFile("process/pallet/matrix.json", R"([
    {"direction": 1, "count": {"x": 2, "y": 3, "z": 4}},
    {"armOrientation": "Right", "direction": 2, "count": {"x": 5, "y": 6, "z": 7},
     "distance": {"x": 10.5, "y": 11, "z": 12}, "firstPoint": {"x": 1, "y": 2, "z": 3, "a": 45},
     "safePoint": {"x": 4, "y": 5, "z": 6, "r": 7, "auto": true},
     "preparePoint": {"x": 8, "y": 9, "z": 10, "r": 11}, "userCoord": 3}])");
  const std::string path = projectFile("process/pallet/matrix.json");
  JsonProjectReader reader;
  auto pallet = std::make_unique<stMatrixPallet>();
  pallet->hasPreparePoint = true;
  ASSERT_EQ(reader.GetMatrixPalletInfo(0, pallet.get(), path.c_str()), 1);
  EXPECT_EQ(pallet->armOrientation, "Left");
  EXPECT_FALSE(pallet->hasPreparePoint);
  EXPECT_EQ(pallet->countY, 3);

  ASSERT_EQ(reader.GetMatrixPalletInfo(1, pallet.get(), path.c_str()), 1);
  EXPECT_EQ(pallet->armOrientation, "Right");
  EXPECT_EQ(pallet->direction, 2);
  EXPECT_EQ(pallet->distanceX, 10.5);
  EXPECT_EQ(pallet->firstPoint.r, 45.0);
  EXPECT_EQ(pallet->safePoint.r, 7.0);
  EXPECT_TRUE(pallet->safePointAuto);
  EXPECT_TRUE(pallet->hasPreparePoint);
  EXPECT_EQ(pallet->preparePoint.z, 10.0);
  EXPECT_EQ(pallet->userCoord, 3);

  for (int index : {-1, 2}) {
    OutputCapture output;
    EXPECT_EQ(reader.GetMatrixPalletInfo(index, pallet.get(), path.c_str()), 0) << index;
    EXPECT_EQ(output.count("JsonProjectReader::GetPalletInfo error"), 1u) << output.text();
  }
  EXPECT_EQ(pallet->userCoord, 3);
  EXPECT_EQ(reader.GetMatrixPalletInfo(0, nullptr, path.c_str()), 0);
  EXPECT_EQ(reader.GetMatrixPalletInfo(0, pallet.get(), nullptr), 0);
  EXPECT_EQ(reader.GetMatrixPalletInfo(0, pallet.get(), projectFile("process/pallet/none.json").c_str()), 0);
}

TEST(Pallets, TaughtPalletStacksLayersInSequence) {
  writeFile("process/pallet/teach.json", R"([{"countLayer": 4, "circleLayer": 2, "userCoord": 1,
    "layout": [{"layerHigh": 10.7, "points": [{"x": 1, "y": 2, "z": 3, "r": 4}]},
               {"layerHigh": 25, "points": [{"x": 5, "y": 6, "z": 7, "r": 8}, {"x": 9, "y": 10, "z": 11, "r": 12}]}],
    "layoutSeq": [2, 3, 0, 1],
    "transPoint": {"x": 1, "y": 1, "z": 1, "r": 1, "auto": true}}])");
  JsonProjectReader reader;
  auto pallet = std::make_unique<stTeachPallet>();
  OutputCapture output;
  ASSERT_EQ(reader.GetTeachPalletInfo(0, pallet.get(), projectFile("process/pallet/teach.json").c_str()), 1);
  EXPECT_EQ(output.count("names no taught layer"), 2u) << output.text();
  EXPECT_EQ(pallet->armOrientation, "Left");
  EXPECT_EQ(pallet->countLayer, 4);
  EXPECT_EQ(pallet->totalPoints, 3);
  ASSERT_EQ(pallet->layerCount, 2);
  EXPECT_EQ(pallet->layerSeq[0], 2);
  EXPECT_EQ(pallet->layers[0].index, 1);
  EXPECT_EQ(pallet->layers[0].pointCount, 2);
  EXPECT_EQ(pallet->layers[0].points[1].r, 12.0);
  EXPECT_EQ(pallet->layers[1].index, 0);
  EXPECT_EQ(pallet->layers[1].height, 10.0) << "layerHigh is read as an integer";
  EXPECT_EQ(pallet->totalHeight, 35.0);
  EXPECT_TRUE(pallet->transPointAuto);
  EXPECT_FALSE(pallet->hasPreparePoint);
}

TEST(Pallets, TaughtPalletNeverStoresBeyondItsRecord) {
  std::string points;
  for (int i = 0; i < 200; ++i) points += std::string(i ? "," : "") + R"({"x": )" + std::to_string(i) + "}";
  std::string seq;
  for (int i = 0; i < 50; ++i) seq += std::string(i ? "," : "") + "1";
  writeFile("process/pallet/big.json",
            R"([{"layout": [{"layerHigh": 1, "points": [)" + points + R"(]}], "layoutSeq": [)" + seq + "]}]");
  JsonProjectReader reader;
  auto pallet = std::make_unique<stTeachPallet>();
  ASSERT_EQ(reader.GetTeachPalletInfo(0, pallet.get(), projectFile("process/pallet/big.json").c_str()), 1);
  EXPECT_EQ(pallet->layerCount, kPalletLayers);
  EXPECT_EQ(pallet->layers[kPalletLayers - 1].pointCount, kPalletLayerPoints);
  EXPECT_EQ(pallet->layers[0].points[kPalletLayerPoints - 1].x, kPalletLayerPoints - 1.0);
  EXPECT_EQ(pallet->totalHeight, static_cast<double>(kPalletLayers));

  EXPECT_EQ(reader.GetTeachPalletInfo(1, pallet.get(), projectFile("process/pallet/big.json").c_str()), 0);
}

TEST(Pallets, ArrayFileMessages) {
  JsonProjectReader reader;
  Json::Value out;
  struct Case {
    const char* content;  // null: no file
    int count;
    const char* line;
  };
  const Case cases[] = {
      {nullptr, 0, "error: no find this file ###"},
      {"[1, 2", 0, "] error"},
      {"null", 0, "error, nothing"},
      {"[1, 2, 3]", 3, nullptr},
  };
  for (const Case& c : cases) {
    if (c.content) {
      writeFile("process/array.json", c.content);
    } else {
      removeFile("process/array.json");
    }
    OutputCapture output;
    EXPECT_EQ(reader.ReadJsonArray(projectFile("process/array.json").c_str(), out), c.count);
    if (c.line) {
      EXPECT_EQ(output.count(c.line), 1u) << output.text();
    }
  }
}
