// Function settings: driver gains, remote I/O pins, Modbus project selection
// and devices, multi-robot identity, fan, E-stops, external axis, point load
// and the records handed in by callers.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "json/json_project_reader.h"
#include "json/parameter_globals.h"
#include "settings_tree.h"

using namespace zelor::test;

TEST(FunctionSettings, IoCtrlPins) {
  struct Case {
    const char* file;
    int in[kIoCtrlInCount];
    int out[kIoCtrlOutCount];
    const char* line;
  };
  const Case cases[] = {
      {R"({"in": {"stop_pin": 25}})", {11, 12, 13, 0, 15, 16}, {13, 14, 15, 16, 0}, "get stop_pin error, out of range"},
      {R"({"in": {"clear_alarm": -1, "continue": 18, "pause_pin": 19}, "out": {"runstatus": 3}})",
       {0, 18, 0, 14, 15, 16}, {13, 14, 15, 3, 0}, "get clear_alarm error, out of range"},
      {R"({"in": {"start_pin": "7"}, "out": []})", {11, 12, 13, 14, 15, 16}, {13, 14, 15, 16, 0},
       "get readystatus error"},
      {R"({})", {11, 12, 13, 14, 15, 16}, {13, 14, 15, 16, 0}, "get ioctrl[in] error"},
  };
  JsonProjectReader reader;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    writeFile("settings/function/ioctrl.json", c.file);
    OutputCapture output;
    reader.st_ioctrl_load();
    for (int i = 0; i < kIoCtrlInCount; ++i) EXPECT_EQ(reader.ioctrl.inPins[i], c.in[i]) << "in " << i;
    for (int i = 0; i < kIoCtrlOutCount; ++i) EXPECT_EQ(reader.ioctrl.outPins[i], c.out[i]) << "out " << i;
    EXPECT_EQ(output.count(c.line), 1u) << output.text();
  }
}

TEST(FunctionSettings, FanControlInItsOrder) {
  struct Case {
    const char* file;
    st_fanCtrl fan;  // mode, open, close, alarm, minimum run time
  };
  const Case cases[] = {
      {R"({"alarmThreshold": 30})", {2, 89, 74, 109, 60}},
      {R"({"alarmThreshold": 80, "openThreshold": 90, "closeThreshold": 95})", {2, 80, 65, 80, 60}},
      {R"({"mode": -1, "alarmThreshold": 151, "minimumRunTime": 0})", {1, 89, 74, 109, 5}},
      {R"({"mode": 0, "alarmThreshold": 35, "openThreshold": 30, "closeThreshold": 30, "minimumRunTime": 9})",
       {0, 30, 30, 35, 9}},
      {R"({"mode": 3, "alarmThreshold": "hot"})", {1, 89, 74, 109, 60}},
  };
  JsonProjectReader reader;
  for (const Case& c : cases) {
    writeFile("settings/function/fanCtrl.json", c.file);
    reader.st_fanCtrl_load();
    EXPECT_EQ(reader.fanCtrl.mode, c.fan.mode) << c.file;
    EXPECT_EQ(reader.fanCtrl.alarmThreshold, c.fan.alarmThreshold) << c.file;
    EXPECT_EQ(reader.fanCtrl.openThreshold, c.fan.openThreshold) << c.file;
    EXPECT_EQ(reader.fanCtrl.closeThreshold, c.fan.closeThreshold) << c.file;
    EXPECT_EQ(reader.fanCtrl.minimumRunTime, c.fan.minimumRunTime) << c.file;
  }
}

TEST(FunctionSettings, MultiRobotIdentityAndItsGlobals) {
  struct Case {
    const char* file;
    int id;
    int inLine;
    const char* master;
  };
  const Case cases[] = {
      {R"({"RobotID": 11, "RobotInLine": 0})", 0, 1, ""},
      {R"({"RobotID": -2, "RobotInLine": 11, "MasterAddr": "10.0.0.2"})", 0, 1, "10.0.0.2"},
      {R"({"RobotID": 3, "RobotInLine": 4, "MasterAddr": "10.0.0.9"})", 3, 4, "10.0.0.9"},
      {R"({})", 0, 1, ""},
  };
  JsonProjectReader reader;
  for (const Case& c : cases) {
    writeFile("settings/function/multiRobotConf.json", c.file);
    reader.st_mulRobot_load();
    EXPECT_EQ(reader.mulRobot.robotId, c.id) << c.file;
    EXPECT_EQ(reader.mulRobot.robotInLine, c.inLine) << c.file;
    EXPECT_EQ(reader.mulRobot.masterAddr, c.master) << c.file;
    EXPECT_EQ(zelor::config::gRobotId, c.id);
    EXPECT_EQ(zelor::config::gRobotInLine, c.inLine);
    EXPECT_EQ(zelor::config::gMasterAddr, c.master);
  }
}

TEST(FunctionSettings, ModbusProjectSelectionLastMatchWins) {
  writeFile("settings/function/modbusctrl.json", R"({"hold": {"optionproject": 2, "projectlist": [
      {"value": 3, "name": "first"}, {"value": 1, "name": "one"}, {"value": 3, "name": "second"},
      {"value": 11, "name": "eleven"}, {"value": "2", "name": "text"}]}})");
  JsonProjectReader reader;
  EXPECT_EQ(reader.modbusCtrl.optionProject, 2);
  EXPECT_TRUE(reader.modbusCtrl.projects[2].valid);
  EXPECT_EQ(reader.modbusCtrl.projects[2].name, "second");
  EXPECT_EQ(reader.modbusCtrl.projects[0].name, "one");
  EXPECT_FALSE(reader.modbusCtrl.projects[1].valid);
  EXPECT_FALSE(reader.modbusCtrl.projects[9].valid);

  writeFile("settings/function/modbusctrl.json", R"({"hold": {}})");
  reader.st_modbusctrl_load();
  EXPECT_EQ(reader.modbusCtrl.optionProject, -1);
  EXPECT_FALSE(reader.modbusCtrl.projects[2].valid);
}

TEST(FunctionSettings, ModbusDevicesStopAtTheRecordsTen) {
  std::string devices;
  for (int i = 0; i < 14; ++i) {
    devices += i ? "," : "";
    devices += R"({"DI": {"number": )" + std::to_string(100 + i) + R"(}, "DO": {"number": )" + std::to_string(200 + i) +
               "}}";
  }
  writeFile("settings/function/modbus_io_config.json", R"({"modbusTCPDev": [)" + devices + "]}");
  OutputCapture output;
  JsonProjectReader reader;
  EXPECT_EQ(reader.modbusIO.deviceCount, kModbusDeviceCount);
  EXPECT_EQ(reader.modbusIO.diNumber[9], 109);
  EXPECT_EQ(reader.modbusIO.doNumber[9], 209);
  EXPECT_EQ(output.count("modbusTCPDev holds 14 devices"), 1u);

  // Numbers are taken only when integral; a null list changes nothing.
  writeFile("settings/function/modbus_io_config.json",
            R"({"modbusTCPDev": [{"DI": {"number": 1.5}, "DO": {"number": 7}}]})");
  reader.st_modbusIO_load();
  EXPECT_EQ(reader.modbusIO.deviceCount, 1);
  EXPECT_EQ(reader.modbusIO.diNumber[0], 100);
  EXPECT_EQ(reader.modbusIO.doNumber[0], 7);
  writeFile("settings/function/modbus_io_config.json", R"({"modbusTCPDev": null})");
  reader.st_modbusIO_load();
  EXPECT_EQ(reader.modbusIO.deviceCount, 1);
}

TEST(FunctionSettings, DriverGainsByIndexAndMotorType) {
  writeFile("settings/driver/userParams.json",
            R"([{"velocityP": [1, 2, 3, 4, 5, 6]}, {"velocityP": [9, 9, 9, 9, 9, 9]}])");
  writeFile("properties/driverParams.json", R"([{"velocityP": [7, 7, 7, 7, 7, 7], "velocityI": [1, 2, 3]}])");
  JsonProjectReader reader;
  for (auto& t : reader.limits.driverVelocityP) t = {1000, 0, 33};
  for (auto& t : reader.limits.driverVelocityI) t = {1000, 0, 44};

  reader.st_driver_load(11);  // entry 0 of userParams.json
  EXPECT_EQ(reader.driver.velocityP[0], 1.0f);
  EXPECT_EQ(reader.driver.velocityP[5], 6.0f);
  EXPECT_EQ(reader.driver.velocityI[0], 44.0f);  // missing: the limit's def

  reader.motoTypes = 2;
  reader.st_driver_load(0);  // entry -1: every gain takes its def
  EXPECT_EQ(reader.driver.velocityP[0], 33.0f);
  EXPECT_EQ(reader.driver.velocityI[0], 44.0f);

  OutputCapture output;
  reader.st_driver_load(1);  // driverParams.json entry 0: velocityI has 3 values, the load ends there
  EXPECT_EQ(reader.driver.velocityP[2], 7.0f);
  EXPECT_EQ(reader.driver.velocityI[0], 44.0f);
  EXPECT_EQ(output.count("get velocityI error"), 1u);
}

TEST(FunctionSettings, ExternalAxisSwitchTakesBooleansOnly) {
  writeFile("process/auxJoint/switch.json", R"({"auxJoint": true, "addPoints": 1})");
  JsonProjectReader reader;
  EXPECT_TRUE(reader.extAxis.auxJoint);
  EXPECT_FALSE(reader.extAxis.addPoints);
  writeFile("process/auxJoint/switch.json", R"({"addPoints": true})");
  reader.st_extAxis_load();
  EXPECT_FALSE(reader.extAxis.auxJoint);
  EXPECT_TRUE(reader.extAxis.addPoints);
}

TEST(FunctionSettings, ExternalEStopInputs) {
  writeFile("settings/function/extEStop.json", R"({"in": {"userStop1": 3, "safeStop2": 5}})");
  JsonProjectReader reader;
  EXPECT_EQ(reader.extEstop.userStop1, 3);
  EXPECT_EQ(reader.extEstop.safeStop1, 0);
  EXPECT_EQ(reader.extEstop.safeStop2, 5);
}

TEST(FunctionSettings, PointLoadTable) {
  JsonProjectReader reader;
  EXPECT_FALSE(reader.pointLoadEnabled);

  std::string entries;
  for (int i = 0; i < 130; ++i) entries += (i ? "," : "") + std::string(R"({"enable": true, "params": [1, 2, 3]})");
  writeFile("settings/function/pointLoad.json", "[" + entries + R"(, {"params": 4}])");
  reader.st_lynload_load();
  EXPECT_TRUE(reader.pointLoadEnabled);
  EXPECT_TRUE(reader.lynload[127].enable);
  EXPECT_EQ(reader.lynload[127].params[1], 2.0f);

  writeFile("settings/function/pointLoad.json", R"([{"enable": false, "params": 4}])");
  OutputCapture output;
  reader.st_lynload_load();
  EXPECT_TRUE(reader.pointLoadEnabled);
  EXPECT_FALSE(reader.lynload[0].enable);
  EXPECT_EQ(reader.lynload[0].params[0], 1.0f);
  EXPECT_EQ(output.count("get lynload error"), 1u);

  writeFile("settings/function/pointLoad.json", R"({"enable": true})");
  reader.st_lynload_load();
  EXPECT_FALSE(reader.pointLoadEnabled);
}

TEST(FunctionSettings, StopModeNeedsEveryKeyInOrder) {
  struct Case {
    const char* file;
    int result;
    const char* line;
  };
  const Case cases[] = {
      {R"({"enable": true, "speed": 30, "armOrientation": "left", "tool": 1, "user": 2,
           "x": 1, "y": 2, "z": 3, "a": 4, "mode": "arch"})", 1, nullptr},
      {R"({"enable": true, "speed": 30, "armOrientation": "left", "tool": 1, "user": 2,
           "x": 1, "y": 2, "z": 3, "a": 4, "mode": "jump"})", 0, "parse arch fail"},
      {R"({"enable": true, "speed": 30, "armOrientation": "left", "tool": 1, "user": 2,
           "x": 1, "y": 2, "z": 3, "a": 4, "mode": "jump", "arch": 3})", 1, "parse strMode: jump, jumpIndex 3"},
      {R"({"enable": true, "armOrientation": "left"})", 0, "parse speed fail"},
      {R"({"enable": true, "speed": -4})", 0, "parse speed fail"},
  };
  JsonProjectReader reader;
  for (const Case& c : cases) {
    writeFile("settings/function/stopMode.json", c.file);
    OutputCapture output;
    stStopConf conf{};
    EXPECT_EQ(reader.loadStopConf(conf), c.result) << c.file;
    if (c.line) {
      EXPECT_EQ(output.count(c.line), 1u) << output.text();
    }
  }
  removeFile("settings/function/stopMode.json");
  stStopConf conf{};
  EXPECT_EQ(reader.loadStopConf(conf), 0);
}

TEST(FunctionSettings, StopModeTextsAreCutAndTerminated) {
  writeFile("settings/function/stopMode.json",
            R"({"enable": true, "speed": 300, "armOrientation": "leftleftleftleft", "tool": 1, "user": 2,
                "x": 1, "y": 2, "z": 3, "a": 4, "mode": "archarcharcharcharcharch"})");
  JsonProjectReader reader;
  stStopConf conf;
  std::memset(&conf, 0x7f, sizeof conf);
  ASSERT_EQ(reader.loadStopConf(conf), 1);
  EXPECT_EQ(conf.speed, 300 & 0xff);
  EXPECT_STREQ(conf.armOrientation, "leftleftl");
  EXPECT_STREQ(conf.mode, "archarcharcharcharc");
  EXPECT_EQ(conf.a, 4.0f);
}

TEST(FunctionSettings, CallerRecords) {
  JsonProjectReader reader;

  writeFile("settings/function/modbusConf.json", R"({"id": 7, "mode": "rtu"})");
  stModbusConf modbus{};
  EXPECT_EQ(reader.loadModbusConf(modbus), 1);
  EXPECT_EQ(modbus.id, 7);
  EXPECT_EQ(modbus.mode, "tcp");
  removeFile("settings/function/modbusConf.json");
  EXPECT_EQ(reader.loadModbusConf(modbus), 1);
  EXPECT_EQ(modbus.id, 1);

  writeFile("settings/function/dragSensivity.json", R"({"j1": 10, "j4": 40})");
  DragSenseAdjust drag{};
  EXPECT_EQ(reader.GetDragSenseAdjust(drag), 1);
  EXPECT_EQ(drag.j1, 10);
  EXPECT_EQ(drag.j2, 50);
  EXPECT_EQ(drag.j4, 40);
  removeFile("settings/function/dragSensivity.json");
  EXPECT_EQ(reader.GetDragSenseAdjust(drag), 0);
  EXPECT_EQ(drag.j1, 50);

  writeFile("settings/playback/emergencystop.json", R"({"acceleration": [1, 2], "jerk": [5, 6, 7, 8, 9]})");
  double acc[4] = {9, 9, 9, 9}, jerk[4] = {};
  EXPECT_EQ(reader.loadMaxEStopAccConf(acc, jerk), 1);
  EXPECT_EQ(acc[1], 2.0);
  EXPECT_EQ(acc[2], 0.0);
  EXPECT_EQ(jerk[3], 8.0);
  removeFile("settings/playback/emergencystop.json");
  EXPECT_EQ(reader.loadMaxEStopAccConf(acc, jerk), 0);

  writeFile("properties/AdvancedFunction.json", R"({"DynamicOptimal": true, "InputShapingDamp": 0.25})");
  st_advanced_function advanced{true, false, 3, true, true, 4, 9.0};
  EXPECT_EQ(reader.st_advanced_function_load(advanced), 1);
  EXPECT_FALSE(advanced.UsingTrueMotion);
  EXPECT_TRUE(advanced.DynamicOptimal);
  EXPECT_EQ(advanced.UsingAccType, 0);
  EXPECT_EQ(advanced.InputShapingDamp, 0.25);

  std::string name = "keep", mode = "keep";
  EXPECT_EQ(reader.get_remotectrl_conf(name, mode), 1);  // the default project's file
  EXPECT_EQ(name, "");
  EXPECT_EQ(mode, "tcp");
  removeFile("settings/function/remoteControl.json");
  name = mode = "keep";
  EXPECT_EQ(reader.get_remotectrl_conf(name, mode), 0);
  EXPECT_EQ(mode, "keep");
  writeFile("settings/function/remoteControl.json", R"({"name": "pick"})");
  EXPECT_EQ(reader.get_remotectrl_conf(name, mode), 1);
  EXPECT_EQ(name, "pick");
  EXPECT_EQ(mode, "keep");
}
