// Point constructors, frames, collision level and latch in Debian's lua5.3
// against scripted replies of the fake request service; the frame restore
// in-process.
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "common/ipc/robot_map.h"
#include "install_paths.h"
#include "plugin_lua.h"
#include "support/fake_request_service.h"
#include "support/lua_run.h"

namespace zelor::test {
namespace {

std::vector<std::uint8_t> bytesOf(const void* data, std::size_t size) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  return {p, p + size};
}

template <typename Record>
Record lastRequest(const FakeRequestService& fake, std::uint16_t id) {
  Record record{};
  const std::vector<SeenFrame> frames = fake.frames();
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if (it->id() != id) continue;
    const std::vector<std::uint8_t> params = it->params();
    std::memcpy(&record, params.data(), std::min(params.size(), sizeof record));
    break;
  }
  return record;
}

void writeFrames() {
  const std::string dir = std::string(paths::kProjectDir) + "/settings/coordinate/";
  const std::string frames =
      "[{\"enable\": true, \"params\": [0, 0, 0, 0, 0, 0]},"
      " {\"enable\": true, \"params\": [11, 12, 13, 14, 0, 0]},"
      " {\"enable\": true, \"params\": [21, 22, 23, 24, 0, 0]},"
      " {\"enable\": true, \"params\": [31, 32, 33, 34, 0, 0]}]";
  writeFile(dir + "user.json", frames);
  writeFile(dir + "tool.json", frames);
}

void expectCleanEnd(const ProcessResult& r) {
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
}

constexpr const char* kShowPoint =
    "local function show(name, p)\n"
    "  if p == nil then io.write(name, ' none\\n') return end\n"
    "  io.write(string.format('%s %s c=%g,%g,%g,%g j=%g,%g,%g,%g t=%d u=%d l=%s\\n', name, p.armOrientation,\n"
    "    p.coordinate[1], p.coordinate[2], p.coordinate[3], p.coordinate[4], p.joint[1], p.joint[2], p.joint[3],\n"
    "    p.joint[4], p.tool, p.user, tostring(p.load)))\n"
    "end\n";

KinematicsPose answer(std::initializer_list<float> values, std::int32_t result) {
  KinematicsPose pose{};
  std::copy(values.begin(), values.end(), pose.position);
  pose.result = result;
  return pose;
}

TEST(PluginPoints, CreatePointJointAndCreatePointBuildPointTables) {
  FakeRequestService fake;
  const KinematicsPose forward = answer({100, 200, 30, 40}, 0);
  fake.setReply(8, bytesOf(&forward, sizeof forward));
  const KinematicsPose inverse = answer({10, 20, 30, 40}, 0);
  fake.setReply(9, bytesOf(&inverse, sizeof inverse));
  const ProcessResult r = runSrc0(std::string(kShowPoint) +
                                  "show('fk', CreatePointJoint({1, 2, 3, 4}, {armOrientation = 'left', tool = 1, "
                                  "user = 2, load = 3}))\n"
                                  "show('ik', CreatePoint({5, 6, 7, 8}))\n");
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("fk left c=100,200,30,40 j=1,2,3,4 t=1 u=2 l=3\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("ik right c=5,6,7,8 j=10,20,30,40 t=0 u=0 l=nil\n"), std::string::npos) << r.out;

  const auto fk = lastRequest<KinematicsPose>(fake, 8);
  EXPECT_EQ(std::vector<float>(fk.position, fk.position + 4), (std::vector<float>{1, 2, 3, 4}));
  const auto ik = lastRequest<KinematicsPose>(fake, 9);
  EXPECT_EQ(std::vector<float>(ik.position, ik.position + 4), (std::vector<float>{5, 6, 7, 8}));
  EXPECT_EQ(ik.handType, 1);
  EXPECT_EQ(ik.usedefhandType, 0);
}

TEST(PluginPoints, CreatePointRefusesUnreachableAndMalformedPoints) {
  FakeRequestService fake;
  struct Case {
    std::int32_t result;
    int alarm;
  };
  for (const Case& c : {Case{17, 36122}, Case{18, 36121}, Case{16, 36122}}) {
    const KinematicsPose refused = answer({0, 0, 0, 0}, c.result);
    fake.setReply(9, bytesOf(&refused, sizeof refused));
    const ProcessResult r = runSrc0(
        "local ok, p = pcall(CreatePoint, {500, 600, 0, 0})\nio.write(tostring(ok), '|', tostring(p), '|\\n')\n");
    expectCleanEnd(r);
    EXPECT_NE(r.out.find("false|Error alarm :API usage error|\n"), std::string::npos) << c.result << r.out;
    std::int32_t code = 0;
    std::memcpy(&code, fake.memory()->alarmCode, 4);
    EXPECT_EQ(code, c.alarm) << c.result;
  }
  // A reply without the whole record (the kernel's answer to non-finite input) is no answer.
  fake.setReply(9, {});
  fake.setReply(8, {});
  const ProcessResult r = runSrc0(
      "for _, call in ipairs({function() return CreatePoint({0/0, 1, 2, 3}) end,\n"
      "                       function() return CreatePointJoint({1, 2, 3, 4}) end,\n"
      "                       function() return CreatePoint({1, 2, 'x', 4}) end}) do\n"
      "  local ok, e = pcall(call)\n"
      "  io.write(tostring(ok), '|', e, '|\\n')\n"
      "end\n");
  expectCleanEnd(r);
  // Raised from a Lua function: the error carries its line first.
  const std::string refused = ": Error alarm :\"Incorrect offset for  RelPoint instruction\"\n|\n";
  std::size_t count = 0;
  for (std::size_t at = r.out.find(refused); at != std::string::npos; at = r.out.find(refused, at + 1)) ++count;
  EXPECT_EQ(count, 3u) << r.out;
  EXPECT_EQ(fake.count(9), 4u) << "the malformed point was never sent";
}

TEST(PluginPoints, GetPoseUsesTheControllersFramesOrTheGivenOnes) {
  writeFrames();
  FakeRequestService fake;
  tagGetPoseOutput pose{};
  std::memcpy(pose.hand, "Left", 4);
  pose.x = 1.5;
  pose.y = 2.5;
  pose.z = 3.5;
  pose.r = 4.5;
  fake.setReply(10, bytesOf(&pose, sizeof pose));
  robotMap& map = robotMap::instance();
  map.storeWord(robot_map::kCurrentTool, 2);
  map.storeWord(robot_map::kCurrentUser, 1);
  const ProcessResult r = runSrc0(
      "io.write('none ', select('#', GetPose(3, 12)), select('#', GetPose(1)), '\\n')\n"
      "local p = GetPose()\n"
      "io.write(string.format('pose %s %g %g %g %g t=%d u=%d\\n', p.armOrientation, p.coordinate[1], "
      "p.coordinate[2], p.coordinate[3], p.coordinate[4], p.tool, p.user))\n");
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("none 00\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("pose Left 1.5 2.5 3.5 4.5 t=2 u=1\n"), std::string::npos) << r.out;
  ASSERT_EQ(fake.count(10), 1u);
  const auto input = lastRequest<tagGetPoseInput>(fake, 10);
  EXPECT_EQ(std::vector<double>(input.user, input.user + 6), (std::vector<double>{11, 12, 13, 14, 0, 0}));
  EXPECT_EQ(std::vector<double>(input.tool, input.tool + 6), (std::vector<double>{21, 22, 23, 24, 0, 0}));
}

TEST(PluginFrames, SetAndCalcFrames) {
  writeFrames();
  FakeRequestService fake;
  const float result[6] = {0.5f, 1.5f, 2.5f, 3.5f, 4.5f, 5.5f};
  fake.setReply(228, bytesOf(result, sizeof result));
  const std::string printResult = "io.write(table.concat(r, ','), '\\n')\n";
  const ProcessResult r = runSrc0(
      "local r = CalcUser(2, 1, {1, 2, 3, 4, 5})\n" + printResult +  // the file's entry 2
      "SetUser(3, {})\n"
      "SetUser(12, {9, 9, 9, 9})\n"
      "r = CalcUser(3, 0, {})\n"
      "SetTool(1, {1, 2, 3, 4, 5, 6, 7})\n"
      "r = CalcTool(1, 2, {1, 2, 3, 4, 5})\n" +
      printResult);
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("\n0.5,1.5,2.5,3.5,4.5,5.5\n"), std::string::npos) << r.out;

  std::vector<CorrectParams_t> sent;
  for (const SeenFrame& f : fake.frames()) {
    if (f.id() != 228) continue;
    CorrectParams_t p{};
    std::memcpy(&p, f.params().data(), sizeof p);
    sent.push_back(p);
    EXPECT_EQ(f.control(), 0x00) << "a read, sent at once";
  }
  ASSERT_EQ(sent.size(), 3u);
  EXPECT_EQ(std::vector<float>(sent[0].diff, sent[0].diff + 6), (std::vector<float>{1, 2, 3, 4, 0, 0}));
  EXPECT_EQ(std::vector<float>(sent[0].coordinate, sent[0].coordinate + 6),
            (std::vector<float>{21, 22, 23, 24, 0, 0}));
  EXPECT_EQ(sent[0].matrix_direction, 1);
  // Entry 3 set to zeros, its flag set; the out-of-range index changed nothing.
  EXPECT_EQ(std::vector<float>(sent[1].coordinate, sent[1].coordinate + 6), (std::vector<float>(6, 0.0f)));
  EXPECT_EQ(std::vector<float>(sent[2].diff, sent[2].diff + 6), (std::vector<float>{1, 2, 3, 4, 5, 0}));
  EXPECT_EQ(std::vector<float>(sent[2].coordinate, sent[2].coordinate + 6), (std::vector<float>{1, 2, 3, 4, 0, 0}));
  EXPECT_EQ(sent[2].matrix_direction, 2);
}

TEST(PluginFrames, CollisionLevelAndLatch) {
  FakeRequestService fake;
  fake.setLeftSpace(10);
  std::thread fire([&] {
    waitUntil([&] { return fake.count(34) >= 1; }, 10s);
    std::uint8_t latch[20] = {1, 0, 0, 0};
    const float pose[4] = {12.7f, -3.9f, 0.2f, 100.0f};
    std::memcpy(latch + 4, pose, sizeof pose);
    fake.setReply(34, std::vector<std::uint8_t>(latch, latch + sizeof latch));
  });
  const ProcessResult r = runSrc0(
      "local ok, e = pcall(SetCollisionLevel, 'a')\nio.write(tostring(ok), '|', e, '|\\n')\n"
      "SetCollisionLevel(3)\n"
      "io.write('latch ', SetLatch(261), ' ', LatchEnable(1), '\\n')\n"
      "local p = GetLatchPos()\n"
      "io.write(string.format('pos %d %d %d %d %d\\n', p.isok, p.coordinate[1], p.coordinate[2], p.coordinate[3], "
      "p.coordinate[4]))\n");
  fire.join();
  expectCleanEnd(r);
  EXPECT_NE(r.out.find("false|Error alarm id:46097|\n"), std::string::npos) << r.out;
  std::int32_t code = 0;
  std::memcpy(&code, fake.memory()->alarmCode, 4);
  EXPECT_EQ(code, 46097);
  EXPECT_NE(r.out.find("latch 1 2\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("pos 1 12 -3 0 100\n"), std::string::npos) << r.out;
  EXPECT_GE(fake.count(34), 2u) << "asked again after the invalid pose";

  const std::int32_t level = 3;
  EXPECT_EQ(lastRequest<std::int32_t>(fake, 193), level);
  std::vector<std::uint8_t> latchParams;
  for (const SeenFrame& f : fake.frames())
    if (f.id() == 32) {
      EXPECT_EQ(f.control(), 0x03);
      latchParams = f.params();
    }
  EXPECT_EQ(latchParams, std::vector<std::uint8_t>{5}) << "the low byte of 261";
}

TEST(PluginFrames, RecoverCoordinatePutsThePendantsFramesBack) {
  writeFrames();
  FakeRequestService fake;
  fake.setLeftSpace(50);
  pluginLua& plugin = pluginLua::instance();
  const std::string config = std::string(paths::kProjectDir) + "/settings/quillon/config.json";
  struct Case {
    const char* json;
    std::vector<std::uint16_t> ids;
    std::vector<std::uint32_t> indexes;
  };
  const Case cases[] = {
      {"{\"coordinate\": {\"user\": 2, \"tool\": 1}}", {250, 251}, {2, 1}},
      {"{\"other\": 1}", {}, {}},
      {"{\"coordinate\": {\"user\": \"x\", \"tool\": 3}}", {251}, {3}},
      {"{\"coordinate\": {\"user\": {}, \"tool\": [1]}}", {}, {}},
      {"{\"coordinate\": 5}", {}, {}},
      {"[1, 2]", {}, {}},
      {"not json", {}, {}},
  };
  for (const Case& c : cases) {
    writeFile(config, c.json);
    const std::size_t before = fake.frames().size();
    plugin.recoverCoordinate();
    const std::vector<SeenFrame> frames = fake.frames();
    std::vector<std::uint16_t> ids;
    std::vector<std::uint32_t> indexes;
    for (std::size_t i = before; i < frames.size(); ++i) {
      if (frames[i].id() == 247) continue;
      ids.push_back(frames[i].id());
      tagCoordParamsFull frame{};
      std::memcpy(&frame, frames[i].params().data(), sizeof frame);
      indexes.push_back(frame.index);
      EXPECT_EQ(frames[i].control(), 0x03);
    }
    EXPECT_EQ(ids, c.ids) << c.json;
    EXPECT_EQ(indexes, c.indexes) << c.json;
  }
  // The frames in force are the entries' values.
  EXPECT_FLOAT_EQ(plugin.m_userFrame.x, 21.0f);
  EXPECT_FLOAT_EQ(plugin.m_toolFrame.x, 31.0f);
  unlink(config.c_str());
  const std::size_t before = fake.frames().size();
  plugin.recoverCoordinate();
  EXPECT_EQ(fake.frames().size(), before) << "no file, nothing sent";
}

}  // namespace
}  // namespace zelor::test
