// The slide-rail driver's start-up, parameter load, device watch and command
// line, against the simulated drive and the motion library's real link.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/tramlet_rig.h"

using namespace zelor::test;

namespace {

std::string devicePath(TramletRig& rig) { return "/dev/" + rig.drive().slaveName(); }

std::vector<std::uint16_t> words(std::initializer_list<std::uint16_t> w) { return w; }

}  // namespace

TEST(TramletStartup, ConfiguresAndSwitchesOnTheDrive) {
  AxisFiles{}.write();
  TramletRig rig;
  auto& drive = rig.drive();
  drive.setInput(9, 0x1234);
  rig.start();
  ASSERT_TRUE(rig.startedUp()) << rig.output();
  ASSERT_TRUE(waitFor([&] { return drive.writesTo(65).size() >= 2; }, 2s)) << rig.output();

  const std::string out = rig.output();
  EXPECT_EQ(rig.countOutput("RTU devise path:" + devicePath(rig) + "\n"), 2) << out;
  EXPECT_NE(out.find("version:1.2.3.4\n"), std::string::npos) << out;
  EXPECT_NE(out.find("set max speed = 6553440\n"), std::string::npos) << out;
  EXPECT_NE(out.find("set max acc = 36408000\n"), std::string::npos) << out;
  EXPECT_NE(out.find("paramInit:lead=18204, maxRPM=3000, SPD=6553440, ACC=18204000, JOGSPD=1820400, "
                     "JOGACC=3640800, LIMP=1820400, LIMN=-182040\n"),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("set init param failed"), std::string::npos) << out;

  struct Reg {
    int address;
    std::vector<std::uint16_t> values;
  };
  const std::vector<Reg> regs = {
      {87, {3000, 0}},     {84, {192}},      {78, {14568, 65533}}, {82, {14568, 65533}}, {76, {50928, 27}},
      {80, {50928, 27}},   {85, {65376, 99}}, {98, {35520, 555}},  {95, {35520, 555}},
  };
  for (const Reg& r : regs) {
    for (std::size_t i = 0; i < r.values.size(); ++i) {
      EXPECT_EQ(drive.holding(r.address + static_cast<int>(i)), r.values[i]) << "register " << r.address + i;
    }
  }
  EXPECT_EQ(drive.writesTo(65), words({6, 7}));
  EXPECT_EQ(drive.writesTo(68).front(), 1);
  EXPECT_EQ(drive.holding(68), 1);
}

TEST(TramletStartup, ParameterFailuresEndTheProgram) {
  struct Case {
    const char* name;
    std::function<void(AxisFiles&)> change;
    bool removeTeach;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"missing teach file", [](AxisFiles&) {}, true,
       "can not open file /project/settings/teach/auxJoint.json!!!!!!\n"},
      {"empty stop file", [](AxisFiles& f) { f.stop.clear(); }, false, "parse json faild!!!!!!\n\n"},
      {"broken playback file", [](AxisFiles& f) { f.playback = "{\"velocity\":"; }, false,
       "parse json faild!!!!!!\n{\"velocity\":\n"},
      {"oversized structure file",
       [](AxisFiles& f) { f.structure = "{\"auxJoint\":1, \"pad\":\"" + std::string(1100000, 'x') + "\"}"; },
       false, "parse json faild!!!!!!\n"},
      {"bad structure", [](AxisFiles& f) { f.structure = R"({"auxJoint":0,"type":[0]})"; }, false,
       "version:"},
  };
  for (const Case& c : cases) {
    AxisFiles files;
    c.change(files);
    files.write();
    if (c.removeTeach) std::remove(AxisFiles::kTeach);
    TramletRig rig;
    rig.start();
    EXPECT_EQ(rig.exitCode(10s), 0) << c.name << "\n" << rig.output();
    const std::string out = rig.output();
    EXPECT_NE(out.find(c.expected), std::string::npos) << c.name << "\n" << out.substr(0, 2000);
    EXPECT_LT(out.size(), 10000u) << c.name << ": an oversized file is not printed";
    EXPECT_EQ(out.find("paramInit:"), std::string::npos) << c.name;
    for (int reg : {65, 68, 84, 85, 87, 95}) EXPECT_TRUE(rig.drive().writesTo(reg).empty()) << c.name << " " << reg;
    EXPECT_FALSE(TramletRig::markerPresent()) << c.name;
  }
}

TEST(TramletStartup, DeviceLossPublishesFailureAndEmptiesTheQueue) {
  AxisFiles{}.write();
  for (const bool marker : {true, false}) {
    TramletRig rig;
    rig.start();
    ASSERT_TRUE(rig.startedUp()) << rig.output();
    if (marker) {
      ASSERT_TRUE(rig.online());
      // The command worker is kept busy in a stop wait on a silent drive, so
      // that the messages below stay queued.
      rig.drive().setMuted(true);
      ASSERT_TRUE(rig.send(ExterAxisRTU::kMsgImmediate, ExterAxisRTU::kCmdStop, 0, 1));
      ASSERT_TRUE(rig.waitOutput("get emegency order[18]\n", 2s));
      std::uint32_t index = 0;
      ASSERT_EQ(rig.link().setReload(&index), 0);
      ASSERT_EQ(rig.link().setSpeed(0.5f, &index), 0);
      ASSERT_EQ(rig.link().setRate(0.5f, &index), 0);
      // A message longer than the body is taken off too.
      struct {
        long type = 2;
        char body[20] = {};
      } longMsg;
      ASSERT_EQ(msgsnd(rig.msqId(), &longMsg, sizeof longMsg.body, IPC_NOWAIT), 0);
      ASSERT_EQ(rig.queued(), 4u);
    } else {
      TramletRig::setMarker(false);
    }
    rig.drive().closeMaster();
    const std::string lost = "[" + devicePath(rig) + "]is not exist\n";
    EXPECT_TRUE(rig.waitStatus([](const auto& s) { return (s.alarmFlags & 4) != 0; }, 1s)) << marker;
    EXPECT_TRUE(rig.waitOutput(lost, 1s)) << rig.output();
    EXPECT_EQ(rig.queued(), 0u);
    EXPECT_EQ(rig.exitCode(), 0) << rig.output();
    EXPECT_FALSE(TramletRig::markerPresent());
    const bool errorLine = rig.output().find("remove /tmp/slidesOnline: ") != std::string::npos;
    EXPECT_EQ(errorLine, !marker) << rig.output();
    std::uint16_t alarm[2] = {0, 0};
    rig.link().getAlarm(alarm);
    EXPECT_NE(alarm[1] & 4, 0) << "the link reads the failure";
  }
}

TEST(TramletStartup, CommandLine) {
  const std::string usage = std::string("usge: ") + built::kTramlet + " /dev/ttyUSB0 1\n";
  for (const std::vector<std::string>& argv : std::vector<std::vector<std::string>>{
           {built::kTramlet}, {built::kTramlet, "ttyUSB0", "1", "x"}, {built::kTramlet, std::string(600, 'a'), "1"}}) {
    const auto r = runProcess(argv, {}, 5s);
    EXPECT_EQ(r.exitCode, 255) << argv.size();
    EXPECT_EQ(r.out, usage);
  }
}

TEST(TramletStartup, DevicePathIsFormedBelowDev) {
  AxisFiles{}.write();
  TramletRig rig;
  rig.start({"/dev/ttyUSB0", "1"});
  EXPECT_TRUE(rig.waitOutput("[/dev//dev/ttyUSB0]is not exist\n", 5s)) << rig.output();
  EXPECT_EQ(rig.exitCode(), 0) << rig.output();
  EXPECT_EQ(rig.countOutput("RTU devise path:/dev//dev/ttyUSB0\n"), 2);
}

TEST(TramletStartup, OtherInstanceWaitsForItsObjects) {
  AxisFiles{}.write();
  TramletRig rig;
  rig.start({rig.drive().slaveName(), "2"});
  EXPECT_TRUE(rig.waitOutput("RTU devise path:" + devicePath(rig) + "\nRTU devise path:" + devicePath(rig) + "\n", 2s))
      << rig.output();
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(rig.running());
  EXPECT_EQ(rig.output().find("version:"), std::string::npos);
}
